#include "layout/routeseparation.h"

#include "edges/routegeometry.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>
#include <vector>

namespace {

// Segment s of route r as a record, when it is horizontal or vertical and
// not a mere point.
void appendAxisSegment(QList<RouteSegment>& records, const RoutePoints& route, qsizetype r, qsizetype s)
{
    const QPointF a = route.at(s);
    const QPointF b = route.at(s + 1);
    const double dx = b.x() - a.x();
    const double dy = b.y() - a.y();
    if (std::hypot(dx, dy) < 0.5)
        return;
    RouteSegment record;
    record.route = static_cast<int>(r);
    record.segment = static_cast<int>(s);
    record.start = a;
    record.end = b;
    if (std::abs(dy) < 0.5)
        record.horizontal = true;
    else if (std::abs(dx) < 0.5)
        record.horizontal = false;
    else
        return;
    records.append(record);
}

} // namespace

QList<RouteSegment> collectInnerSegments(const QList<RoutePoints>& routes)
{
    QList<RouteSegment> records;
    for (qsizetype r = 0; r < routes.size(); ++r) {
        const RoutePoints& route = routes.at(r);
        const qsizetype segmentCount = route.size() - 1;
        for (qsizetype s = 1; s <= segmentCount - 2; ++s) {
            appendAxisSegment(records, route, r, s);
        }
    }
    return records;
}

namespace {

// The coordinate across a segment (x of a vertical one, y of a horizontal
// one) and its extent along itself.
double across(const RouteSegment& s)
{
    return s.horizontal ? s.start.y() : s.start.x();
}

double alongMin(const RouteSegment& s)
{
    return s.horizontal ? std::min(s.start.x(), s.end.x()) : std::min(s.start.y(), s.end.y());
}

double alongMax(const RouteSegment& s)
{
    return s.horizontal ? std::max(s.start.x(), s.end.x()) : std::max(s.start.y(), s.end.y());
}

void shiftSegment(QList<RoutePoints>& routes, RouteSegment& s, double shift)
{
    RoutePoints& route = routes[s.route];
    for (int k : {s.segment, s.segment + 1}) {
        QPointF& p = route[k];
        if (s.horizontal)
            p.ry() += shift;
        else
            p.rx() += shift;
    }
    s.start = route.at(s.segment);
    s.end = route.at(s.segment + 1);
}

// Proper crossings of segments first to last of route p with segments
// from to to of route q.
int crossingsBetween(const RoutePoints& p, qsizetype first, qsizetype last, const RoutePoints& q, qsizetype from,
                     qsizetype to)
{
    int crossings = 0;
    for (qsizetype i = std::max<qsizetype>(first, 0); i <= last && i + 1 < p.size(); ++i) {
        for (qsizetype j = std::max<qsizetype>(from, 0); j <= to && j + 1 < q.size(); ++j) {
            if (segmentsCrossInside(p.at(i), p.at(i + 1), q.at(j), q.at(j + 1), 1e-6))
                ++crossings;
        }
    }
    return crossings;
}

// The crossings between two segments with their neighbours (which stretch
// when a segment moves) and the other segment with its neighbours: what a
// move of either changes, but for far parts of the two routes.
int crossingsNear(const QList<RoutePoints>& routes, const RouteSegment& a, const RouteSegment& b)
{
    return crossingsBetween(routes.at(a.route), a.segment - 1, a.segment + 1, routes.at(b.route), b.segment - 1,
                            b.segment + 1);
}

} // namespace

namespace {

// The first and last segments of the routes, which hold the slots: they
// never move, but the inner segments of other routes move away from them.
QList<RouteSegment> collectEndSegments(const QList<RoutePoints>& routes)
{
    QList<RouteSegment> records;
    for (qsizetype r = 0; r < routes.size(); ++r) {
        const RoutePoints& route = routes.at(r);
        const qsizetype segmentCount = route.size() - 1;
        if (segmentCount < 1)
            continue;
        for (qsizetype s : {qsizetype(0), segmentCount - 1}) {
            if (s == segmentCount - 1 && s == 0 && !records.isEmpty() && records.constLast().route == r)
                continue;
            appendAxisSegment(records, route, r, s);
        }
    }
    return records;
}

// The passes over the pairs of parallel segments of different routes.
class ParallelSeparation
{
public:
    ParallelSeparation(QList<RoutePoints>& routes, const std::vector<char>& states, const SegmentBlocked& blocked)
        : m_routes(routes)
        , m_states(states)
        , m_blocked(blocked)
    {
        QList<RouteSegment> fixed = collectEndSegments(routes);
        for (const RouteSegment& record : collectInnerSegments(routes)) {
            const bool still = stateOf(record.route) == SeparationFrozen;
            (still ? fixed : m_records).append(record);
        }
        m_movable = m_records.size();
        m_records += fixed;
        // A move touches only the two records of the pair, so horizontal
        // and vertical segments never affect each other: each orientation
        // is its own list, kept in record order (the inner segments first).
        for (qsizetype i = 0; i < m_records.size(); ++i)
            m_byOrientation[m_records.at(i).horizontal ? 1 : 0].append(i);
        for (int o = 0; o < 2; ++o) {
            Compact& c = m_compact[o];
            for (qsizetype i : std::as_const(m_byOrientation[o])) {
                const RouteSegment& r = m_records.at(i);
                c.across.push_back(across(r));
                c.low.push_back(alongMin(r));
                c.high.push_back(alongMax(r));
                c.route.push_back(r.route);
            }
            for (size_t k = 0; k < c.across.size(); ++k)
                m_buckets[o][bucketOf(c.across[k])].push_back(static_cast<int>(k));
        }
    }

