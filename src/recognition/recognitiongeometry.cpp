#include "recognition/recognitiongeometry.h"

#include <QImage>

#include <algorithm>
#include <cmath>

int roundHalfAway(double v)
{
    if (!std::isfinite(v))
        return 0;
    return static_cast<int>(std::clamp(std::round(v), -1e9, 1e9));
}

QRect toPixelRect(const QRectF& r)
{
    return mapBoxToImageRect(r, QSize(1 << 30, 1 << 30), QRectF(0, 0, 1 << 30, 1 << 30), 0);
}

QRectF pointsBoundingRect(const QList<QPointF>& points)
{
    if (points.isEmpty())
        return QRectF(0, 0, 0, 0);
    double left = points.first().x(), right = left;
    double top = points.first().y(), bottom = top;
    for (const QPointF& p : points) {
        left = std::min(left, p.x());
        right = std::max(right, p.x());
        top = std::min(top, p.y());
        bottom = std::max(bottom, p.y());
    }
    return QRectF(left, top, right - left, bottom - top);
}

bool isRectangleOutline(const QList<QPointF>& points)
{
    if (points.size() < 4)
        return false;
    const QRectF b = pointsBoundingRect(points);
    if (b.width() < 28 || b.height() < 18)
        return false;
    const double t = std::max(0.1 * std::min(b.width(), b.height()), 3.0);
    int onEdge = 0;
    for (const QPointF& p : points) {
        if (std::abs(p.x() - b.left()) <= t || std::abs(p.x() - b.right()) <= t
            || std::abs(p.y() - b.top()) <= t || std::abs(p.y() - b.bottom()) <= t)
            ++onEdge;
    }
    return onEdge >= static_cast<int>(0.7 * points.size());
}

double distanceToRect(const QRectF& rect, QPointF p)
{
    const double dx = std::max({rect.left() - p.x(), 0.0, p.x() - rect.right()});
    const double dy = std::max({rect.top() - p.y(), 0.0, p.y() - rect.bottom()});
    return std::hypot(dx, dy);
}

int nearestBoxIndex(const QList<QRectF>& boxes, QPointF p, double limit)
{
    int best = -1;
    double bestDistance = limit;
    for (int i = 0; i < boxes.size(); ++i) {
        const double d = distanceToRect(boxes.at(i), p);
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return best;
}

QRect mapBoxToImageRect(const QRectF& r, QSize imageSize, const QRectF& viewBox, int margin)
{
    const double sx = viewBox.width() > 1 ? imageSize.width() / viewBox.width() : imageSize.width();
    const double sy = viewBox.height() > 1 ? imageSize.height() / viewBox.height() : imageSize.height();
    const double x = (r.x() - viewBox.x()) * sx;
    const double y = (r.y() - viewBox.y()) * sy;
    const double w = r.width() * sx;
    const double h = r.height() * sy;
    const int left = roundHalfAway(x) - margin;
    const int top = roundHalfAway(y) - margin;
    const int right = roundHalfAway(x) + roundHalfAway(w + (x - roundHalfAway(x)) / 2) - 1 + margin;
    const int bottom = roundHalfAway(y) + roundHalfAway(h + (y - roundHalfAway(y)) / 2) - 1 + margin;
    return QRect(QPoint(left, top), QPoint(right, bottom)) & QRect(QPoint(0, 0), imageSize);
}

QRect mapBoxToImageRect(const QRectF& r, const QImage& image, const QRectF& viewBox, int margin)
{
    return mapBoxToImageRect(r, image.size(), viewBox, margin);
}

CandidateBox compareCandidateBox(const QRectF& candidate, const QRectF& kept)
{
    const auto area = [](const QRectF& r) { return r.width() * r.height(); };
    const QRectF inter = candidate.intersected(kept);
    if (!(inter.width() > 0 && inter.height() > 0))
        return CandidateBox::Apart;
    const double unionArea = area(candidate) + area(kept) - area(inter);
    if (unionArea > 0 && area(inter) / unionArea > 0.78)
        return CandidateBox::Joins;
    if (kept.adjusted(-2, -2, 2, 2).contains(candidate) && area(kept) > 1.15 * area(candidate))
        return CandidateBox::Inside;
    return CandidateBox::Apart;
}
