#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

// A cell number of a uniform grid from a double: held within [low, high]
// while still a double, so that a point far off the grid (or a huge one)
// cannot overflow the int it becomes; NaN gives ifUndefined.
inline int heldCell(double cell, int low, int high, int ifUndefined)
{
    if (std::isnan(cell))
        return ifUndefined;
    return static_cast<int>(std::clamp(cell, static_cast<double>(low), static_cast<double>(high)));
}

// The cells of one uniform grid: square cells of a side from an origin, in
// columns and rows. Every grid index of the layout and the routes finds its
// cells here: a coordinate off the grid belongs to the cell at its edge.
struct GridCells
{
    double originX = 0.0;
    double originY = 0.0;
    double cell = 1.0;
    int columns = 0;
    int rows = 0;

    // The cells a box covers, from column c0 and row r0 to column c1 and
    // row r1.
    struct Range
    {
        int c0;
        int c1;
        int r0;
        int r1;
    };

    // The column of x, held to the grid; an undefined x gives ifUndefined.
    int column(double x, int ifUndefined = 0) const
    {
        return heldCell(std::floor((x - originX) / cell), 0, columns - 1, ifUndefined);
    }
    int row(double y, int ifUndefined = 0) const
    {
        return heldCell(std::floor((y - originY) / cell), 0, rows - 1, ifUndefined);
    }
    // The cells the box meets, held to the grid; an undefined side reaches
    // to the grid's edge.
    Range rangeOf(double left, double top, double right, double bottom) const
    {
        return {column(left, 0), column(right, columns - 1), row(top, 0), row(bottom, rows - 1)};
    }
    size_t cellCount() const { return static_cast<size_t>(columns) * static_cast<size_t>(rows); }
    size_t index(int c, int r) const { return static_cast<size_t>(r) * static_cast<size_t>(columns) + static_cast<size_t>(c); }

    // visit(index) for each cell of range, row by row.
    template <typename Visit>
    void forEachCell(const Range& range, Visit&& visit) const
    {
        for (int r = range.r0; r <= range.r1; ++r) {
            for (int c = range.c0; c <= range.c1; ++c)
                visit(index(c, r));
        }
    }
};

// Items listed in the cells of a grid once and for all: each item in every
// cell of its range, in the order of the items.
class CellLists
{
public:
    // Lists count items, item i in the cells of rangeOf(i).
    template <typename RangeOf>
    void build(const GridCells& grid, int count, RangeOf&& rangeOf)
    {
        const size_t cells = grid.cellCount();
        std::vector<int> counts(cells + 1, 0);
        for (int i = 0; i < count; ++i)
            grid.forEachCell(rangeOf(i), [&counts](size_t c) { ++counts[c + 1]; });
        for (size_t c = 0; c < cells; ++c)
            counts[c + 1] += counts[c];
        m_start = counts;
        m_items.assign(static_cast<size_t>(counts[cells]), 0);
        std::vector<int> fill(counts.begin(), counts.end() - 1);
        for (int i = 0; i < count; ++i)
            grid.forEachCell(rangeOf(i), [&](size_t c) { m_items[static_cast<size_t>(fill[c]++)] = i; });
    }

    void clear()
    {
        m_start.clear();
        m_items.clear();
    }

    // visit(item, column, row) for every item listed in the cells of
    // range, cell by cell as forEachCell goes (an item in several of them
    // once in each), until visit returns true; whether it did.
    template <typename Visit>
    bool visit(const GridCells& grid, const GridCells::Range& range, Visit&& visitItem) const
    {
        for (int r = range.r0; r <= range.r1; ++r) {
            for (int c = range.c0; c <= range.c1; ++c) {
                const size_t cell = grid.index(c, r);
                for (int k = m_start[cell]; k < m_start[cell + 1]; ++k) {
                    if (visitItem(m_items[static_cast<size_t>(k)], c, r))
                        return true;
                }
            }
        }
        return false;
    }

private:
    // Cell c holds m_items[m_start[c] .. m_start[c + 1]).
    std::vector<int> m_start;
    std::vector<int> m_items;
};
