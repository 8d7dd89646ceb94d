#include "layout/layoutquality.h"

#include "edges/routegeometry.h"

#include <QLineF>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

struct Segment
{
    QPointF a;
    QPointF b;
    int edge = -1;
};

bool isHorizontal(const Segment& s)
{
    return std::abs(s.a.y() - s.b.y()) < 0.5 && std::abs(s.a.x() - s.b.x()) >= 0.5;
}

bool isVertical(const Segment& s)
{
    return std::abs(s.a.x() - s.b.x()) < 0.5 && std::abs(s.a.y() - s.b.y()) >= 0.5;
}

// A crossing in the inside of both segments (touching ends do not count).
bool properlyCross(const Segment& s, const Segment& t)
{
    return segmentsCrossInside(s.a, s.b, t.a, t.b, 1e-6);
}

// Whether a segment meets the open inside of rect (Liang-Barsky clipping).
bool segmentEnters(const Segment& s, const QRectF& rect)
{
    double t0 = 0.0;
    double t1 = 1.0;
    const double dx = s.b.x() - s.a.x();
    const double dy = s.b.y() - s.a.y();
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {s.a.x() - rect.left(), rect.right() - s.a.x(), s.a.y() - rect.top(), rect.bottom() - s.a.y()};
    for (int i = 0; i < 4; ++i) {
        if (std::abs(p[i]) < 1e-12) {
            if (q[i] <= 0.0)
                return false;
            continue;
        }
        const double r = q[i] / p[i];
        if (p[i] < 0.0)
            t0 = std::max(t0, r);
        else
            t1 = std::min(t1, r);
        if (t0 >= t1)
            return false;
    }
    return t1 - t0 > 1e-9;
}

// The segments of the routes longer than 0.5, sorted by their left ends, so
// that only segments whose x ranges meet need be compared.
std::vector<Segment> sortedSegments(const QList<LaidOutEdge>& edges)
{
    std::vector<Segment> segments;
    for (qsizetype e = 0; e < edges.size(); ++e) {
        const QList<QPointF>& points = edges.at(e).points;
        for (qsizetype i = 0; i + 1 < points.size(); ++i) {
            if (QLineF(points.at(i), points.at(i + 1)).length() > 0.5)
                segments.push_back({points.at(i), points.at(i + 1), static_cast<int>(e)});
        }
    }
    std::sort(segments.begin(), segments.end(), [](const Segment& s, const Segment& t) {
        return std::min(s.a.x(), s.b.x()) < std::min(t.a.x(), t.b.x());
    });
    return segments;
}


// Two parallel segments lie on one line when nearer than this across and
// overlapping by more than this along.
constexpr double OnOneLineAcross = 6.0;
constexpr double OnOneLineAlong = 10.0;
// Two ends nearer than this share a point.
constexpr double SharedEndWithin = 1.0;
// A route runs through an entity when it meets the rectangle shrunk by this.
constexpr double ThroughInset = 2.0;

// Width : height of the union of the rectangles; 0 without height.
double layoutAspect(const QList<QRectF>& entities)
{
    QRectF bounds;
    for (const QRectF& r : entities)
        bounds = bounds.isNull() ? r : bounds.united(r);
    return bounds.height() > 0.0 ? bounds.width() / bounds.height() : 0.0;
}

int countOverlappingPairs(const QList<QRectF>& entities)
{
    int pairs = 0;
    for (qsizetype a = 0; a < entities.size(); ++a) {
        for (qsizetype b = a + 1; b < entities.size(); ++b) {
            if (entities.at(a).intersects(entities.at(b)))
                ++pairs;
        }
    }
    return pairs;
}

// Whether s and t (of different edges, t's left end at or right of s's)
// lie on one line.
bool onOneLine(const Segment& s, const Segment& t)
{
    if (isHorizontal(s) && isHorizontal(t)) {
        const double overlap = std::min(std::max(s.a.x(), s.b.x()), std::max(t.a.x(), t.b.x()))
            - std::max(std::min(s.a.x(), s.b.x()), std::min(t.a.x(), t.b.x()));
        return std::abs(s.a.y() - t.a.y()) < OnOneLineAcross && overlap > OnOneLineAlong;
    }
    if (isVertical(s) && isVertical(t)) {
        const double overlap = std::min(std::max(s.a.y(), s.b.y()), std::max(t.a.y(), t.b.y()))
            - std::max(std::min(s.a.y(), s.b.y()), std::min(t.a.y(), t.b.y()));
        return std::abs(s.a.x() - t.a.x()) < OnOneLineAcross && overlap > OnOneLineAlong;
    }
    return false;
}

int countCoincidentPairs(const QList<LaidOutEdge>& edges)
{
    const std::vector<Segment> segments = sortedSegments(edges);
    int pairs = 0;
    for (size_t i = 0; i < segments.size(); ++i) {
        const Segment& s = segments[i];
        const double sRight = std::max(s.a.x(), s.b.x());
        for (size_t j = i + 1; j < segments.size(); ++j) {
            const Segment& t = segments[j];
            if (std::min(t.a.x(), t.b.x()) > sRight + OnOneLineAcross)
                break;
            if (s.edge != t.edge && onOneLine(s, t))
                ++pairs;
        }
    }
    return pairs;
}