    void run()
    {
        for (int pass = 0; pass < SeparationPasses; ++pass) {
            // A pass that moves nothing leaves the next ones nothing to do.
            bool moved = false;
            for (int o = 0; o < 2; ++o)
                moved = passOver(o) || moved;
            if (!moved)
                break;
        }
    }

private:
    static constexpr int SeparationPasses = 4;

    // The pair test reads compact copies of what it needs, in list order:
    // the coordinate across and the extent along, read again from the
    // route whenever the segment moves (a move of a neighbouring segment of
    // the other orientation may have changed its ends).
    struct Compact
    {
        std::vector<double> across;
        std::vector<double> low;
        std::vector<double> high;
        std::vector<int> route;
    };

    // The segments of each orientation sit in buckets of the spacing's
    // width by their coordinate across, so that a segment meets only those
    // in its own and the two neighbouring buckets: exactly the ones that
    // can lie closer than the spacing. A segment that moves changes bucket.
    static long long bucketOf(double across) { return static_cast<long long>(std::floor(across / ParallelSegmentSpacing)); }

    char stateOf(int route) const
    {
        return route < static_cast<int>(m_states.size()) ? m_states[static_cast<size_t>(route)] : 0;
    }

    // Whether the segment, or a neighbour, now meets an entity.
    bool meetsEntity(const RouteSegment& seg) const
    {
        if (!m_blocked)
            return false;
        const RoutePoints& route = m_routes.at(seg.route);
        for (int k = std::max(0, seg.segment - 1); k <= seg.segment + 1 && k + 1 < route.size(); ++k) {
            if (m_blocked(seg.route, route.at(k), route.at(k + 1)))
                return true;
        }
        return false;
    }

    // Reads segment k of orientation o again from its route.
    void refresh(int o, size_t k, const RouteSegment& r)
    {
        Compact& c = m_compact[o];
        const long long was = bucketOf(c.across[k]);
        c.across[k] = across(r);
        c.low[k] = alongMin(r);
        c.high[k] = alongMax(r);
        const long long now = bucketOf(c.across[k]);
        if (now != was) {
            std::vector<int>& old = m_buckets[o][was];
            old.erase(std::find(old.begin(), old.end(), static_cast<int>(k)));
            m_buckets[o][now].push_back(static_cast<int>(k));
        }
    }

    // The segments of orientation o after the one given that may lie near
    // segment a, in list order.
    void gather(int o, size_t a, size_t after)
    {
        m_near.clear();
        const long long b = bucketOf(m_compact[o].across[a]);
        for (long long k = b - 1; k <= b + 1; ++k) {
            const auto it = m_buckets[o].find(k);
            if (it == m_buckets[o].end())
                continue;
            for (int v : it->second) {
                if (static_cast<size_t>(v) > after)
                    m_near.push_back(v);
            }
        }
        std::sort(m_near.begin(), m_near.end());
    }

    // Crossings of the two routes after the pair moved apart by these
    // steps.
    int crossingsAfter(RouteSegment& si, RouteSegment& sj, double stepA, double stepB)
    {
        shiftSegment(m_routes, si, stepA);
        if (stepB != 0.0)
            shiftSegment(m_routes, sj, stepB);
        const int crossings = crossingsNear(m_routes, si, sj);
        shiftSegment(m_routes, si, -stepA);
        if (stepB != 0.0)
            shiftSegment(m_routes, sj, -stepB);
        return crossings;
    }

