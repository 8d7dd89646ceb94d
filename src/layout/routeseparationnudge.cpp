#include "layout/routeseparation.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <map>
#include <utility>
#include <vector>

// Segments on one line with another: how many, and the nudge of those the
// separation leaves.
namespace {

// A segment of some route, on its line: the coordinate across and the
// extent along.
struct Placed
{
    int route;
    int segment;
    double low;
    double high;
};

// Segments of one orientation by their coordinate across.
using SegmentLines = std::multimap<double, Placed>;

// How near a segment may run along the side of an entity it does not end
// at.
constexpr double WallClearance = 5.0;

// How far across a segment may be nudged.
constexpr double NudgeReach = 480.0;

// A segment that finds no free place may move others aside: at most this
// many, which may in turn move others, this many levels deep.
constexpr size_t EvictedAtMost = 5;
constexpr int EvictionDepth = 2;

// Where an axis-parallel segment lies across (at) and the stretch it
// covers along its way (lo to hi).
struct SegmentSpan
{
    double at, lo, hi;
};

SegmentSpan spanOf(const QPointF& a, const QPointF& b, bool horizontal)
{
    if (horizontal)
        return {a.y(), std::min(a.x(), b.x()), std::max(a.x(), b.x())};
    return {a.x(), std::min(a.y(), b.y()), std::max(a.y(), b.y())};
}

bool axisHorizontal(const QPointF& a, const QPointF& b)
{
    return std::abs(a.y() - b.y()) < 0.5 && std::abs(a.x() - b.x()) >= 0.5;
}

bool axisVertical(const QPointF& a, const QPointF& b)
{
    return std::abs(a.x() - b.x()) < 0.5 && std::abs(a.y() - b.y()) >= 0.5;
}

// Whether a line of entity sides (a number below zero: -1 - the entity's
// number) is a side of an entity the route ends at.
bool ownWall(const std::vector<std::pair<int, int>>& routeEntities, int route, int line)
{
    if (line >= 0 || route < 0 || route >= static_cast<int>(routeEntities.size()))
        return false;
    const int entity = -1 - line;
    const std::pair<int, int>& ends = routeEntities[static_cast<size_t>(route)];
    return ends.first == entity || ends.second == entity;
}

// Whether a line distance across from a stretch it overlaps crowds the
// stretch: a segment of another route within the clearance, an entity's side
// only nearer than WallClearance as well.
bool lineCrowds(bool wall, double distance, double clearance)
{
    return !wall || distance < std::min(clearance, WallClearance);
}

// Whether a stretch of route at across, from low to high along, comes
// closer than the clearance to a segment of another route that overlaps it.
// Lines with a route number below zero are sides of entities: -1 - the
// entity's number. A route is not held off the entities it ends at.
bool crowded(const SegmentLines& lines, int route, double across, double low, double high, double clearance,
             const std::vector<std::pair<int, int>>& routeEntities, bool withWalls = true)
{
    for (auto it = lines.lower_bound(across - clearance + 1e-9); it != lines.end() && it->first < across + clearance; ++it) {
        const Placed& p = it->second;
        if (p.route == route || !(p.low < high - 0.5 && low < p.high - 0.5))
            continue;
        if (p.route < 0 && (!withWalls || ownWall(routeEntities, route, p.route)))
            continue;
        if (lineCrowds(p.route < 0, std::abs(it->first - across), clearance))
            return true;
    }
    return false;
}

// Two ascending lists of offsets as one, the smallest moves first and, of
// two as large, the one below first.
std::vector<double> nearestFirst(const std::vector<double>& a, const std::vector<double>& b)
{
    std::vector<double> all(a.size() + b.size());
    std::merge(a.begin(), a.end(), b.begin(), b.end(), all.begin());
    std::vector<double> out;
    out.reserve(all.size());
    const auto zero = std::lower_bound(all.begin(), all.end(), 0.0);
    auto down = zero; // the offsets below zero, taken from zero outwards
    auto up = zero;
    while (down != all.begin() || up != all.end()) {
        if (up == all.end() || (down != all.begin() && -*(down - 1) <= *up))
            out.push_back(*--down);
        else
            out.push_back(*up++);
    }
    return out;
}

void eraseLine(SegmentLines& lines, double across, int route, int segment)
{
    auto range = lines.equal_range(across);
    for (auto it = range.first; it != range.second; ++it) {
        if (it->second.route == route && it->second.segment == segment) {
            lines.erase(it);
            return;
        }
    }
    // Floating keys: look nearby.
    for (auto it = lines.lower_bound(across - 1e-6); it != lines.end() && it->first <= across + 1e-6; ++it) {
        if (it->second.route == route && it->second.segment == segment) {
            lines.erase(it);
            return;
        }
    }
}

// The offsets a crowded segment tries first, as they keep the drawing
// regular.
constexpr double NudgeSteps[] = {8, -8, 14, -14, 22, -22, 28, -28};
// A first or last segment keeps at least this much of its length (or all
// of it, when shorter); an inner neighbour at least MinInnerLength.
constexpr double EndStub = 6.0;
constexpr double MinInnerLength = 0.5;
// Just clear of a line: this much beyond the clearance.
constexpr double ClearBeyond = 0.01;
// Evicting in a tight corridor also tries this many offsets just clear of
// the nearest neighbours, within this many clearances.
constexpr size_t EvictingOffsetsAtMost = 4;
constexpr double EvictingReachInClearances = 2.0;

// The nudge of segments that run too near another route: the routes, the
// lines their axis-parallel segments (and the walls) lie on, and what a move
// must keep.
class SegmentNudge
{
public:
    SegmentNudge(QList<RoutePoints>& routes, const std::vector<char>& states, const SegmentBlocked& blocked,
                 const SlotMayMove& slotMayMove, double clearance, const QList<SeparationWall>& walls,
                 const std::vector<std::pair<int, int>>& routeEntities)
        : m_routes(routes)
        , m_states(states)
        , m_blocked(blocked)
        , m_slotMayMove(slotMayMove)
        , m_clearance(clearance)
        , m_withWalls(!walls.isEmpty())
        , m_routeEntities(routeEntities)
    {
        for (int r = 0; r < m_routes.size(); ++r) {
            for (int s = 0; s + 1 < m_routes.at(r).size(); ++s)
                addSegment(r, s);
        }
        for (const SeparationWall& wall : walls)
            addLine(wall.start, wall.end, Placed{-1 - wall.entity, -1, 0.0, 0.0});
    }

