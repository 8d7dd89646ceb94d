#pragma once

#include "edges/obstacleset.h"
#include "edges/slotside.h"

#include <QList>
#include <QPointF>
#include <QRectF>

// Tests that decide whether a candidate route may be used at all, the
// counters that price a usable one, and the evaluation of a whole side pair.

// True when the first segment leaves the from-side outward, the last one
// arrives at the to-side from outside, and neither end doubles back behind
// its judging point (the routers pass the stub points P' and Q').
bool endsLeaveOutward(const QList<QPointF>& route, int fromSide, int toSide,
                      const QPointF& fromPoint, const QPointF& toPoint);

// True when the route, after leaving fromPoint, comes back behind it while
// still inside the band of fromRect (widened by 4) across the side.
bool backtracksAtStart(int fromSide, const QPointF& fromPoint, const QList<QPointF>& route,
                       const QRectF& fromRect);
// The same for the end of the route, walking backwards from toPoint.
bool backtracksAtEnd(int toSide, const QPointF& toPoint, const QList<QPointF>& route,
                     const QRectF& toRect);

// True when the segment has a bounded intersection with one of the four
// border lines of rect.
bool segmentCrossesRect(const QPointF& p1, const QPointF& p2, const QRectF& rect);

// Number of (segment, rectangle) pairs where the segment touches the
// rectangle shrunk by 1 (an end inside it or a border crossed), so that a
// route may graze a border within 1.
int countObstacleHits(const QList<QPointF>& route, const ObstacleSet& rects);
// Whether countObstacleHits would be above 0; stops at the first hit.
bool routeMeetsObstacle(const QList<QPointF>& route, const ObstacleSet& rects);
// The same over the interior segments only (the second to the next-to-last);
// 0 for fewer than 4 points. Used against the two end entities.
int countInteriorHits(const QList<QPointF>& route, const QList<QRectF>& rects);

// Hits against the obstacles plus, for routes of more than 3 points, the
// interior hits against the end rectangles.
int countRouteHits(const QList<QPointF>& route, const ObstacleSet& obstacles,
                   const QList<QRectF>& endRects);

// What isCandidateUsable judges a route against.
struct RouteUsabilityContext
{
    int fromSide = SlotRight;
    int toSide = SlotLeft;
    QPointF fromStub; // P'
    QPointF toStub;   // Q'
    QRectF fromRect;  // A
    QRectF toRect;    // B
    QList<QRectF> endRects; // [insetObstacleRect(A), insetObstacleRect(B)]
    ObstacleSet obstacles;
};

// A clean route: at least 2 points, leaves and arrives outward, does not
// backtrack at either end, no interior hits on the end entities (above 3
// points) and no obstacle hits.
bool isCandidateUsable(const RouteUsabilityContext& context, const QList<QPointF>& route);

// Sum of the distances from the route's points outside rect to rect.
double outsideDistance(const QList<QPointF>& route, const QRectF& rect);

// 4000 for each end whose slot sits on the side turned away from the other
// entity's centre by more than 8 (0, 4000 or 8000).
double facingAwayPenalty(int fromSide, int toSide, const QRectF& fromRect, const QRectF& toRect);

// Routes the side pair with laneSearchRoute (slots placed toward the other
// entity's centre) and prices it: hits x 1e6 + length + 36 x bends + 8 x the
// distance outside the pair's bounds grown by 48, minus 160 for the natural
// pair (or 40 for another pair consistent with the centres), plus 4000 for
// each end that faces away from the other entity. False (hits 1e6, cost the
// largest double) when no route came out. The route goes to *route when it
// is given.
bool evaluateSidePair(const QRectF& fromRect, const QRectF& toRect, const ObstacleSet& obstacles,
                      int fromSide, int toSide, int* hits, double* cost,
                      QList<QPointF>* route = nullptr);
