#include "recognition/rightangledconnectors.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

// Strokes at least this long count; shorter runs are letters, bars and the
// prongs of crow's feet.
constexpr int MinStroke = 9;
// Ends this close meet at a corner; a stroke this close to another's end
// runs into it.
constexpr double CornerReach = 4;
// How far a stroke may end short of a box side it faces.
constexpr double BoxReach = 17;

struct Stroke
{
    bool horizontal = true;
    double at = 0;           // the row (horizontal) or column it runs along
    double from = 0, to = 0; // its extent along that direction
    int rows = 0;            // rows (or columns) of runs it was made of
    // Ends that meet another stroke (at a corner, or beyond a gap): they
    // end at no box.
    bool fromJoined = false, toJoined = false;
};

// The runs of set pixels of at least MinStroke along rows (horizontal) or
// columns, joined across neighbouring rows into strokes.
std::vector<Stroke> strokesOf(const std::vector<uchar>& bits, int w, int h, int x0, int y0, bool horizontal,
                              qint64& covered)
{
    std::vector<Stroke> strokes;
    const int lines = horizontal ? h : w, length = horizontal ? w : h;
    // Strokes still open at the previous line, by index.
    std::vector<int> open, next;
    for (int line = 0; line < lines; ++line) {
        next.clear();
        int k = 0;
        while (k < length) {
            const auto set = [&](int i) {
                return horizontal ? bits[static_cast<size_t>(line) * w + i] != 0
                                  : bits[static_cast<size_t>(i) * w + line] != 0;
            };
            if (!set(k)) {
                ++k;
                continue;
            }
            int e = k;
            while (e + 1 < length && set(e + 1))
                ++e;
            if (e - k + 1 >= MinStroke) {
                covered += e - k + 1;
                const double a = k + (horizontal ? x0 : y0), b = e + (horizontal ? x0 : y0);
                const double c = line + (horizontal ? y0 : x0);
                int joined = -1;
                for (int s : open) {
                    Stroke& o = strokes[static_cast<size_t>(s)];
                    if (std::min(o.to, b) - std::max(o.from, a) >= 0.5 * std::min(o.to - o.from, b - a)) {
                        o.at = (o.at * o.rows + c) / (o.rows + 1);
                        ++o.rows;
                        o.from = std::min(o.from, a);
                        o.to = std::max(o.to, b);
                        joined = s;
                        break;
                    }
                }
                if (joined < 0) {
                    joined = int(strokes.size());
                    strokes.push_back({horizontal, c, a, b, 1, false, false});
                }
                if (std::find(next.begin(), next.end(), joined) == next.end())
                    next.push_back(joined);
            }
            k = e + 1;
        }
        open.swap(next);
    }
    // A stroke many lines thick is a filled area (a label patch, an
    // arrowhead), not a line.
    strokes.erase(std::remove_if(strokes.begin(), strokes.end(),
                                 [](const Stroke& s) { return s.rows > 4 && s.rows * 2 > s.to - s.from; }),
                  strokes.end());
    return strokes;
}

} // namespace

