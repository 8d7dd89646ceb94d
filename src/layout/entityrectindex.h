#pragma once

#include "layout/gridcells.h"

#include <QList>
#include <QRectF>

#include <algorithm>
#include <cmath>
#include <vector>

// A snapshot of the entities' scene rectangles with a uniform grid over
// them, for answering "which entities meet this region" many times while
// the entities stand still (automatic layout routes every edge against
// them several times over). The answers equal those of a scan of the
// snapshot: the rectangles that intersect the region, in snapshot order.
class EntityRectIndex
{
public:
    EntityRectIndex() = default;

    // One rectangle per key (the key identifies the entity; never read).
    void build(const QList<const void*>& keys, const QList<QRectF>& rects);

    // The rectangles that intersect region (QRectF::intersects), without
    // those of the keys a and b, in the order given to build. Safe to call
    // from several threads at once.
    QList<QRectF> rectsIn(const QRectF& region, const void* a = nullptr, const void* b = nullptr) const;

    // Whether test(rect) holds for a rectangle that intersects region, not
    // one of the keys a and b; stops at the first. Any thread.
    template <typename Test>
    bool anyIn(const QRectF& region, const void* a, const void* b, Test&& test) const;

    int count() const { return static_cast<int>(m_rects.size()); }

private:
    // visit(i) for the index of every rectangle that intersects region, not
    // one of the keys a and b, cell by cell (a rectangle over several cells
    // is met in each), until visit returns true; whether it did.
    template <typename Visit>
    bool visitIn(const QRectF& region, const void* a, const void* b, Visit&& visit) const;

    QList<const void*> m_keys;
    QList<QRectF> m_rects;
    double m_originX = 0.0;
    double m_originY = 0.0;
    double m_cell = 1.0;
    int m_columns = 0;
    int m_rows = 0;
    // Cell c holds m_items[m_cellStart[c] .. m_cellStart[c + 1]).
    std::vector<int> m_cellStart;
    std::vector<int> m_items;
};

template <typename Visit>
bool EntityRectIndex::visitIn(const QRectF& region, const void* a, const void* b, Visit&& visit) const
{
    if (m_rects.isEmpty())
        return false;
    const QRectF n = region.normalized();
    // A region reaching beyond the grid is cut to it; an undefined one
    // looks at every cell.
    const int x0 = std::max(0, heldCell(std::floor((n.left() - m_originX) / m_cell), -1, m_columns, 0));
    const int x1 = std::min(m_columns - 1, heldCell(std::floor((n.right() - m_originX) / m_cell), -1, m_columns, m_columns));
    const int y0 = std::max(0, heldCell(std::floor((n.top() - m_originY) / m_cell), -1, m_rows, 0));
    const int y1 = std::min(m_rows - 1, heldCell(std::floor((n.bottom() - m_originY) / m_cell), -1, m_rows, m_rows));
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            const size_t c = static_cast<size_t>(y) * static_cast<size_t>(m_columns) + static_cast<size_t>(x);
            for (int k = m_cellStart[c]; k < m_cellStart[c + 1]; ++k) {
                const int i = m_items[static_cast<size_t>(k)];
                const void* key = m_keys.at(i);
                if ((a && key == a) || (b && key == b))
                    continue;
                if (region.intersects(m_rects.at(i)) && visit(i))
                    return true;
            }
        }
    }
    return false;
}

template <typename Test>
bool EntityRectIndex::anyIn(const QRectF& region, const void* a, const void* b, Test&& test) const
{
    return visitIn(region, a, b, [this, &test](int i) { return bool(test(m_rects.at(i))); });
}
