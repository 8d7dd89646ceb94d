#pragma once

#include "layout/hublayout.h"
#include "layout/layoutnode.h"

// Placement of one connected group of entities around the origin. Groups of
// at least 6 nodes with clearly dominant nodes (hubs) get the hub layout;
// all others a deterministic force-directed placement. No randomness: the
// same input always gives the same positions.

// Places the nodes (centres and degrees are written). Whichever layout
// ran, no two node rectangles overlap afterwards: the clean-up passes of
// both layouts run a fixed number of sweeps, and a crowded component that
// still has boxes on top of one another is swept further until none is.
// The style is that of the hub layout, when it runs; start picks another
// start for the force-directed placement (0 the plain one).
void layoutComponent(LayoutNodes& nodes, const LayoutEdges& edges, const HubLayoutStyle& style = {}, int start = 0);

// Whether any two node rectangles overlap (touching is no overlap).
bool hasOverlap(const LayoutNodes& nodes);
// More overlap sweeps with the given gaps while any rectangles overlap
// (bounded: 64 rounds of 16 sweeps).
void settleOverlaps(LayoutNodes& nodes, double gapX, double gapY);

// The hubs of a component whose adjacency and degrees are built, or none:
// only components of 6 or more nodes have hubs; a hub's degree is at least
// 0.55 of the largest degree and at least 4, and at most a quarter of the
// nodes (the highest degrees) qualify.
QList<int> findHubs(const LayoutNodes& nodes);

// The force-directed placement alone, followed by its clean-up passes. The
// nodes start on a ring in breadth-first order from the node of the highest
// degree; start k > 0 begins the ring at the (k / 2)-th node by degree and,
// for odd k, runs it the other way round.
void layoutByForces(LayoutNodes& nodes, const LayoutEdges& edges, const LayoutAdjacency& adjacency, int start = 0);

// Pushes apart nodes whose rectangles, grown by the gaps, overlap; up to
// maxSweeps sweeps over all pairs, ending after a sweep that moved nothing.
void removeNodeOverlaps(LayoutNodes& nodes, int maxSweeps, double gapX, double gapY);

// Snaps nodes joined by an edge onto a common vertical or horizontal line
// when they are nearly aligned; the end with the lower degree moves.
void alignConnectedNodes(LayoutNodes& nodes, const LayoutEdges& edges, double factor);
