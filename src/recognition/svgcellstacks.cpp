#include "recognition/svgcellstacks.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

// Sides within this distance meet.
constexpr double SideTolerance = 1.5;
// ... and must share this much of the shorter side.
constexpr double SharedSide = 0.6;

qint64 bucketOf(double v)
{
    return qint64(std::floor(std::clamp(v, -1e15, 1e15) / (2 * SideTolerance)));
}

double sharedLength(double a0, double a1, double b0, double b1)
{
    return std::min(a1, b1) - std::max(a0, b0);
}

} // namespace

QList<CellStack> stackTableCells(const QList<QRectF>& drawn)
{
    // Distinct cells, in drawing order: a fill and its outline are one.
    QList<QRectF> cells;
    {
        QSet<QPair<QPair<qint64, qint64>, QPair<qint64, qint64>>> seen;
        for (const QRectF& r : drawn) {
            if (r.width() < MinTableCellWidth || r.height() < MinTableCellHeight || !std::isfinite(r.width() + r.height() + r.x() + r.y()))
                continue;
            const auto key = qMakePair(qMakePair(qint64(std::llround(std::clamp(r.x(), -1e15, 1e15) * 2)),
                                                 qint64(std::llround(std::clamp(r.y(), -1e15, 1e15) * 2))),
                                       qMakePair(qint64(std::llround(std::min(r.width(), 1e15) * 2)),
                                                 qint64(std::llround(std::min(r.height(), 1e15) * 2))));
            if (!seen.contains(key)) {
                seen.insert(key);
                cells.append(r);
            }
        }
    }
    QList<int> parent(cells.size());
    std::iota(parent.begin(), parent.end(), 0);
    const auto root = [&parent](int i) {
        while (parent[i] != i)
            i = parent[i] = parent[parent[i]];
        return i;
    };
    // Cells by the position of their top side and of their left side, so
    // that each looks only at the cells starting where it ends.
    QHash<qint64, QList<int>> byTop, byLeft;
    for (int i = 0; i < cells.size(); ++i) {
        byTop[bucketOf(cells.at(i).top())].append(i);
        byLeft[bucketOf(cells.at(i).left())].append(i);
    }
    QList<bool> joined(cells.size(), false);
    for (int i = 0; i < cells.size(); ++i) {
        const QRectF& a = cells.at(i);
        const auto meet = [&](const QHash<qint64, QList<int>>& index, double side, bool below) {
            const qint64 b = bucketOf(side);
            for (qint64 k = b - 1; k <= b + 1; ++k) {
                for (int j : index.value(k)) {
                    if (j == i)
                        continue;
                    const QRectF& c = cells.at(j);
                    const bool meets = below
                        ? std::abs(c.top() - a.bottom()) <= SideTolerance
                            && sharedLength(a.left(), a.right(), c.left(), c.right())
                                >= SharedSide * std::min(a.width(), c.width())
                        : std::abs(c.left() - a.right()) <= SideTolerance
                            && sharedLength(a.top(), a.bottom(), c.top(), c.bottom())
                                >= SharedSide * std::min(a.height(), c.height());
                    if (meets) {
                        parent[root(j)] = root(i);
                        joined[i] = joined[j] = true;
                    }
                }
            }
        };
        meet(byTop, a.bottom(), true);
        meet(byLeft, a.right(), false);
    }
    QHash<int, int> stackOf;  // root to position in the result
    QList<CellStack> stacks;
    for (int i = 0; i < cells.size(); ++i) {
        if (!joined.at(i))
            continue;
        const int r = root(i);
        const QRectF& c = cells.at(i);
        const auto found = stackOf.constFind(r);
        if (found == stackOf.constEnd()) {
            stackOf.insert(r, int(stacks.size()));
            stacks.append({c, c});
            continue;
        }
        CellStack& stack = stacks[found.value()];
        stack.table = stack.table.united(c);
        if (c.top() < stack.top.top() - SideTolerance
            || (std::abs(c.top() - stack.top.top()) <= SideTolerance && c.width() > stack.top.width()))
            stack.top = c;
    }
    return stacks;
}