    // Segment si (a of orientation o) moves the whole way from sj, which
    // never moves, d apart across; a route turned back once before passes
    // on the other side. Whether it moved; if not, it is read again.
    bool partFromFixed(int o, size_t a, RouteSegment& si, RouteSegment& sj, double d, double direction)
    {
        const double plain = direction * (ParallelSegmentSpacing - std::abs(d));
        const double otherWay = -direction * (ParallelSegmentSpacing + std::abs(d));
        const bool turned = stateOf(si.route) == SeparationOtherWay
            || crossingsAfter(si, sj, otherWay, 0.0) < crossingsAfter(si, sj, plain, 0.0);
        const double step = turned ? otherWay : plain;
        shiftSegment(m_routes, si, step);
        if (meetsEntity(si)) {
            const double other = turned ? plain : otherWay;
            shiftSegment(m_routes, si, other - step);
            if (meetsEntity(si)) {
                shiftSegment(m_routes, si, -other);
                refresh(o, a, si);
                return false;
            }
        }
        return true;
    }

    // Segments si and sj (a and b of orientation o), d apart across, move
    // apart by half the shortfall each, or one of them the whole way where
    // the other would meet an entity. Whether they moved; if not, both are
    // read again.
    bool partPair(int o, size_t a, size_t b, RouteSegment& si, RouteSegment& sj, double d, double direction)
    {
        double shift = direction * (ParallelSegmentSpacing - std::abs(d)) / 2.0;
        const double swapped = (-direction * ParallelSegmentSpacing - d) / 2.0;
        if (crossingsAfter(si, sj, swapped, -swapped) < crossingsAfter(si, sj, shift, -shift))
            shift = swapped;
        shiftSegment(m_routes, si, shift);
        shiftSegment(m_routes, sj, -shift);
        if (meetsEntity(si) || meetsEntity(sj)) {
            // Only one of them, the whole way.
            shiftSegment(m_routes, si, shift);
            shiftSegment(m_routes, sj, shift);
            if (meetsEntity(si)) {
                shiftSegment(m_routes, si, -2.0 * shift);
                shiftSegment(m_routes, sj, -2.0 * shift);
                if (meetsEntity(sj)) {
                    shiftSegment(m_routes, sj, 2.0 * shift);
                    refresh(o, a, si);
                    refresh(o, b, sj);
                    return false;
                }
            }
        }
        return true;
    }

    // One pass over the pairs of orientation o; whether anything moved.
    bool passOver(int o)
    {
        const QList<qsizetype>& list = m_byOrientation[o];
        const Compact& c = m_compact[o];
        const size_t count = static_cast<size_t>(list.size());
        bool moved = false;
        for (size_t a = 0; a < count; ++a) {
            if (list.at(static_cast<qsizetype>(a)) >= m_movable)
                break; // only end segments from here on: none of them moves
            RouteSegment& si = m_records[list.at(static_cast<qsizetype>(a))];
            gather(o, a, a);
            for (size_t n = 0; n < m_near.size(); ++n) {
                const size_t b = static_cast<size_t>(m_near[n]);
                const double d = c.across[a] - c.across[b];
                if (std::abs(d) >= ParallelSegmentSpacing || c.route[a] == c.route[b])
                    continue;
                if (!(c.low[a] < c.high[b] && c.low[b] < c.high[a]))
                    continue;
                RouteSegment& sj = m_records[list.at(static_cast<qsizetype>(b))];
                // The two keep their order across, the earlier one going
                // towards smaller coordinates when they lie on one line,
                // unless the other order crosses the two routes less (as for
                // two routes that turn into a shared corridor from opposite
                // ends).
                const double direction = d > 0 ? 1.0 : -1.0;
                if (list.at(static_cast<qsizetype>(b)) >= m_movable) {
                    if (!partFromFixed(o, a, si, sj, d, direction))
                        continue;
                } else {
                    if (!partPair(o, a, b, si, sj, d, direction))
                        continue;
                    refresh(o, b, sj);
                }
                refresh(o, a, si);
                moved = true;
                // a stands elsewhere now: its neighbours are looked up
                // again, after b.
                gather(o, a, b);
                n = static_cast<size_t>(-1);
            }
        }
        return moved;
    }

    QList<RoutePoints>& m_routes;
    const std::vector<char>& m_states;
    const SegmentBlocked& m_blocked;
    QList<RouteSegment> m_records;
    qsizetype m_movable = 0; // records before this one may move
    QList<qsizetype> m_byOrientation[2];
    Compact m_compact[2];
    std::unordered_map<long long, std::vector<int>> m_buckets[2];
    std::vector<int> m_near;
};

} // namespace

void separateParallelSegments(QList<RoutePoints>& routes, const std::vector<char>& states, const SegmentBlocked& blocked)
{
    ParallelSeparation(routes, states, blocked).run();
}
