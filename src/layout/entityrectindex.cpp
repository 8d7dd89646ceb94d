#include "layout/entityrectindex.h"

#include <algorithm>
#include <cmath>
#include <limits>

void EntityRectIndex::build(const QList<const void*>& keys, const QList<QRectF>& rects)
{
    m_keys = keys;
    m_rects = rects;
    m_cellStart.clear();
    m_items.clear();
    m_columns = m_rows = 0;
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
        m_cell = std::numeric_limits<double>::infinity();
        m_originX = m_originY = 0.0;
        m_columns = m_rows = 1;
    } else {
        // Cells about twice the mean entity side, at most some 64k of them.
        m_cell = std::max(1.0, sizeSum / rects.size());
        while ((bounds.width() / m_cell + 1) * (bounds.height() / m_cell + 1) > 65536.0)
            m_cell *= 2.0;
        m_originX = bounds.left();
        m_originY = bounds.top();
        m_columns = static_cast<int>(bounds.width() / m_cell) + 1;
        m_rows = static_cast<int>(bounds.height() / m_cell) + 1;
    }

    const size_t cells = static_cast<size_t>(m_columns) * static_cast<size_t>(m_rows);
    std::vector<int> counts(cells + 1, 0);
    auto forCells = [this](const QRectF& r, auto&& visit) {
        const QRectF n = r.normalized();
        const int x0 = heldCell((n.left() - m_originX) / m_cell, 0, m_columns - 1, 0);
        const int x1 = heldCell((n.right() - m_originX) / m_cell, 0, m_columns - 1, m_columns - 1);
        const int y0 = heldCell((n.top() - m_originY) / m_cell, 0, m_rows - 1, 0);
        const int y1 = heldCell((n.bottom() - m_originY) / m_cell, 0, m_rows - 1, m_rows - 1);
        for (int y = y0; y <= y1; ++y) {
            for (int x = x0; x <= x1; ++x)
                visit(static_cast<size_t>(y) * static_cast<size_t>(m_columns) + static_cast<size_t>(x));
        }
    };
    for (const QRectF& r : rects)
        forCells(r, [&counts](size_t c) { ++counts[c + 1]; });
    for (size_t c = 0; c < cells; ++c)
        counts[c + 1] += counts[c];
    m_cellStart = counts;
    m_items.assign(static_cast<size_t>(counts[cells]), 0);
    std::vector<int> fill(counts.begin(), counts.end() - 1);
    for (qsizetype i = 0; i < rects.size(); ++i)
        forCells(rects.at(i), [&](size_t c) { m_items[static_cast<size_t>(fill[c]++)] = static_cast<int>(i); });
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
