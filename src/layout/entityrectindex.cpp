#include "layout/entityrectindex.h"

#include <algorithm>
#include <cmath>
#include <limits>

void EntityRectIndex::build(const QList<const void*>& keys, const QList<QRectF>& rects)
{
    m_keys = keys;
    m_rects = rects;
    m_lists.clear();
    m_grid = GridCells();
    if (rects.isEmpty())
        return;
    QRectF bounds = rects.first().normalized();
    double sizeSum = 0.0;
    for (const QRectF& r : rects) {
        const QRectF n = r.normalized();
        bounds = bounds.united(n);
        sizeSum += n.width() + n.height();
    }
    if (!std::isfinite(sizeSum) || !std::isfinite(bounds.width()) || !std::isfinite(bounds.height())) {
        // Beyond what doubles measure: one cell, which every region meets,
        // holds them all, and the answers come from a scan of it.
        m_grid.cell = std::numeric_limits<double>::infinity();
        m_grid.columns = m_grid.rows = 1;
    } else {
        // Cells about twice the mean entity side, at most some 64k of them.
        double cell = std::max(1.0, sizeSum / rects.size());
        while ((bounds.width() / cell + 1) * (bounds.height() / cell + 1) > 65536.0)
            cell *= 2.0;
        m_grid.cell = cell;
        m_grid.originX = bounds.left();
        m_grid.originY = bounds.top();
        m_grid.columns = static_cast<int>(bounds.width() / cell) + 1;
        m_grid.rows = static_cast<int>(bounds.height() / cell) + 1;
    }

    m_lists.build(m_grid, static_cast<int>(rects.size()), [this, &rects](int i) {
        const QRectF n = rects.at(i).normalized();
        return m_grid.rangeOf(n.left(), n.top(), n.right(), n.bottom());
    });
}

QList<QRectF> EntityRectIndex::rectsIn(const QRectF& region, const void* a, const void* b) const
{
    QList<QRectF> found;
    std::vector<int> hits;
    visitIn(region, a, b, [&hits](int i) {
        hits.push_back(i);
        return false;
    });
    // A rectangle over several cells is met once in each of them.
    std::sort(hits.begin(), hits.end());
    hits.erase(std::unique(hits.begin(), hits.end()), hits.end());
    found.reserve(static_cast<qsizetype>(hits.size()));
    for (int i : hits)
        found.append(m_rects.at(i));
    return found;
}