    // Every crowded segment that may move, route by route, gets its turn.
    void run()
    {
        for (int r = 0; r < m_routes.size(); ++r) {
            if (frozen(r))
                continue;
            const auto [from, to] = movable(r);
            for (int s = from; s <= to; ++s) {
                if (segmentCrowded(r, s))
                    moveOff(r, s, EvictionDepth);
            }
        }
    }

private:
    // One segment on the move: where it and its neighbours were, and what
    // they must keep.
    struct Attempt
    {
        int r;
        int s;
        int last; // the route's last segment
        RoutePoints before;
        bool horizontal;
        int low; // the segments that move or stretch: low to high
        int high;
        // A neighbour already crowded before the move may stay so (it gets
        // its own turn); one that was clear must stay clear.
        bool neighbourWasCrowded[2];
        // A segment only along an entity's side moves where that adds no
        // crossing, or stays.
        bool alongWallOnly;
        int crossingsBefore;
        // With evicting: the inner segments of other routes in the way.
        std::vector<std::pair<int, int>> evicted;
    };

    // The lines met across from a segment within reach, in order, and
    // whether each is an entity's side; and the offsets just clear of each,
    // nearest first.
    struct LinesMet
    {
        std::vector<std::pair<double, bool>> met;
        std::vector<double> clear;
    };

    void addLine(const QPointF& a, const QPointF& b, Placed placed)
    {
        if (axisHorizontal(a, b)) {
            placed.low = std::min(a.x(), b.x());
            placed.high = std::max(a.x(), b.x());
            m_lines[1].insert({a.y(), placed});
        } else if (axisVertical(a, b)) {
            placed.low = std::min(a.y(), b.y());
            placed.high = std::max(a.y(), b.y());
            m_lines[0].insert({a.x(), placed});
        }
    }
    void addSegment(int r, int s) { addLine(m_routes.at(r).at(s), m_routes.at(r).at(s + 1), Placed{r, s, 0.0, 0.0}); }
    void removeSegment(int r, int s)
    {
        const QPointF a = m_routes.at(r).at(s);
        const QPointF b = m_routes.at(r).at(s + 1);
        if (axisHorizontal(a, b))
            eraseLine(m_lines[1], a.y(), r, s);
        else if (axisVertical(a, b))
            eraseLine(m_lines[0], a.x(), r, s);
    }
    void replaceRoute(int r, const RoutePoints& points)
    {
        for (int k = 0; k + 1 < m_routes.at(r).size(); ++k)
            removeSegment(r, k);
        m_routes[r] = points;
        for (int k = 0; k + 1 < m_routes.at(r).size(); ++k)
            addSegment(r, k);
    }

