#include "layout/routeseparation.h"

#include <algorithm>
#include <cmath>
#include <vector>

QList<QLineF> routeToSegments(const RoutePoints& points)
{
    QList<QLineF> segments;
    for (qsizetype i = 0; i + 1 < points.size(); ++i) {
        const QLineF segment(points.at(i), points.at(i + 1));
        if (segment.length() > 0.5)
            segments.append(segment);
    }
    return segments;
}

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

} // namespace

void separateParallelSegments(QList<RoutePoints>& routes, const std::vector<char>& states)
{
    auto stateOf = [&states](int route) {
        return route < static_cast<int>(states.size()) ? states[static_cast<size_t>(route)] : 0;
    };
    QList<RouteSegment> records;
    QList<RouteSegment> fixed = collectEndSegments(routes);
    for (const RouteSegment& record : collectInnerSegments(routes)) {
        const bool still = stateOf(record.route) == SeparationFrozen;
        (still ? fixed : records).append(record);
    }
    const qsizetype movable = records.size();
    records += fixed;
    // A move touches only the two records of the pair, so horizontal and
    // vertical segments never affect each other: each orientation is its
    // own list, kept in record order (the inner segments first).
    QList<qsizetype> byOrientation[2];
    for (qsizetype i = 0; i < records.size(); ++i)
        byOrientation[records.at(i).horizontal ? 1 : 0].append(i);

    // The pair test reads compact copies of what it needs, in list order:
    // the coordinate across and the extent along, read again from the
    // route whenever the segment moves (a move of a neighbouring segment
    // of the other orientation may have changed its ends).
    struct Compact
    {
        std::vector<double> across;
        std::vector<double> low;
        std::vector<double> high;
        std::vector<int> route;
    };
    Compact compact[2];
    for (int o = 0; o < 2; ++o) {
        const QList<qsizetype>& list = byOrientation[o];
        Compact& c = compact[o];
        for (qsizetype i : list) {
            const RouteSegment& r = records.at(i);
            c.across.push_back(across(r));
            c.low.push_back(alongMin(r));
            c.high.push_back(alongMax(r));
            c.route.push_back(r.route);
        }
    }

    for (int pass = 0; pass < 4; ++pass) {
        // A pass that moves nothing leaves the next ones nothing to do.
        bool moved = false;
        for (int o = 0; o < 2; ++o) {
            const QList<qsizetype>& list = byOrientation[o];
            Compact& c = compact[o];
            const size_t count = static_cast<size_t>(list.size());
            double* acr = c.across.data();
            double* low = c.low.data();
            double* high = c.high.data();
            auto refresh = [&](size_t k, const RouteSegment& r) {
                acr[k] = across(r);
                low[k] = alongMin(r);
                high[k] = alongMax(r);
            };
            const int* route = c.route.data();
            for (size_t a = 0; a < count; ++a) {
                if (list.at(static_cast<qsizetype>(a)) >= movable)
                    break; // only end segments from here on: none of them moves
                RouteSegment& si = records[list.at(static_cast<qsizetype>(a))];
                for (size_t b = a + 1; b < count; ++b) {
                    const double d = acr[a] - acr[b];
                    if (std::abs(d) >= ParallelSegmentSpacing || route[a] == route[b])
                        continue;
                    if (!(low[a] < high[b] && low[b] < high[a]))
                        continue;
                    RouteSegment& sj = records[list.at(static_cast<qsizetype>(b))];
                    // Segments on one line part with the earlier one going
                    // towards smaller coordinates.
                    const double direction = d > 0 ? 1.0 : -1.0;
                    if (list.at(static_cast<qsizetype>(b)) >= movable) {
                        // A route turned back once before passes on the
                        // other side.
                        if (stateOf(si.route) == SeparationOtherWay)
                            shiftSegment(routes, si, -direction * (ParallelSegmentSpacing + std::abs(d)));
                        else
                            shiftSegment(routes, si, direction * (ParallelSegmentSpacing - std::abs(d)));
                        refresh(a, si);
                        moved = true;
                        continue;
                    }
                    const double shift = direction * (ParallelSegmentSpacing - std::abs(d)) / 2.0;
                    shiftSegment(routes, si, shift);
                    shiftSegment(routes, sj, -shift);
                    refresh(a, si);
                    refresh(b, sj);
                    moved = true;
                }
            }
        }
        if (!moved)
            break;
    }
}