RightAngledLinks traceRightAngledConnectors(const std::vector<QPoint>& pixels, const QList<QRectF>& boxes,
                                            int gapReach)
{
    RightAngledLinks out;
    if (pixels.empty())
        return out;
    int x0 = pixels.front().x(), x1 = x0, y0 = pixels.front().y(), y1 = y0;
    for (const QPoint& p : pixels) {
        x0 = std::min(x0, p.x());
        x1 = std::max(x1, p.x());
        y0 = std::min(y0, p.y());
        y1 = std::max(y1, p.y());
    }
    const int w = x1 - x0 + 1, h = y1 - y0 + 1;
    std::vector<uchar> bits(static_cast<size_t>(w) * h, 0);
    for (const QPoint& p : pixels)
        bits[static_cast<size_t>(p.y() - y0) * w + (p.x() - x0)] = 1;
    qint64 covered = 0;
    std::vector<Stroke> strokes = strokesOf(bits, w, h, x0, y0, true, covered);
    for (const Stroke& s : strokesOf(bits, w, h, x0, y0, false, covered))
        strokes.push_back(s);
    // Pixels where strokes cross count twice; letters and arrowheads count
    // against.
    out.rightAngled = !strokes.empty() && covered >= qint64(0.8 * double(pixels.size()));
    if (!out.rightAngled)
        return out;

    const int n = int(strokes.size());
    std::vector<int> parent(static_cast<size_t>(n));
    std::iota(parent.begin(), parent.end(), 0);
    const auto root = [&parent](int i) {
        while (parent[static_cast<size_t>(i)] != i)
            i = parent[static_cast<size_t>(i)] = parent[static_cast<size_t>(parent[static_cast<size_t>(i)])];
        return i;
    };
    const auto inkBetween = [&](const Stroke& s, double from, double to) {
        // Ink of the piece in the gap, within a line height of the stroke:
        // the word written over it.
        int count = 0;
        for (double a = from + 1; a < to; a += 1) {
            for (int d = -8; d <= 8; ++d) {
                const int x = int(std::lround(s.horizontal ? a : s.at + d)) - x0;
                const int y = int(std::lround(s.horizontal ? s.at + d : a)) - y0;
                if (x >= 0 && y >= 0 && x < w && y < h && bits[static_cast<size_t>(y) * w + x])
                    ++count;
            }
        }
        return count >= 6;
    };
    const double wordReach = 14.0 * gapReach;
    for (int i = 0; i < n; ++i) {
        for (int j = i + 1; j < n; ++j) {
            Stroke& a = strokes[static_cast<size_t>(i)];
            Stroke& b = strokes[static_cast<size_t>(j)];
            bool meet = false;
            if (a.horizontal == b.horizontal) {
                if (std::abs(a.at - b.at) <= 2.5) {
                    Stroke& first = a.from <= b.from ? a : b;
                    Stroke& second = a.from <= b.from ? b : a;
                    const double gap = second.from - first.to;
                    meet = gap <= 2.0 * gapReach
                           || (gap <= (a.horizontal ? wordReach : 0.5 * wordReach) && inkBetween(first, first.to, second.from));
                    if (meet && gap > 0) {
                        first.toJoined = true;
                        second.fromJoined = true;
                    }
                }
            } else {
                Stroke& hs = a.horizontal ? a : b;
                Stroke& vs = a.horizontal ? b : a;
                const bool alongH = vs.at >= hs.from - CornerReach && vs.at <= hs.to + CornerReach;
                const bool alongV = hs.at >= vs.from - CornerReach && hs.at <= vs.to + CornerReach;
                const bool endsH = std::min(std::abs(vs.at - hs.from), std::abs(vs.at - hs.to)) <= CornerReach;
                const bool endsV = std::min(std::abs(hs.at - vs.from), std::abs(hs.at - vs.to)) <= CornerReach;
                // A corner, or one stroke running into the other; strokes
                // crossing go on each their own way.
                // A short stroke across another, sticking out on both
                // sides, is a bar marking the end, not a line of its own.
                const auto bar = [](const Stroke& across, double at) {
                    return across.to - across.from < 2.5 * MinStroke && at - across.from >= 2.5 && across.to - at >= 2.5;
                };
                meet = alongH && alongV && (endsH || endsV) && !bar(vs, hs.at) && !bar(hs, vs.at);
                if (meet && endsH)
                    (std::abs(vs.at - hs.from) <= CornerReach ? hs.fromJoined : hs.toJoined) = true;
                if (meet && endsV)
                    (std::abs(hs.at - vs.from) <= CornerReach ? vs.fromJoined : vs.toJoined) = true;
            }
            if (meet)
                parent[static_cast<size_t>(root(i))] = root(j);
        }
    }

    // The boxes whose sides the ends of strokes face, per connector.
    std::vector<std::vector<int>> reached(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        const Stroke& s = strokes[static_cast<size_t>(i)];
        for (int b = 0; b < boxes.size(); ++b) {
            const QRectF& r = boxes.at(b);
            bool faces = false;
            if (s.horizontal && s.at >= r.top() && s.at <= r.bottom()) {
                faces = (!s.fromJoined && r.right() <= s.from + 3 && s.from - r.right() <= BoxReach)
                        || (!s.toJoined && r.left() >= s.to - 3 && r.left() - s.to <= BoxReach);
            } else if (!s.horizontal && s.at >= r.left() && s.at <= r.right()) {
                faces = (!s.fromJoined && r.bottom() <= s.from + 3 && s.from - r.bottom() <= BoxReach)
                        || (!s.toJoined && r.top() >= s.to - 3 && r.top() - s.to <= BoxReach);
            }
            if (faces) {
                std::vector<int>& list = reached[static_cast<size_t>(root(i))];
                if (std::find(list.begin(), list.end(), b) == list.end())
                    list.push_back(b);
            }
        }
    }
    for (std::vector<int>& list : reached) {
        std::sort(list.begin(), list.end());
        if (list.size() == 2)
            out.pairs.push_back({list[0], list[1]});
        else if (list.size() > 2)
            out.undecided.insert(out.undecided.end(), list.begin(), list.end());
    }
    return out;
}