    // Whether segment s of route r, as it stands, is crowded (by other
    // routes alone, without withWalls).
    bool segmentCrowded(int r, int s, bool withWalls = true) const
    {
        const QPointF a = m_routes.at(r).at(s);
        const QPointF b = m_routes.at(r).at(s + 1);
        if (axisHorizontal(a, b))
            return crowded(m_lines[1], r, a.y(), std::min(a.x(), b.x()), std::max(a.x(), b.x()), m_clearance,
                           m_routeEntities, withWalls);
        if (axisVertical(a, b))
            return crowded(m_lines[0], r, a.x(), std::min(a.y(), b.y()), std::max(a.y(), b.y()), m_clearance,
                           m_routeEntities, withWalls);
        return false;
    }

    // Proper crossings of segment s of route r with the segments of other
    // routes.
    int segmentCrossings(int r, int s) const
    {
        const QPointF a = m_routes.at(r).at(s);
        const QPointF b = m_routes.at(r).at(s + 1);
        const bool horizontal = axisHorizontal(a, b);
        if (!horizontal && !axisVertical(a, b))
            return 0;
        const auto [at, lo, hi] = spanOf(a, b, horizontal);
        const SegmentLines& across = m_lines[horizontal ? 0 : 1];
        int crossings = 0;
        for (auto it = across.upper_bound(lo + 1e-6); it != across.end() && it->first < hi - 1e-6; ++it) {
            const Placed& p = it->second;
            if (p.route >= 0 && p.route != r && p.low < at - 1e-6 && at < p.high - 1e-6)
                ++crossings;
        }
        return crossings;
    }

    bool frozen(int r) const
    {
        return r < static_cast<int>(m_states.size()) && m_states[static_cast<size_t>(r)] == SeparationFrozen;
    }

    // The segments of route r that may move: a first or last segment moves
    // with its slot, when the slot may go along its side; a straight route
    // would move both and stays.
    std::pair<int, int> movable(int r) const
    {
        const int last = static_cast<int>(m_routes.at(r).size()) - 2;
        const bool ends = m_slotMayMove && last >= 1;
        return {ends ? 0 : 1, ends ? last : last - 1};
    }

    void lift(const Attempt& t)
    {
        for (int k = t.low; k <= t.high; ++k)
            removeSegment(t.r, k);
    }
    void put(const Attempt& t)
    {
        for (int k = t.low; k <= t.high; ++k)
            addSegment(t.r, k);
    }

    // Whether segment k of the attempt crowds others where, or more than,
    // it did.
    bool newlyCrowded(const Attempt& t, int k) const
    {
        const bool mayCrowd = k != t.s && t.neighbourWasCrowded[k < t.s ? 0 : 1];
        return !mayCrowd && segmentCrowded(t.r, k);
    }

    // Segment s, while lifted, offset across from where it was, its
    // neighbours stretched with it; false when an end then leaves its slot's
    // side or a neighbour turns in a way it may not.
    bool placeAt(Attempt& t, double offset)
    {
        RoutePoints& route = m_routes[t.r];
        for (int k : {t.s, t.s + 1}) {
            if (t.horizontal)
                route[k].ry() = t.before.at(k).y() + offset;
            else
                route[k].rx() = t.before.at(k).x() + offset;
        }
        if (t.s == 0 && !m_slotMayMove(m_routes, t.r, true, route.constFirst()))
            return false;
        if (t.s == t.last && !m_slotMayMove(m_routes, t.r, false, route.constLast()))
            return false;
        // The first and last segments keep their way and a short stub; an
        // inner neighbour may turn the other way.
        for (int k : {t.s - 1, t.s + 1}) {
            if (k < 0 || k > t.last)
                continue;
            const QPointF was = t.before.at(k + 1) - t.before.at(k);
            const QPointF now = route.at(k + 1) - route.at(k);
            const double wasLength = std::abs(was.x()) + std::abs(was.y());
            const double nowLength = std::abs(now.x()) + std::abs(now.y());
            const bool end = k == 0 || k == t.last;
            if ((end && QPointF::dotProduct(was, now) <= 0.0)
                || nowLength < (end ? std::min(EndStub, wasLength) : MinInnerLength))
                return false;
        }
        return true;
    }

