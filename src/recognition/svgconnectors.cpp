#include "recognition/svgconnectors.h"

#include "recognition/recognitiongeometry.h"
#include "recognition/svgshapereader.h"

#include <QHash>
#include <QMap>
#include <QPair>
#include <QSet>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

using Key = QPair<qint64, qint64>;

Key cellOf(QPointF p, double size)
{
    return Key(qint64(std::floor(std::clamp(p.x() / size, -1e15, 1e15))),
               qint64(std::floor(std::clamp(p.y() / size, -1e15, 1e15))));
}

// Lines drawn end to end make one stroke: a chain of lines meeting at
// shared points (ends that round to the same whole units) with exactly two
// loose ends becomes the line between them; a line of a branching or closed
// figure stands alone.
QList<QLineF> joinLines(const QList<QLineF>& lines)
{
    const auto key = [](QPointF p) {
        return Key(qint64(std::llround(std::clamp(p.x(), -1e15, 1e15))),
                   qint64(std::llround(std::clamp(p.y(), -1e15, 1e15))));
    };
    QList<int> parent(lines.size());
    std::iota(parent.begin(), parent.end(), 0);
    const auto root = [&parent](int i) {
        while (parent[i] != i)
            i = parent[i] = parent[parent[i]];
        return i;
    };
    QHash<Key, QList<int>> ends;  // point to the lines ending there
    for (int i = 0; i < lines.size(); ++i) {
        for (const QPointF& p : {lines.at(i).p1(), lines.at(i).p2()}) {
            QList<int>& at = ends[key(p)];
            for (int other : qAsConst(at))
                parent[root(other)] = root(i);
            at.append(i);
        }
    }
    QHash<int, QList<QPointF>> loose;  // chain root to its loose ends, in drawing order
    for (int i = 0; i < lines.size(); ++i) {
        for (const QPointF& p : {lines.at(i).p1(), lines.at(i).p2()}) {
            if (ends.value(key(p)).size() == 1)
                loose[root(i)].append(p);
        }
    }
    QList<QLineF> joined;
    QSet<int> done;
    for (int i = 0; i < lines.size(); ++i) {
        const int r = root(i);
        const QList<QPointF> chainEnds = loose.value(r);
        if (chainEnds.size() != 2) {
            joined.append(lines.at(i));
        } else if (!done.contains(r)) {
            done.insert(r);
            joined.append(QLineF(chainEnds.at(0), chainEnds.at(1)));
        }
    }
    return joined;
}

// Whether a connector ending at p, coming from before, ends on box: near
// it, and facing one of its sides, or heading straight at it (an end marker
// often stands between a connector and the corner it runs into); one that
// only passes by a corner does not.
bool endsOnBox(const QRectF& box, QPointF p, QPointF before, double limit, bool shared)
{
    const double distance = distanceToRect(box, p);
    if (distance >= limit)
        return false;
    const double tolerance = 2;
    const bool besideX = p.x() < box.left() - tolerance || p.x() > box.right() + tolerance;
    const bool besideY = p.y() < box.top() - tolerance || p.y() > box.bottom() + tolerance;
    if (!(besideX && besideY))
        return true;
    // Where other connectors end too, lines branch: a corner nearby is not
    // where they end.
    if (shared)
        return false;
    const QPointF d = p - before;
    const double length = std::hypot(d.x(), d.y());
    if (length <= 0)
        return false;
    const QRectF target = box.adjusted(-tolerance, -tolerance, tolerance, tolerance);
    for (double step = 1; step <= distance + 2 * tolerance; step += 1) {
        if (target.contains(p + d * (step / length)))
            return true;
    }
    return false;
}

// The box a connector ending at p (coming from before) ends on: the
// nearest one it ends on, or -1. shared: other connectors end at p too.
int endBoxIndex(const QList<QRectF>& boxes, QPointF p, QPointF before, bool shared)
{
    const double limit = 26;
    int best = -1;
    double bestDistance = limit;
    for (int i = 0; i < boxes.size(); ++i) {
        const double d = distanceToRect(boxes.at(i), p);
        if (d < bestDistance && endsOnBox(boxes.at(i), p, before, limit, shared)) {
            bestDistance = d;
            best = i;
        }
    }
    return best;
}

struct Piece
{
    QPointF end[2];     // as drawn: where it starts, where it ends
    int box[2] = {-1, -1};
    int junction[2] = {-1, -1};
    bool mayJoin = true;  // a path or polyline; lines are joined beforehand
};

// The pieces at each junction: those drawn into it (their second end lies
// there) and those drawn out of it.
struct Junction
{
    QList<int> into, outOf;
};

class ConnectorWalk
{
public:
    ConnectorWalk(const QList<Piece>& pieces, const QList<Junction>& junctions)
        : m_pieces(pieces), m_junctions(junctions)
    {
    }

