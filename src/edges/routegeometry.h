#pragma once

#include "edges/slotside.h"

#include <QList>
#include <QPointF>
#include <QRectF>

#include <cmath>

// Stateless geometry on which the edge routers are built. Everything is in
// scene coordinates. A route is a polyline from the from-slot to the to-slot
// made of horizontal and vertical segments; a segment counts as horizontal or
// vertical when it deviates by at most 0.5.

// The distance between two points.
inline double pointDistance(const QPointF& a, const QPointF& b)
{
    return std::hypot(a.x() - b.x(), a.y() - b.y());
}

// Whether segments ab and cd cross inside both (touching at an end does not
// count): each pair of ends lies more than eps on either side of the other
// segment's line, as the cross product measures it.
bool segmentsCrossInside(const QPointF& a, const QPointF& b, const QPointF& c, const QPointF& d, double eps = 0.0);

// Unit vector pointing out of an entity through the given side: left (-1, 0),
// right (1, 0), top (0, -1), bottom (0, 1). Unknown sides give (1, 0).
QPointF sideDirection(int side);

// True when p lies behind the point slot of a slot on side by more than 0.5,
// that is on the entity's side of the slot; false for unknown sides.
bool liesBehindSlot(int side, const QPointF& p, const QPointF& slot);

// The obstacle rectangle of an entity: shrunk by 2 on every side when it is
// wider and taller than 4, so that routes may graze an entity's border.
QRectF insetObstacleRect(const QRectF& rect);

// True when every segment has |dx| <= 0.5 or |dy| <= 0.5 (and for fewer than
// two points).
bool isRouteAxisAligned(const QList<QPointF>& route);

// Number of interior points where a flat segment (|dy| < 0.5, zero length
// included) meets a non-flat one.
int countRouteBends(const QList<QPointF>& route);

// Sum of the segment lengths.
double routeLength(const QList<QPointF>& route);

// How far a route runs straight out of each slot before it may turn: 26, or
// shorter (0.35 of the gap, at least 8, but never more than half the gap)
// between facing sides less than 56 apart.
double stubLength(int fromSide, int toSide, const QRectF& fromRect, const QRectF& toRect);

// The attachment point on a side of rect nearest to target, kept away from
// the corners by clamp(0.18 x side length, 6, 16). Unknown sides give the
// centre of rect.
QPointF pointOnSide(const QRectF& rect, int side, const QPointF& target);

// As pointOnSide with the corner margin clamp(0.18 x side length, 5, 14); it
// places slots chosen by the side choice.
QPointF pointOnSideInset(const QRectF& rect, int side, const QPointF& target);

// The natural side pair for an edge from fromRect to toRect: facing sides
// when the rectangles are apart and overlap across, else by their centres.
SidePair chooseSidePair(const QRectF& fromRect, const QRectF& toRect);

// True for a facing pair that points the way the centres lie.
bool sidePairMatchesCentres(int fromSide, int toSide, const QRectF& fromRect, const QRectF& toRect);

// Appends point unless the route already ends within 0.01 of it.
void appendDistinctPoint(QList<QPointF>& route, const QPointF& point);

// The route P, P', middle points, Q', Q (all but the first two appended
// through appendDistinctPoint), simplified. P' and Q' are the stub points.
QList<QPointF> assembleRoute(const QPointF& from, const QPointF& fromStub,
                             const QList<QPointF>& middle,
                             const QPointF& toStub, const QPointF& to);

// The route without interior points that lie on one vertical or horizontal
// line with the last kept point and the next point (fuzzy double equality).
QList<QPointF> simplifyRoute(const QList<QPointF>& route);