    // Lists in t.evicted who is in the way of segment s where it stands: the
    // inner segments of other routes that may move, a few at most; false
    // when nobody is, or an entity's side or a segment that may not move is.
    bool listEvicted(Attempt& t) const
    {
        t.evicted.clear();
        const RoutePoints& route = m_routes.at(t.r);
        const auto [at, lo, hi] = spanOf(route.at(t.s), route.at(t.s + 1), t.horizontal);
        const SegmentLines& same = m_lines[t.horizontal ? 1 : 0];
        for (auto it = same.lower_bound(at - m_clearance + 1e-9); it != same.end() && it->first < at + m_clearance; ++it) {
            const Placed& p = it->second;
            if (p.route == t.r || !(p.low < hi - 0.5 && lo < p.high - 0.5))
                continue;
            if (p.route < 0) {
                if (std::abs(it->first - at) < std::min(m_clearance, WallClearance) && !ownWall(m_routeEntities, t.r, p.route))
                    return false;
                continue;
            }
            const auto [first, lastMovable] = movable(p.route);
            if (frozen(p.route) || p.segment < first || p.segment > lastMovable || t.evicted.size() >= EvictedAtMost)
                return false;
            t.evicted.push_back({p.route, p.segment});
        }
        return !t.evicted.empty();
    }

    // Whether segment s fits offset across from where it was. With
    // evicting, segment s itself may be crowded by other routes (not by
    // entities), which are then listed in t.evicted; knownClear: segment s
    // is known not to be crowded at the offset.
    bool fitsAt(Attempt& t, double offset, bool evicting, bool knownClear = false)
    {
        if (!placeAt(t, offset))
            return false;
        // Crowding first: it is the cheaper test and fails more often.
        for (int k = t.low; k <= t.high; ++k) {
            if (k == t.s && (evicting || knownClear))
                continue;
            if (newlyCrowded(t, k))
                return false;
        }
        const RoutePoints& route = m_routes.at(t.r);
        for (int k = t.low; k <= t.high; ++k) {
            if (m_blocked && m_blocked(t.r, route.at(k), route.at(k + 1)))
                return false;
        }
        if (evicting)
            return listEvicted(t);
        if (t.alongWallOnly) {
            int crossings = 0;
            for (int k = t.low; k <= t.high; ++k)
                crossings += segmentCrossings(t.r, k);
            return crossings <= t.crossingsBefore;
        }
        return true;
    }

    // The lines of segment s's direction that overlap it within reach
    // (those of other routes and the sides of entities it does not end at),
    // and the offsets just clear of each of them.
    LinesMet linesMet(const Attempt& t) const
    {
        const auto [at, lo, hi] = spanOf(t.before.at(t.s), t.before.at(t.s + 1), t.horizontal);
        const SegmentLines& same = m_lines[t.horizontal ? 1 : 0];
        LinesMet lines;
        // The offsets just below and just above each line met: each list
        // ascends, as the lines do.
        std::vector<double> below;
        std::vector<double> above;
        for (auto it = same.lower_bound(at - NudgeReach); it != same.end() && it->first <= at + NudgeReach; ++it) {
            const Placed& p = it->second;
            if (p.route == t.r || !(p.low < hi - 0.5 && lo < p.high - 0.5) || ownWall(m_routeEntities, t.r, p.route))
                continue;
            lines.met.push_back({it->first, p.route < 0});
            for (double side : {-1.0, 1.0}) {
                const double offset = it->first + side * (m_clearance + ClearBeyond) - at;
                if (std::abs(offset) <= NudgeReach)
                    (side < 0 ? below : above).push_back(offset);
            }
        }
        lines.clear = nearestFirst(below, above);
        return lines;
    }

