#pragma once

#include <QList>
#include <QRectF>

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

    int count() const { return static_cast<int>(m_rects.size()); }

private:
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