// The ends of two edges at one point of one entity.
int sharedEnds(const LaidOutEdge& ea, const LaidOutEdge& eb)
{
    const QPointF endsA[2] = {ea.points.constFirst(), ea.points.constLast()};
    const int entitiesA[2] = {ea.from, ea.to};
    const QPointF endsB[2] = {eb.points.constFirst(), eb.points.constLast()};
    const int entitiesB[2] = {eb.from, eb.to};
    int shared = 0;
    for (int i = 0; i < 2; ++i) {
        for (int k = 0; k < 2; ++k) {
            if (entitiesA[i] == entitiesB[k] && QLineF(endsA[i], endsB[k]).length() < SharedEndWithin)
                ++shared;
        }
    }
    return shared;
}

// End points: each edge's two ends, compared within one entity.
int countSharedEndPoints(const QList<LaidOutEdge>& edges)
{
    int shared = 0;
    for (qsizetype a = 0; a < edges.size(); ++a) {
        const LaidOutEdge& ea = edges.at(a);
        if (ea.points.size() < 2)
            continue;
        for (qsizetype b = a + 1; b < edges.size(); ++b) {
            const LaidOutEdge& eb = edges.at(b);
            if (eb.points.size() >= 2)
                shared += sharedEnds(ea, eb);
        }
    }
    return shared;
}

// The entities sorted by their left sides, to be looked up by x range.
struct EntitiesByLeft
{
    const QList<QRectF>& entities;
    std::vector<int> byLeft;   // entity indices
    std::vector<double> lefts; // their left sides, in that order
    double widest = 0.0;

    explicit EntitiesByLeft(const QList<QRectF>& rects)
        : entities(rects)
        , byLeft(static_cast<size_t>(rects.size()))
    {
        for (size_t i = 0; i < byLeft.size(); ++i)
            byLeft[i] = static_cast<int>(i);
        std::sort(byLeft.begin(), byLeft.end(), [&rects](int a, int b) { return rects.at(a).left() < rects.at(b).left(); });
        for (const QRectF& r : rects)
            widest = std::max(widest, r.width());
        lefts.reserve(byLeft.size());
        for (int i : byLeft)
            lefts.push_back(rects.at(i).left());
    }

    // Whether the segment enters an entity other than the edge's ends.
    bool entered(const Segment& s, const LaidOutEdge& edge) const
    {
        const double low = std::min(s.a.x(), s.b.x());
        const double high = std::max(s.a.x(), s.b.x());
        auto it = std::lower_bound(lefts.begin(), lefts.end(), low - widest);
        for (; it != lefts.end() && *it <= high; ++it) {
            const int r = byLeft[static_cast<size_t>(it - lefts.begin())];
            if (r == edge.from || r == edge.to)
                continue;
            if (segmentEnters(s, entities.at(r).adjusted(ThroughInset, ThroughInset, -ThroughInset, -ThroughInset)))
                return true;
        }
        return false;
    }
};

// Edges through entities; self-relations are left out.
int countEdgesThroughEntities(const QList<QRectF>& entities, const QList<LaidOutEdge>& edges)
{
    const EntitiesByLeft index(entities);
    int through = 0;
    for (qsizetype e = 0; e < edges.size(); ++e) {
        const LaidOutEdge& edge = edges.at(e);
        if (edge.from == edge.to)
            continue;
        for (qsizetype i = 0; i + 1 < edge.points.size(); ++i) {
            if (index.entered({edge.points.at(i), edge.points.at(i + 1), static_cast<int>(e)}, edge)) {
                ++through;
                break;
            }
        }
    }
    return through;
}

} // namespace

int countRouteCrossings(const QList<LaidOutEdge>& edges)
{
    const std::vector<Segment> segments = sortedSegments(edges);
    int crossings = 0;
    for (size_t i = 0; i < segments.size(); ++i) {
        const Segment& s = segments[i];
        const double right = std::max(s.a.x(), s.b.x());
        for (size_t j = i + 1; j < segments.size(); ++j) {
            const Segment& t = segments[j];
            if (std::min(t.a.x(), t.b.x()) > right)
                break;
            if (s.edge != t.edge && properlyCross(s, t))
                ++crossings;
        }
    }
    return crossings;
}

LayoutQuality measureLayoutQuality(const QList<QRectF>& entities, const QList<LaidOutEdge>& edges)
{
    LayoutQuality quality;
    quality.aspect = layoutAspect(entities);
    quality.overlappingPairs = countOverlappingPairs(entities);
    quality.coincidentPairs = countCoincidentPairs(edges);
    quality.sharedEndPoints = countSharedEndPoints(edges);
    quality.edgesThroughEntities = countEdgesThroughEntities(entities, edges);
    quality.crossings = countRouteCrossings(edges);
    return quality;
}
