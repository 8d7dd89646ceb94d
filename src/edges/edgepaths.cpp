#include "edges/edgepaths.h"

#include "edges/routegeometry.h"

#include <QRectF>
#include <QtMath>

#include <algorithm>
#include <cmath>

namespace {

double sign(double v)
{
    if (std::abs(v) <= 1e-12)
        return 0.0;
    return v > 0.0 ? 1.0 : -1.0;
}

void addCrowsFoot(QPainterPath& path, double size, double h)
{
    path.moveTo(0, 0);
    path.lineTo(size, 0);
    path.moveTo(0, 0);
    path.lineTo(size, -h);
    path.moveTo(0, 0);
    path.lineTo(size, h);
}

void addBar(QPainterPath& path, double x, double h)
{
    path.moveTo(x, -h);
    path.lineTo(x, h);
}

void addZeroCircle(QPainterPath& path, double h)
{
    path.addEllipse(QRectF(-2.6 * h, -h, 2 * h, 2 * h));
}

} // namespace

QPainterPath buildRoundedPath(const QList<QPointF>& points, double radius)
{
    QPainterPath path;
    const qsizetype n = points.size();
    if (n < 2)
        return path;
    path.moveTo(points.constFirst());
    if (n == 2) {
        path.lineTo(points.constLast());
        return path;
    }
    for (qsizetype i = 1; i + 1 < n; ++i) {
        const QPointF& a = points.at(i - 1);
        const QPointF& c = points.at(i);
        const QPointF& b = points.at(i + 1);
        const double r = std::min(radius, 0.5 * std::min(pointDistance(a, c), pointDistance(c, b)));
        if (r <= 0.1) {
            path.lineTo(c);
            continue;
        }
        const QPointF in(sign(c.x() - a.x()), sign(c.y() - a.y()));
        const QPointF out(sign(b.x() - c.x()), sign(b.y() - c.y()));
        path.lineTo(c - r * in);
        path.quadTo(c, c + r * out);
    }
    path.lineTo(points.constLast());
    return path;
}

QTransform routeEndTransform(const QPointF& end, const QPointF& neighbour, double inset)
{
    const double length = pointDistance(end, neighbour);
    const QPointF anchor = length <= 0.0 ? end : end + (neighbour - end) * (inset / length);
    QTransform t;
    t.translate(anchor.x(), anchor.y());
    t.rotate(qRadiansToDegrees(std::atan2(end.y() - neighbour.y(), end.x() - neighbour.x())));
    return t;
}

QPainterPath cardinalityGlyphPath(int cardinality, double size)
{
    const double h = 0.35 * size;
    QPainterPath path;
    switch (cardinality) {
    case CardinalityOne:
        addBar(path, 0, h);
        addBar(path, h, h);
        break;
    case CardinalityMany:
        addBar(path, 0, h);
        addCrowsFoot(path, size, h);
        break;
    case CardinalityZeroOrOne:
        addZeroCircle(path, h);
        addBar(path, 0, h);
        break;
    case CardinalityZeroOrMany:
        addZeroCircle(path, h);
        addCrowsFoot(path, size, h);
        break;
    default:
        break;
    }
    return path;
}