    // Whether one of the lines met crowds segment s moved by offset, as
    // crowded() would see it: cheaper to see here than by trying.
    bool crowdedAt(const Attempt& t, const LinesMet& lines, double offset) const
    {
        const double across = (t.horizontal ? t.before.at(t.s).y() : t.before.at(t.s).x()) + offset;
        auto it = std::lower_bound(lines.met.begin(), lines.met.end(), across - m_clearance + 1e-9,
                                   [](const std::pair<double, bool>& m, double v) { return m.first < v; });
        for (; it != lines.met.end() && it->first < across + m_clearance; ++it) {
            if (lineCrowds(it->second, std::abs(it->first - across), m_clearance))
                return true;
        }
        return false;
    }

    // The offsets evicting tries: the fixed steps, then just clear of the
    // nearest neighbours: in a tight corridor a small move of the segment
    // and of the one it then crowds makes room where neither fits alone.
    std::vector<double> evictingOffsets(const LinesMet& lines) const
    {
        std::vector<double> tries(std::begin(NudgeSteps), std::end(NudgeSteps));
        for (double offset : lines.clear) {
            if (m_clearance >= NudgeClearance || std::abs(offset) > EvictingReachInClearances * m_clearance
                || tries.size() >= std::size(NudgeSteps) + EvictingOffsetsAtMost)
                break;
            tries.push_back(offset);
        }
        return tries;
    }

    // Segment s placed at offset where only the listed others crowd it, and
    // each of those moved to a place of its own (evicting in turn, one level
    // fewer); when one of them finds none, they all go back and segment s is
    // lifted again. Whether it worked.
    bool evictAt(Attempt& t, double offset, int evictions)
    {
        if (!fitsAt(t, offset, true))
            return false;
        put(t);
        std::vector<std::pair<int, RoutePoints>> were;
        bool moved = true;
        for (const auto& [other, segment] : std::as_const(t.evicted)) {
            if (!segmentCrowded(other, segment))
                continue; // an earlier one's move cleared it
            were.push_back({other, m_routes.at(other)});
            if (!moveOff(other, segment, evictions - 1)) {
                moved = false;
                break;
            }
        }
        for (int k = t.low; moved && k <= t.high; ++k)
            moved = !newlyCrowded(t, k);
        if (moved)
            return true;
        for (auto it = were.rbegin(); it != were.rend(); ++it)
            replaceRoute(it->first, it->second);
        lift(t);
        return false;
    }

    // What segment s of route r and its neighbours are like before a move.
    Attempt startAttempt(int r, int s) const
    {
        Attempt t{r, s, static_cast<int>(m_routes.at(r).size()) - 2, m_routes.at(r), false, 0, 0, {false, false},
                  false, 0, {}};
        t.horizontal = axisHorizontal(t.before.at(s), t.before.at(s + 1));
        t.low = std::max(0, s - 1);
        t.high = std::min(t.last, s + 1);
        t.neighbourWasCrowded[0] = s > 0 && segmentCrowded(r, s - 1);
        t.neighbourWasCrowded[1] = s < t.last && segmentCrowded(r, s + 1);
        t.alongWallOnly = m_withWalls && !segmentCrowded(r, s, false);
        for (int k = t.low; t.alongWallOnly && k <= t.high; ++k)
            t.crossingsBefore += segmentCrossings(r, k);
        return t;
    }

    // Moves segment s of route r, crowded as it stands, to where it and
    // its stretched neighbours are clear; whether it found such a place:
    // the fixed steps first, then just clear of each segment of another
    // route that overlaps it within reach, nearest first. When none is free
    // and evictions is above zero, it may take a place where only a few
    // segments of other routes crowd it (evictAt); otherwise everything
    // goes back. In a corridor full of short segments a long one finds no
    // free lane, though they could make one.
    bool moveOff(int r, int s, int evictions)
    {
        const RoutePoints& points = m_routes.at(r);
        if (!axisHorizontal(points.at(s), points.at(s + 1)) && !axisVertical(points.at(s), points.at(s + 1)))
            return false;
        Attempt t = startAttempt(r, s);
        lift(t);
        for (double offset : NudgeSteps) {
            if (fitsAt(t, offset, false)) {
                put(t);
                return true;
            }
        }
        const LinesMet lines = linesMet(t);
        for (double offset : lines.clear) {
            if (crowdedAt(t, lines, offset))
                continue;
            if (fitsAt(t, offset, false, true)) {
                put(t);
                return true;
            }
        }
        if (evictions > 0 && !t.alongWallOnly) {
            for (double offset : evictingOffsets(lines)) {
                if (evictAt(t, offset, evictions))
                    return true;
            }
        }
        m_routes[r] = t.before;
        put(t);
        return false;
    }

