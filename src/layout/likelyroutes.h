#pragma once

#include "layout/gridcells.h"
#include "layout/layoutnode.h"

#include <algorithm>
#include <cmath>
#include <vector>

// What the crossing swaps measure placements by: the likely route of an
// edge, three axis-parallel pieces between the centres of its ends, and a
// coarse grid of cells that lists items (pieces of routes, boxes) so that
// a query looks only at items near it.

// The route an edge is likely to get: out of the sides that face each
// other and across half way, three axis-parallel pieces, kept as its
// horizontal and its vertical pieces of non-zero length (each with its low
// and high end along its run).
struct Piece
{
    double at;  // y of a horizontal piece, x of a vertical one
    double low; // along the piece
    double high;
};

struct LikelyRoute
{
    Piece flat[2];
    Piece upright[2];
    int flats = 0;
    int uprights = 0;
    double left, top, right, bottom; // the bounding box

    void add(bool horizontal, double at, double from, double to)
    {
        if (from == to)
            return;
        const Piece piece{at, std::min(from, to), std::max(from, to)};
        if (horizontal)
            flat[flats++] = piece;
        else
            upright[uprights++] = piece;
    }
};


// The route an edge between a and b is likely to get (see LikelyRoute).
LikelyRoute likelyRoute(const LayoutNode& a, const LayoutNode& b);

// Crossings of a horizontal and a vertical piece, each meeting the other
// strictly inside.
inline bool piecesCross(const Piece& flat, const Piece& upright)
{
    return flat.low < upright.at && upright.at < flat.high && upright.low < flat.at && flat.at < upright.high;
}



// Crossings of the pieces of two likely routes.
int routesCross(const LikelyRoute& r, const LikelyRoute& o);

// Whether a piece of the route runs through the box (x0, y0)-(x1, y1).
bool routeMeetsBox(const LikelyRoute& r, double x0, double y0, double x1, double y1);

// The crossings between the likely routes of edges that share no end, each
// pair once, plus one for each pass of a route through a box not its own:
// pair by pair, for the small number of edges of one component counted
// again and again while it is arranged (the swaps keep a grid instead).
int likelyRouteConflicts(const LayoutNodes& nodes, const LayoutEdges& edges);

// A coarse grid over the component: each item (a piece of a likely route,
// or a node's box) is listed in every cell its extent meets, so that a
// query looks only at items near it.
class CellGrid
{
public:
    void setUp(double left, double top, double right, double bottom, double cell, size_t items)
    {
        m_grid.originX = left;
        m_grid.originY = top;
        m_grid.cell = cell;
        m_grid.columns = heldCell((right - left) / cell, 0, 255, 0) + 1;
        m_grid.rows = heldCell((bottom - top) / cell, 0, 255, 0) + 1;
        m_cells.assign(m_grid.cellCount(), {});
        m_ranges.assign(items, {0, -1, 0, -1});
    }

    void insert(int id, double left, double top, double right, double bottom)
    {
        Range& range = m_ranges[static_cast<size_t>(id)];
        range = m_grid.rangeOf(left, top, right, bottom);
        m_grid.forEachCell(range, [this, id](size_t c) { m_cells[c].push_back(id); });
    }

    void remove(int id)
    {
        Range& range = m_ranges[static_cast<size_t>(id)];
        m_grid.forEachCell(range, [this, id](size_t c) {
            std::vector<int>& cell = m_cells[c];
            const auto it = std::find(cell.begin(), cell.end(), id);
            if (it != cell.end()) {
                *it = cell.back();
                cell.pop_back();
            }
        });
        range = {0, -1, 0, -1};
    }

    // The marks by which one visit passes each item once: a thread with
    // stamps of its own may visit the grid while nothing changes it.
    struct Stamps
    {
        std::vector<unsigned> stamp;
        unsigned visit = 0;
    };
    void prepare(Stamps& stamps) const { stamps.stamp.assign(m_ranges.size(), 0); }

    // Calls visit once for each item listed in a cell the box meets.
    template<typename Visit>
    void visit(Stamps& stamps, double left, double top, double right, double bottom, Visit&& visitItem) const
    {
        ++stamps.visit;
        m_grid.forEachCell(m_grid.rangeOf(left, top, right, bottom), [&](size_t c) {
            for (int id : m_cells[c]) {
                if (stamps.stamp[static_cast<size_t>(id)] == stamps.visit)
                    continue;
                stamps.stamp[static_cast<size_t>(id)] = stamps.visit;
                visitItem(id);
            }
        });
    }

    double cellSize() const { return m_grid.cell; }

    // Calls visit for every item listed in the cells ring steps (rows or
    // columns) away from the cell of (x, y) along the farther axis, an item
    // in several of them more than once; false when the grid has no such
    // cell.
    template<typename Visit>
    bool visitRing(double x, double y, int ring, Visit&& visitItem) const
    {
        const int c0 = m_grid.column(x);
        const int r0 = m_grid.row(y);
        bool any = false;
        for (int r = std::max(r0 - ring, 0); r <= std::min(r0 + ring, m_grid.rows - 1); ++r) {
            const bool edgeRow = r == r0 - ring || r == r0 + ring;
            for (int c = std::max(c0 - ring, 0); c <= std::min(c0 + ring, m_grid.columns - 1); ++c) {
                if (!edgeRow && c != c0 - ring && c != c0 + ring)
                    continue;
                any = true;
                for (int id : m_cells[m_grid.index(c, r)])
                    visitItem(id);
            }
        }
        return any;
    }

    using Range = GridCells::Range;

    // The cells an item is listed in.
    Range rangeOfItem(int id) const { return m_ranges[static_cast<size_t>(id)]; }

    // Calls visit for every item listed in the cells of range (an item in
    // several of them more than once).
    template<typename Visit>
    void visitRange(const Range& range, Visit&& visitItem) const
    {
        m_grid.forEachCell(range, [&](size_t c) {
            for (int id : m_cells[c])
                visitItem(id);
        });
    }

private:
    GridCells m_grid;
    std::vector<std::vector<int>> m_cells;
    std::vector<Range> m_ranges;
};

