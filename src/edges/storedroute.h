#pragma once

#include <QList>
#include <QPointF>
#include <Qt>

// Work on a route the edge already has: fitting a route read from a file to
// the slots as they are now, and dragging one of its segments.

// The stored route fitted to the slots at from and to: simplified, its ends
// moved onto the slots with their neighbours realigned, a neighbour that
// ended up behind its slot pulled 12 out of it (the segment after it moving
// along), so that the stored shape is kept apart from its two ends. Should
// the result still have a slanted segment, a corner is put in. The fitting
// is repeated until it changes nothing, so that a fitted route fits to
// itself: reanchorRoute(reanchorRoute(r)) == reanchorRoute(r) for the same
// slots, and a route read, saved and read again does not move. Empty when
// stored has fewer than 2 points (nothing to store).
QList<QPointF> reanchorRoute(const QList<QPointF>& stored, const QPointF& from, int fromSide,
                             const QPointF& to, int toSide);

// Index of the draggable segment of route under point (an inner segment, not
// the first or the last, horizontal or vertical, nearer than 8 and within
// its length extended by 8), the nearest one, the first on ties; -1 when
// none.
int routeSegmentAt(const QList<QPointF>& route, const QPointF& point);

// Orientation of segment i: vertical when its two x differ by less than
// 0.01, otherwise horizontal.
Qt::Orientation routeSegmentOrientation(const QList<QPointF>& route, int segment);

// Moves the inner segment (1 <= segment <= count - 3) by delta across
// itself: a vertical segment sideways, any other up or down; its neighbours
// stretch. False (route unchanged) for the first or last segment, an index
// out of range or |delta| < 0.001.
bool moveRouteSegment(QList<QPointF>& route, int segment, Qt::Orientation orientation, double delta);
