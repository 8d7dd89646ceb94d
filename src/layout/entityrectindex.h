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
    GridCells m_grid;
    CellLists m_lists;
};

template <typename Visit>
bool EntityRectIndex::visitIn(const QRectF& region, const void* a, const void* b, Visit&& visit) const
{
    if (m_rects.isEmpty())
        return false;
    const QRectF n = region.normalized();
    // A region reaching beyond the grid is cut to it; an undefined one
    // looks at every cell.
    return m_lists.visit(m_grid, m_grid.rangeOf(n.left(), n.top(), n.right(), n.bottom()), [&](int i, int, int) {
        const void* key = m_keys.at(i);
        if ((a && key == a) || (b && key == b))
            return false;
        return region.intersects(m_rects.at(i)) && bool(visit(i));
    });
}

template <typename Test>
bool EntityRectIndex::anyIn(const QRectF& region, const void* a, const void* b, Test&& test) const
{
    return visitIn(region, a, b, [this, &test](int i) { return bool(test(m_rects.at(i))); });
}
