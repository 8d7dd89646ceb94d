#pragma once

#include <QLineF>
#include <QList>
#include <QPointF>

#include <vector>

// Keeps the routes of different edges from running on top of one another:
// inner segments of the same orientation that lie closer than a minimum
// distance and overlap along their direction are pushed apart.

using RoutePoints = QList<QPointF>;

// One inner segment of a route, as the separation sees it.
struct RouteSegment
{
    int route = -1;   // index of the route
    int segment = -1; // points segment and segment + 1 of the route
    QPointF start;    // as last read from the working routes
    QPointF end;
    bool horizontal = false;
};

// Distance the separation leaves between parallel segments of two routes.
constexpr double ParallelSegmentSpacing = 14.0;

// The segments of a polyline, point i to point i + 1, leaving out those of
// length 0.5 or less; none for fewer than two points.
QList<QLineF> routeToSegments(const RoutePoints& points);

// The inner segments (never the first or last of a route) that are
// horizontal or vertical and at least 0.5 long, in route order.
QList<RouteSegment> collectInnerSegments(const QList<RoutePoints>& routes);

// Four passes over all pairs of segments of different routes with the same
// orientation: two that lie less than the spacing apart (on one line
// included) and overlap along their direction move away from each other,
// each by half the shortfall, and end exactly the spacing apart. The first
// and last segment of a route never move: an inner segment too near one
// moves the whole shortfall, and so does one beside a segment of a frozen
// route, which never moves. The segments of a route marked to go the other
// way pass a segment that does not move on its far side. Edits routes.
enum SeparationState : char { SeparationFree = 0, SeparationOtherWay = 1, SeparationFrozen = 2 };
void separateParallelSegments(QList<RoutePoints>& routes, const std::vector<char>& states = {});
