#pragma once

#include "edges/obstacleset.h"

#include <QLineF>
#include <QList>
#include <QPointF>
#include <QRectF>

// The search of last resort for a right-angled route: when every candidate
// of the fixed route families runs through an entity, a shortest path over
// a sparse grid finds one that keeps out of all of them, where one exists.
//
// The grid's lines run through the two end points and at two distances
// outside every rectangle's edges (a clearance and a tight 6), so that the
// search can pass between entities as well as around them; on a larger grid
// (far apart ends, many entities between) the tight lines are left out,
// which keeps the search short and the route further from the entities. The grid is held in flat arrays that
// one search after another reuses, and the search is an A* steered by the
// Manhattan distance and the bends left, so that nothing is allocated per
// point visited. The cost is the
// length plus a charge per bend; the search is steered towards the goal, so
// the route found costs at most twice the cheapest one on the grid. Ties
// are broken by grid position, so the same input always gives the same
// route.

struct GridRouteQuery
{
    QPointF from;          // first point of the route
    QPointF to;            // last point of the route
    bool fromHorizontal = true; // the route arrives at from along x (no bend to go on along x)
    bool toHorizontal = true;   // the route leaves to along x
    QRectF bounds;         // the route stays within (closed)
    // Rectangles the route must keep out of: no point strictly inside one
    // and no segment through one. Touching an edge is allowed.
    ObstacleSet obstacles;
    QList<QRectF> blocked; // more of them, checked as a plain list
    // Lines that other routes already take: a step of the route along one
    // of them, nearer than avoidClearance across, costs avoidCharge plus
    // avoidFactor times its length on top (crossing one costs nothing), and
    // the grid gains lines just clear of those in sidestep (one and two
    // clearances away on both sides), so that a route on one of them finds
    // a way beside it.
    QList<QLineF> avoid;
    QList<QLineF> sidestep;
    double avoidClearance = 8.0;
    double avoidCharge = 400.0;
    double avoidFactor = 3.0;
    double clearance = 12.0;
    double bendCost = 40.0;
    // The search gives up on grids with more points than this, even with
    // the tight lines left out (points are only looked at when the search
    // reaches them; the arrays of a search grow to the grid once).
    int maxGridPoints = 1200000;
};

// The points from from to to (both included, interior points where the
// route bends, nothing repeated), or an empty list when no route exists
// within the bounds, an end point lies inside a rectangle, or the grid is
// too large.
QList<QPointF> searchGridRoute(const GridRouteQuery& query);
