#pragma once

#include <QLineF>
#include <QList>
#include <QPointF>

#include <functional>
#include <utility>
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
// When blocked is given, a move after which a moved segment or one of its
// two neighbours (which stretch with it) would run through an entity is
// taken back; a pair then tries to part by moving only one of the two the
// whole way.
enum SeparationState : char { SeparationFree = 0, SeparationOtherWay = 1, SeparationFrozen = 2 };
using SegmentBlocked = std::function<bool(int route, const QPointF& a, const QPointF& b)>;
void separateParallelSegments(QList<RoutePoints>& routes, const std::vector<char>& states = {},
                              const SegmentBlocked& blocked = {});

// What the pair pushing above leaves on one line in a crowded corridor
// (pushed back and forth between neighbours) is looked at once more: each
// segment that still lies less than NudgeClearance from a segment of
// another route, overlapping it, moves to the nearest offset across where
// it, and its two neighbours stretched with it, keep that clearance from
// every other route and meet no entity, and where the first and last
// segments keep their way (a shorter inner neighbour may turn the other
// way: the route then takes a hook around the crowded line). A first or
// last segment moves only where slotMayMove lets that end of the route go
// to the new point (along its entity's side); without it they stay.
// Segments of frozen routes stay. A segment that finds no such offset may
// take one where a few inner segments of other routes are in the way, when
// each of those then moves to a place of its own (in the same way, a level
// or two deep); otherwise all of them stay. A caller may ask for another
// clearance than NudgeClearance.
// Walls are sides of entities: a segment running along one nearer than 5
// (WallClearance) moves off it in the same way, so that no route reads as a
// second border of an entity, but only where that adds no crossing; a route
// is not held off the entities it ends at (routeEntities holds the two
// entity numbers of each route, those of the walls).
constexpr double NudgeClearance = 8.0;
using SlotMayMove = std::function<bool(const QList<RoutePoints>& routes, int route, bool atStart, const QPointF& to)>;
struct SeparationWall
{
    QPointF start;
    QPointF end;
    int entity = 0; // 0 or more
};
void nudgeCoincidentSegments(QList<RoutePoints>& routes, const std::vector<char>& states = {},
                             const SegmentBlocked& blocked = {}, const SlotMayMove& slotMayMove = {},
                             double clearance = NudgeClearance, const QList<SeparationWall>& walls = {},
                             const std::vector<std::pair<int, int>>& routeEntities = {});

// Whether the segments ab and cd lie on one line: both horizontal or both
// vertical, less than 6 apart across and overlapping by more than 10 along.
bool segmentsOnOneLine(const QPointF& a, const QPointF& b, const QPointF& c, const QPointF& d);

// The pairs of a segment of the given route and a segment of another route
// that lie on one line (segmentsOnOneLine).
int coincidentSegmentPairs(const QList<RoutePoints>& routes, int route);

// For each route, whether one of its segments lies on one line with a
// segment of another route (as coincidentSegmentPairs counts them).
std::vector<char> routesOnOneLine(const QList<RoutePoints>& routes);