    QList<RoutePoints>& m_routes;
    const std::vector<char>& m_states;
    const SegmentBlocked& m_blocked;
    const SlotMayMove& m_slotMayMove;
    double m_clearance;
    bool m_withWalls;
    const std::vector<std::pair<int, int>>& m_routeEntities;
    SegmentLines m_lines[2]; // 0 vertical (by x), 1 horizontal (by y)
};

} // namespace

void nudgeCoincidentSegments(QList<RoutePoints>& routes, const std::vector<char>& states, const SegmentBlocked& blocked,
                             const SlotMayMove& slotMayMove, double clearance, const QList<SeparationWall>& walls,
                             const std::vector<std::pair<int, int>>& routeEntities)
{
    SegmentNudge(routes, states, blocked, slotMayMove, clearance, walls, routeEntities).run();
}

bool segmentsOnOneLine(const QPointF& a, const QPointF& b, const QPointF& c, const QPointF& d)
{
    constexpr double across = 6.0;
    constexpr double along = 10.0;
    const bool horizontal = axisHorizontal(a, b);
    if (horizontal ? !axisHorizontal(c, d) : !axisVertical(a, b) || !axisVertical(c, d))
        return false;
    const double apart = horizontal ? std::abs(c.y() - a.y()) : std::abs(c.x() - a.x());
    const double overlap = horizontal
        ? std::min(std::max(a.x(), b.x()), std::max(c.x(), d.x())) - std::max(std::min(a.x(), b.x()), std::min(c.x(), d.x()))
        : std::min(std::max(a.y(), b.y()), std::max(c.y(), d.y())) - std::max(std::min(a.y(), b.y()), std::min(c.y(), d.y()));
    return apart < across && overlap > along;
}

int coincidentSegmentPairs(const QList<RoutePoints>& routes, int route)
{
    int pairs = 0;
    const RoutePoints& mine = routes.at(route);
    for (qsizetype i = 0; i + 1 < mine.size(); ++i) {
        for (qsizetype r = 0; r < routes.size(); ++r) {
            if (r == route)
                continue;
            const RoutePoints& other = routes.at(r);
            for (qsizetype k = 0; k + 1 < other.size(); ++k) {
                if (segmentsOnOneLine(mine.at(i), mine.at(i + 1), other.at(k), other.at(k + 1)))
                    ++pairs;
            }
        }
    }
    return pairs;
}

std::vector<char> routesOnOneLine(const QList<RoutePoints>& routes)
{
    struct Line
    {
        int horizontal;
        double at;
        double low;
        double high;
        int route;
    };
    std::vector<Line> lines;
    for (qsizetype r = 0; r < routes.size(); ++r) {
        const RoutePoints& route = routes.at(r);
        for (qsizetype i = 0; i + 1 < route.size(); ++i) {
            const QPointF a = route.at(i);
            const QPointF b = route.at(i + 1);
            if (axisHorizontal(a, b))
                lines.push_back({1, a.y(), std::min(a.x(), b.x()), std::max(a.x(), b.x()), static_cast<int>(r)});
            else if (axisVertical(a, b))
                lines.push_back({0, a.x(), std::min(a.y(), b.y()), std::max(a.y(), b.y()), static_cast<int>(r)});
        }
    }
    std::sort(lines.begin(), lines.end(), [](const Line& p, const Line& q) {
        return p.horizontal != q.horizontal ? p.horizontal < q.horizontal : p.at < q.at;
    });
    std::vector<char> flags(static_cast<size_t>(routes.size()), 0);
    for (size_t i = 0; i < lines.size(); ++i) {
        for (size_t j = i + 1; j < lines.size() && lines[j].horizontal == lines[i].horizontal && lines[j].at - lines[i].at < 6.0; ++j) {
            if (lines[j].route == lines[i].route)
                continue;
            if (std::min(lines[i].high, lines[j].high) - std::max(lines[i].low, lines[j].low) > 10.0)
                flags[static_cast<size_t>(lines[i].route)] = flags[static_cast<size_t>(lines[j].route)] = 1;
        }
    }
    return flags;
}
