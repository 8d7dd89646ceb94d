#include "edges/obstacleset.h"

#include "edges/routegeometry.h"

#include <algorithm>
#include <cmath>

namespace {

// Below this many rectangles a plain scan is as fast as the grid.
constexpr int minimumGridded = 24;

bool isFiniteRect(double l, double t, double r, double b)
{
    return std::isfinite(l) && std::isfinite(t) && std::isfinite(r) && std::isfinite(b);
}

} // namespace

ObstacleSet::ObstacleSet()
    : ObstacleSet(QList<QRectF>())
{
}

ObstacleSet::ObstacleSet(const QList<QRectF>& rects, bool indexed)
{
    auto data = std::make_shared<Data>();
    data->rects = rects;
    const int n = static_cast<int>(rects.size());
    data->left.resize(n);
    data->top.resize(n);
    data->right.resize(n);
    data->bottom.resize(n);
    bool finite = true;
    double minX = 0.0, minY = 0.0, maxX = 0.0, maxY = 0.0;
    for (int i = 0; i < n; ++i) {
        const QRectF& r = rects[i];
        data->left[i] = std::min(r.left(), r.right());
        data->right[i] = std::max(r.left(), r.right());
        data->top[i] = std::min(r.top(), r.bottom());
        data->bottom[i] = std::max(r.top(), r.bottom());
        if (!isFiniteRect(data->left[i], data->top[i], data->right[i], data->bottom[i])) {
            finite = false;
            continue;
        }
        if (i == 0) {
            minX = data->left[i];
            minY = data->top[i];
            maxX = data->right[i];
            maxY = data->bottom[i];
        } else {
            minX = std::min(minX, data->left[i]);
            minY = std::min(minY, data->top[i]);
            maxX = std::max(maxX, data->right[i]);
            maxY = std::max(maxY, data->bottom[i]);
        }
    }

    if (indexed && finite && n >= minimumGridded) {
        // About one rectangle per cell on average, cells no smaller than 8.
        const double width = std::max(maxX - minX, 1.0);
        const double height = std::max(maxY - minY, 1.0);
        double cell = std::sqrt(width * height / n);
        double meanSize = 0.0;
        for (int i = 0; i < n; ++i)
            meanSize += (data->right[i] - data->left[i]) + (data->bottom[i] - data->top[i]);
        meanSize /= 2.0 * n;
        cell = std::max({cell, meanSize, 8.0});
        const double columns = std::ceil(width / cell);
        const double rows = std::ceil(height / cell);
        if (columns * rows <= 4.0 * n + 16.0) {
            data->gridded = true;
            data->grid.originX = minX;
            data->grid.originY = minY;
            data->grid.cell = cell;
            data->grid.columns = std::max(1, static_cast<int>(columns));
            data->grid.rows = std::max(1, static_cast<int>(rows));
        }
    }
    m_data = data;

    if (data->gridded) {
        data->lists.build(data->grid, n, [&data](int i) {
            return data->grid.rangeOf(data->left[i], data->top[i], data->right[i], data->bottom[i]);
        });
    }
}

ObstacleSet ObstacleSet::fromEntityRects(const QList<QRectF>& sceneRects, bool indexed)
{
    QList<QRectF> inset;
    inset.reserve(sceneRects.size());
    for (const QRectF& r : sceneRects)
        inset.append(insetObstacleRect(r));
    return ObstacleSet(inset, indexed);
}

ObstacleSet ObstacleSet::excluding(int first, int second) const
{
    ObstacleSet view(*this);
    view.m_skipFirst = first;
    view.m_skipSecond = second;
    return view;
}

bool ObstacleSet::isIndexed() const
{
    return m_data->gridded;
}

int ObstacleSet::count() const
{
    const int n = static_cast<int>(m_data->rects.size());
    int result = n;
    if (m_skipFirst >= 0 && m_skipFirst < n)
        --result;
    if (m_skipSecond >= 0 && m_skipSecond < n && m_skipSecond != m_skipFirst)
        --result;
    return result;
}

QList<QRectF> ObstacleSet::toList() const
{
    QList<QRectF> list;
    list.reserve(count());
    for (int i = 0; i < m_data->rects.size(); ++i) {
        if (!isExcluded(i))
            list.append(m_data->rects[i]);
    }
    return list;
}

bool ObstacleSet::cellRange(const QRectF& region, GridCells::Range* range) const
{
    const double l = std::min(region.left(), region.right());
    const double r = std::max(region.left(), region.right());
    const double t = std::min(region.top(), region.bottom());
    const double b = std::max(region.top(), region.bottom());
    if (!isFiniteRect(l, t, r, b))
        return false;
    *range = m_data->grid.rangeOf(l, t, r, b);
    return true;
}