    // The far ends reached from piece going towards its end side (1: the
    // way it was drawn, 0: against it): the box there, or the boxes beyond
    // the junction there. Each with the point at which it was reached.
    void follow(int piece, int side, QList<QPair<int, QPointF>>& reached)
    {
        m_seen.clear();
        walk(piece, side, reached);
    }

private:
    void walk(int piece, int side, QList<QPair<int, QPointF>>& reached)
    {
        if (m_seen.contains(piece) || m_seen.size() > 256)
            return;
        m_seen.insert(piece);
        const Piece& p = m_pieces.at(piece);
        if (p.box[side] >= 0) {
            reached.append({p.box[side], p.end[side]});
            return;
        }
        if (p.junction[side] < 0)
            return;
        const Junction& j = m_junctions.at(p.junction[side]);
        // Arrived the way the piece was drawn: on along what is drawn out
        // of the junction; against it: back along what is drawn into it.
        // Where nothing goes on that way, the other pieces of the same kind
        // are all that the junction joins.
        const QList<int>& onward = side == 1 ? j.outOf : j.into;
        const QList<int>& alongside = side == 1 ? j.into : j.outOf;
        const bool ahead = std::any_of(onward.cbegin(), onward.cend(), [&](int q) { return q != piece; });
        for (int q : ahead ? onward : alongside) {
            if (q == piece)
                continue;
            // A piece drawn out of the junction is left by its second end,
            // one drawn into it by its first.
            const bool out = ahead == (side == 1);
            walk(q, out ? 1 : 0, reached);
        }
    }

    const QList<Piece>& m_pieces;
    const QList<Junction>& m_junctions;
    QSet<int> m_seen;
};

} // namespace

QList<RecognizedLink> traceSvgConnectors(const QList<QList<QPointF>>& polylines, const QList<QLineF>& lines,
                                         const QList<QRectF>& boxes)
{
    QList<Piece> pieces;
    // Each piece with the points next to its ends, which tell where it
    // heads.
    QList<QPair<QPointF, QPointF>> headings;  // per piece: the points next to its ends
    const auto add = [&](QPointF start, QPointF afterStart, QPointF beforeEnd, QPointF end, bool mayJoin) {
        Piece piece;
        piece.mayJoin = mayJoin;
        piece.end[0] = start;
        piece.end[1] = end;
        pieces.append(piece);
        headings.append({afterStart, beforeEnd});
    };
    for (const QList<QPointF>& polyline : polylines) {
        if (polyline.size() < 2)
            continue;
        const QRectF b = pointsBoundingRect(polyline);
        if (b.width() < 16 && b.height() < 16)
            continue;
        add(polyline.first(), polyline.at(1), polyline.at(polyline.size() - 2), polyline.last(), true);
    }
    for (const QLineF& line : joinLines(lines)) {
        if (line.length() >= 14)
            add(line.p1(), line.p2(), line.p1(), line.p2(), false);
    }

    const auto whole = [](QPointF p) {
        return Key(qint64(std::llround(std::clamp(p.x(), -1e15, 1e15))),
                   qint64(std::llround(std::clamp(p.y(), -1e15, 1e15))));
    };
    QHash<Key, int> endsAt;
    for (const Piece& piece : qAsConst(pieces)) {
        ++endsAt[whole(piece.end[0])];
        ++endsAt[whole(piece.end[1])];
    }
    for (int i = 0; i < pieces.size(); ++i) {
        Piece& piece = pieces[i];
        piece.box[0] = endBoxIndex(boxes, piece.end[0], headings.at(i).first, endsAt.value(whole(piece.end[0])) > 1);
        piece.box[1] = endBoxIndex(boxes, piece.end[1], headings.at(i).second, endsAt.value(whole(piece.end[1])) > 1);
    }

    // Loose ends (at no box) of paths and polylines close to each other make
    // a junction; lines drawn end to end are joined by joinLines, and a
    // branching figure of lines stays apart.
    QHash<Key, QList<QPair<int, int>>> grid;  // cell to (piece, side)
    QList<Junction> junctions;
    for (int i = 0; i < pieces.size(); ++i) {
        for (int side = 0; side < 2; ++side) {
            if (pieces.at(i).box[side] >= 0 || !pieces.at(i).mayJoin)
                continue;
            const QPointF p = pieces.at(i).end[side];
            const Key c = cellOf(p, SvgJunctionReach);
            for (qint64 x = c.first - 1; x <= c.first + 1 && pieces.at(i).junction[side] < 0; ++x) {
                for (qint64 y = c.second - 1; y <= c.second + 1 && pieces.at(i).junction[side] < 0; ++y) {
                    for (const auto& other : grid.value(Key(x, y))) {
                        const QPointF q = pieces.at(other.first).end[other.second];
                        if (other.first == i || std::hypot(p.x() - q.x(), p.y() - q.y()) > SvgJunctionReach)
                            continue;
                        int& theirs = pieces[other.first].junction[other.second];
                        if (theirs < 0) {
                            theirs = int(junctions.size());
                            junctions.append(Junction());
                            (other.second == 1 ? junctions.last().into : junctions.last().outOf).append(other.first);
                        }
                        pieces[i].junction[side] = theirs;
                        (side == 1 ? junctions[theirs].into : junctions[theirs].outOf).append(i);
                        break;
                    }
                }
            }
            grid[c].append({i, side});
        }
    }

    QList<RecognizedLink> links;
    QMap<QPair<int, int>, int> index;
    ConnectorWalk walk(pieces, junctions);
    for (int i = 0; i < pieces.size(); ++i) {
        const Piece& piece = pieces.at(i);
        // From each box a piece starts at, towards its other end; a piece
        // ending at a box and starting at a junction is reached from the
        // box beyond.
        for (int side = 0; side < 2; ++side) {
            const int from = piece.box[side];
            if (from < 0 || (side == 1 && piece.box[0] >= 0))
                continue;
            QList<QPair<int, QPointF>> reached;
            walk.follow(i, 1 - side, reached);
            for (const auto& far : qAsConst(reached)) {
                if (side == 0)
                    addRecognizedLink(links, index, from, far.first, QLineF(piece.end[0], far.second));
                else
                    addRecognizedLink(links, index, far.first, from, QLineF(far.second, piece.end[1]));
            }
        }
    }
    return links;
}
