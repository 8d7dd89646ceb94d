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
            data->originX = minX;
            data->originY = minY;
            data->cellSize = cell;
            data->columns = std::max(1, static_cast<int>(columns));
            data->rows = std::max(1, static_cast<int>(rows));
        }
    }
    m_data = data;

    if (data->gridded) {
        const int cells = data->columns * data->rows;
        std::vector<int> counts(cells + 1, 0);
        for (int i = 0; i < n; ++i) {
            Range range;
            cellRange(rects[i], &range);
            for (int cy = range.y0; cy <= range.y1; ++cy)
                for (int cx = range.x0; cx <= range.x1; ++cx)
                    ++counts[cy * data->columns + cx];
        }
        data->cellStart.assign(cells + 1, 0);
        for (int c = 0; c < cells; ++c)
            data->cellStart[c + 1] = data->cellStart[c] + counts[c];
        data->cellItems.resize(data->cellStart[cells]);
        std::vector<int> fill(data->cellStart.begin(), data->cellStart.end() - 1);
        for (int i = 0; i < n; ++i) {
            Range range;
            cellRange(rects[i], &range);
            for (int cy = range.y0; cy <= range.y1; ++cy)
                for (int cx = range.x0; cx <= range.x1; ++cx)
                    data->cellItems[fill[cy * data->columns + cx]++] = i;
        }
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

namespace {

// The cell at offset cells from the grid's origin in a row (or column) of
// count cells; offsets beyond either end give the end cell.
int clampedCell(double offset, int count)
{
    const double c = std::floor(offset);
    if (c <= 0.0)
        return 0;
    if (c >= count - 1)
        return count - 1;
    return static_cast<int>(c);
}

} // namespace

int ObstacleSet::cellX(double x) const
{
    const Data& d = *m_data;
    return clampedCell((x - d.originX) / d.cellSize, d.columns);
}

int ObstacleSet::cellY(double y) const
{
    const Data& d = *m_data;
    return clampedCell((y - d.originY) / d.cellSize, d.rows);
}

bool ObstacleSet::cellRange(const QRectF& region, Range* range) const
{
    const double l = std::min(region.left(), region.right());
    const double r = std::max(region.left(), region.right());
    const double t = std::min(region.top(), region.bottom());
    const double b = std::max(region.top(), region.bottom());
    if (!isFiniteRect(l, t, r, b))
        return false;
    range->x0 = cellX(l);
    range->x1 = cellX(r);
    range->y0 = cellY(t);
    range->y1 = cellY(b);
    return true;
}
