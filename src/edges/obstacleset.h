#pragma once

#include "layout/gridcells.h"

#include <QList>
#include <QRectF>

#include <memory>
#include <vector>

// The rectangles a route must keep out of (the other entities, already
// inset with insetObstacleRect), with a uniform grid over them so that a
// route only looks at the rectangles near its segments.
//
// A set is cheap to copy: copies share the rectangles and the grid. A large
// diagram builds one set over all of its entities once and hands each edge
// excluding(from, to), a view that leaves out the edge's own two entities.
// Every query gives the same answer as a scan of the plain list would.
class ObstacleSet
{
public:
    ObstacleSet();
    // Implicit on purpose: a plain list of rectangles is an obstacle set.
    // Larger sets get a grid unless indexed is false (which gives the same
    // answers, only slower; tests compare the two).
    ObstacleSet(const QList<QRectF>& rects, bool indexed = true);

    // The obstacles of entities given by their scene bounding rectangles:
    // each passed through insetObstacleRect.
    static ObstacleSet fromEntityRects(const QList<QRectF>& sceneRects, bool indexed = true);

    // The same rectangles without those at the two indices (-1: none).
    ObstacleSet excluding(int first, int second = -1) const;

    // Number of rectangles in the view (excluded ones not counted).
    int count() const;
    bool isEmpty() const { return count() == 0; }
    bool isIndexed() const;

    // The rectangles of the view, in their original order.
    QList<QRectF> toList() const;

    // Calls visit(rect) once for every rectangle of the view whose closed
    // extent meets the closed region, in no particular order.
    template <typename Visit>
    void forEachIn(const QRectF& region, Visit&& visit) const;

    // Whether test(rect) holds for some rectangle of the view whose closed
    // extent meets the closed region; stops at the first one.
    template <typename Test>
    bool anyIn(const QRectF& region, Test&& test) const;

private:
    struct Data;

    bool isExcluded(int index) const { return index == m_skipFirst || index == m_skipSecond; }
    bool cellRange(const QRectF& region, GridCells::Range* range) const;

    std::shared_ptr<const Data> m_data;
    int m_skipFirst = -1;
    int m_skipSecond = -1;
};

struct ObstacleSet::Data
{
    QList<QRectF> rects;
    // The normalised extents of the rectangles.
    std::vector<double> left, top, right, bottom;
    bool gridded = false;
    GridCells grid;
    CellLists lists;
};

template <typename Visit>
void ObstacleSet::forEachIn(const QRectF& region, Visit&& visit) const
{
    const Data& d = *m_data;
    const double qLeft = std::min(region.left(), region.right());
    const double qRight = std::max(region.left(), region.right());
    const double qTop = std::min(region.top(), region.bottom());
    const double qBottom = std::max(region.top(), region.bottom());
    auto meets = [&](int i) {
        return d.left[i] <= qRight && d.right[i] >= qLeft && d.top[i] <= qBottom
            && d.bottom[i] >= qTop;
    };

    GridCells::Range range;
    if (!d.gridded || !cellRange(region, &range)) {
        const int n = static_cast<int>(d.rects.size());
        for (int i = 0; i < n; ++i) {
            if (!isExcluded(i) && meets(i))
                visit(d.rects[i]);
        }
        return;
    }
    d.lists.visit(d.grid, range, [&](int i, int cx, int cy) {
        // A rectangle stands in every cell it covers; it is reported from
        // the one cell that holds the top-left corner of its overlap with
        // the region.
        if (!isExcluded(i) && meets(i) && d.grid.column(std::max(d.left[i], qLeft)) == cx
            && d.grid.row(std::max(d.top[i], qTop)) == cy)
            visit(d.rects[i]);
        return false;
    });
}

template <typename Test>
bool ObstacleSet::anyIn(const QRectF& region, Test&& test) const
{
    const Data& d = *m_data;
    const double qLeft = std::min(region.left(), region.right());
    const double qRight = std::max(region.left(), region.right());
    const double qTop = std::min(region.top(), region.bottom());
    const double qBottom = std::max(region.top(), region.bottom());
    auto meets = [&](int i) {
        return d.left[i] <= qRight && d.right[i] >= qLeft && d.top[i] <= qBottom
            && d.bottom[i] >= qTop;
    };

    GridCells::Range range;
    if (!d.gridded || !cellRange(region, &range)) {
        const int n = static_cast<int>(d.rects.size());
        for (int i = 0; i < n; ++i) {
            if (!isExcluded(i) && meets(i) && test(d.rects[i]))
                return true;
        }
        return false;
    }
    // A rectangle in several cells may be tested more than once: harmless
    // for a yes-or-no answer.
    return d.lists.visit(d.grid, range,
                         [&](int i, int, int) { return !isExcluded(i) && meets(i) && bool(test(d.rects[i])); });
}
