#include "recognition/connectortracing.h"

#include "recognition/rightangledconnectors.h"

#include <QPoint>
#include <QSet>

#include <algorithm>
#include <array>
#include <cmath>
#include <deque>
#include <unordered_map>
#include <vector>

std::vector<uchar> grownConnectorInk(const QImage& ink, const std::vector<uchar>& excluded, int radius)
{
    const int w = ink.width(), h = ink.height();
    std::vector<uchar> grown(static_cast<size_t>(w) * h, 0);
    if (w == 0 || h == 0)
        return grown;
    const auto at = [w](int x, int y) { return static_cast<size_t>(y) * w + x; };
    const auto source = [&](int x, int y) { return ink.constScanLine(y)[x] == 0 && !excluded[at(x, y)]; };
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            grown[at(x, y)] = source(x, y);
    // Along each of four directions, runs of ink long enough to be a stroke
    // going that way reach on by radius at both ends; a gap is thus closed
    // only between pieces of one stroke, or where a stroke runs into
    // another, never sideways between strokes that merely pass close by.
    const int steps[4][2] = {{1, 0}, {0, 1}, {1, 1}, {1, -1}};
    for (const auto& step : steps) {
        const int sx = step[0], sy = step[1];
        std::vector<QPoint> starts;
        if (sy == 0) {
            for (int y = 0; y < h; ++y)
                starts.push_back(QPoint(0, y));
        } else if (sx == 0) {
            for (int x = 0; x < w; ++x)
                starts.push_back(QPoint(x, 0));
        } else {
            const int edgeY = sy > 0 ? 0 : h - 1;
            for (int x = 0; x < w; ++x)
                starts.push_back(QPoint(x, edgeY));
            for (int y = 0; y < h; ++y)
                if (y != edgeY)
                    starts.push_back(QPoint(0, y));
        }
        const auto inside = [&](int x, int y) { return x >= 0 && y >= 0 && x < w && y < h; };
        const auto reach = [&](int x, int y, int dx, int dy) {
            for (int k = 1; k <= radius; ++k) {
                x += dx;
                y += dy;
                if (!inside(x, y) || excluded[at(x, y)])
                    return;
                grown[at(x, y)] = 1;
            }
        };
        for (const QPoint& first : starts) {
            int x = first.x(), y = first.y();
            int runLength = 0, runX = 0, runY = 0;
            while (true) {
                const bool in = inside(x, y);
                if (in && source(x, y)) {
                    if (runLength == 0) {
                        runX = x;
                        runY = y;
                    }
                    ++runLength;
                } else {
                    if (runLength >= ConnectorStrokeRun) {
                        reach(runX, runY, -sx, -sy);
                        reach(x - sx, y - sy, sx, sy);
                    }
                    runLength = 0;
                }
                if (!in)
                    break;
                x += sx;
                y += sy;
            }
        }
    }
    return grown;
}

namespace {

// Follows the strokes of one piece of ink from where they leave a box and
// tells at which boxes they end. A stroke keeps its own direction through
// a junction where ink goes on straight ahead (a crossing); it turns with
// the ink where it bends, and divides only where nothing goes on straight.
class StrokeFollower
{
public:
    StrokeFollower(const std::vector<uchar>& reach, int width, int height, const QList<QRectF>& boxes)
        : m_reach(reach), m_width(width), m_height(height)
    {
        for (const QRectF& b : boxes)
            m_zones.push_back(QRectF(b.x() - 6, b.y() - 6, b.width() + 12, b.height() + 12));
    }

    // The boxes other than box at which the strokes leaving it end, as far
    // as those strokes run through the given component's pixels.
    std::vector<int> partners(int box, const std::vector<int>& label, int component) const
    {
        std::vector<int> found;
        for (const auto& seed : seeds(box, label, component)) {
            // A line drawn under the box leaves it as well, but did not
            // start there: carried back straight it cuts the box's corner.
            QPointF beyond;
            const QPointF d = leaving(seed.first, seed.second);
            if (!d.isNull() && !arrives(seed.first, -d, box, beyond))
                continue;
            follow(seed.first, seed.second, box, found);
        }
        std::sort(found.begin(), found.end());
        found.erase(std::unique(found.begin(), found.end()), found.end());
        return found;
    }

private:
    static constexpr double Step = 3.0;

    bool ink(double x, double y) const
    {
        const int ix = int(std::lround(x)), iy = int(std::lround(y));
        return ix >= 0 && iy >= 0 && ix < m_width && iy < m_height
               && m_reach[static_cast<size_t>(iy) * m_width + ix] != 0;
    }
    int zoneAt(double x, double y) const
    {
        for (size_t i = 0; i < m_zones.size(); ++i)
            if (m_zones[i].contains(QPointF(x, y)))
                return int(i);
        return -1;
    }

    // Where strokes leave the box: short runs of the component's ink on the
    // ring just outside the box's zone, each with its outward direction.
    std::vector<std::pair<QPointF, QPointF>> seeds(int box, const std::vector<int>& label, int component) const
    {
        std::vector<std::pair<QPointF, QPointF>> out;
        const QRectF z = m_zones[static_cast<size_t>(box)];
        const int x0 = int(std::ceil(z.left())) - 1, x1 = int(std::floor(z.right())) + 1;
        const int y0 = int(std::ceil(z.top())) - 1, y1 = int(std::floor(z.bottom())) + 1;
        std::vector<QPoint> ring;
        for (int x = x0; x <= x1; ++x)
            ring.push_back(QPoint(x, y0));
        for (int y = y0 + 1; y <= y1; ++y)
            ring.push_back(QPoint(x1, y));
        for (int x = x1 - 1; x >= x0; --x)
            ring.push_back(QPoint(x, y1));
        for (int y = y1 - 1; y > y0; --y)
            ring.push_back(QPoint(x0, y));
        const auto mine = [&](const QPoint& p) {
            return p.x() >= 0 && p.y() >= 0 && p.x() < m_width && p.y() < m_height
                   && label[static_cast<size_t>(p.y()) * m_width + p.x()] == component;
        };
        const size_t n = ring.size();
        size_t begin = 0;
        while (begin < n && mine(ring[begin]))
            ++begin;
        if (begin == n)
            return out;
        for (size_t k = 1; k <= n; ++k) {
            const size_t i = (begin + k) % n;
            if (!mine(ring[i]))
                continue;
            size_t length = 0;
            while (length < n && mine(ring[(i + length) % n]))
                ++length;
            // A run along the ring is a line passing by, not leaving.
            if (length <= 24) {
                const QPoint p = ring[(i + length / 2) % n];
                const QPointF c = z.center();
                QPointF d(p.x() < z.left() ? -1 : p.x() > z.right() ? 1 : 0,
                          p.y() < z.top() ? -1 : p.y() > z.bottom() ? 1 : 0);
                if (d.isNull())
                    d = QPointF(p) - c;
                const double l = std::hypot(d.x(), d.y());
                out.push_back({QPointF(p), d / l});
            }
            k += length;
        }
        return out;
    }

    // The direction in which the stroke at p, going about d, runs over its
    // first few steps; null when it stops at once.
    QPointF leaving(QPointF p, QPointF d) const
    {
        const QPointF start = p;
        for (int step = 0; step < 5; ++step) {
            const double base = std::atan2(d.y(), d.x());
            double best = 10;
            QPointF next;
            for (int k = -15; k <= 15; ++k) {
                const double a = base + k * (M_PI / 30);
                const QPointF q = p + QPointF(std::cos(a), std::sin(a)) * Step;
                if (ink(q.x(), q.y()) && zoneAt(q.x(), q.y()) < 0 && std::abs(k) < best) {
                    best = std::abs(k);
                    next = q;
                }
            }
            if (best > 9)
                break;
            d = (next - p) / Step;
            p = next;
        }
        const QPointF chord = p - start;
        const double l = std::hypot(chord.x(), chord.y());
        return l < Step ? QPointF() : chord / l;
    }

    void follow(QPointF start, QPointF direction, int from, std::vector<int>& found) const
    {
        struct Branch
        {
            QPointF p, d;
            int travelled = 0;  // steps from the box
        };
        std::vector<Branch> pending{{start, direction, 0}};
        int budget = 24;
        const int maxSteps = int(2 * (m_width + m_height) / Step);
        while (!pending.empty()) {
            Branch b = pending.back();
            pending.pop_back();
            // The other ways out of the junctions crossed straight: a
            // stroke that then ends nowhere, or comes round to where it
            // has been, turned or divided there after all.
            std::vector<Branch> crossed;
            std::unordered_map<quint64, int> been;
            bool arrived = false;
            std::deque<QPointF> recent;
            for (int step = 0; step < maxSteps; ++step) {
                // Unsigned, so that the key of a point left of or above
                // the picture (a negative cell) is well-defined too.
                const quint64 cell = (static_cast<quint64>(std::lround(b.p.y()) / 2) << 32)
                                     + static_cast<quint64>(std::lround(b.p.x()) / 2);
                const auto seen = been.find(cell);
                if (seen != been.end() && step - seen->second > 8)
                    break;
                if (seen == been.end())
                    been.emplace(cell, step);
                // The ink on an arc ahead, from a quarter turn left to a
                // quarter turn right.
                constexpr int Samples = 31;
                std::array<bool, Samples> on{};
                std::array<QPointF, Samples> at{};
                const double base = std::atan2(b.d.y(), b.d.x());
                for (int k = 0; k < Samples; ++k) {
                    const double a = base + (k - Samples / 2) * (M_PI / (Samples - 1));
                    at[k] = b.p + QPointF(std::cos(a), std::sin(a)) * Step;
                    on[k] = ink(at[k].x(), at[k].y());
                }
                std::vector<std::pair<int, int>> runs;
                for (int k = 0; k < Samples; ++k) {
                    if (!on[k])
                        continue;
                    int e = k;
                    while (e + 1 < Samples && on[e + 1])
                        ++e;
                    runs.push_back({k, e});
                    k = e;
                }
                int chosen = -1, bestOff = Samples;
                for (size_t r = 0; r < runs.size(); ++r) {
                    const int mid = (runs[r].first + runs[r].second) / 2;
                    const int off = std::abs(mid - Samples / 2);
                    if (off < bestOff) {
                        bestOff = off;
                        chosen = int(r);
                    }
                }
                // Straight ahead (within about 25 degrees) wins alone;
                // otherwise every way the ink goes is followed.
                const bool straight = chosen >= 0 && runs[static_cast<size_t>(chosen)].first <= Samples / 2 + 4
                                      && runs[static_cast<size_t>(chosen)].second >= Samples / 2 - 4;
                if (!straight) {
                    // Nothing drawn ahead: the stroke runs into a box's zone
                    // or stops.
                    const int ahead = zoneAt(b.p.x() + b.d.x() * Step, b.p.y() + b.d.y() * Step);
                    if (ahead >= 0) {
                        // Carried on along its last stretch, not its last
                        // step.
                        QPointF d = b.d;
                        if (recent.size() >= 4) {
                            const QPointF chord = b.p - recent.front();
                            const double l = std::hypot(chord.x(), chord.y());
                            if (l > 0)
                                d = chord / l;
                        }
                        QPointF beyond;
                        if (arrives(b.p, d, ahead, beyond)) {
                            if (ahead != from)
                                found.push_back(ahead);
                            // Strokes may share their first stretch (the
                            // foot at a box); farther on a stroke has one
                            // far end, and the ways it might have divided
                            // into there are not taken.
                            arrived = true;
                            pending.erase(std::remove_if(pending.begin(), pending.end(),
                                                         [](const Branch& o) { return o.travelled > 8; }),
                                          pending.end());
                            break;
                        }
                        b.p = beyond;
                        b.d = d;
                        recent.clear();
                        continue;
                    }
                    if (chosen < 0) {
                        // A gap in a thin or dashed stroke: the stroke goes
                        // on where ink lies farther on in its own direction.
                        bool bridged = false;
                        for (double radius = 2 * Step; radius <= 4 * Step && !bridged; radius += 1.0)
                            for (int k = 0; k <= 8 && !bridged; ++k) {
                                const double a = base + (k % 2 ? 1 : -1) * ((k + 1) / 2) * (M_PI / 30);
                                const QPointF q = b.p + QPointF(std::cos(a), std::sin(a)) * radius;
                                if (ink(q.x(), q.y()) && zoneAt(q.x(), q.y()) < 0) {
                                    b.d = (q - b.p) / radius;
                                    b.p = q;
                                    bridged = true;
                                }
                            }
                        if (!bridged)
                            break;
                        continue;
                    }
                    for (size_t r = 0; r < runs.size() && budget > 0; ++r) {
                        if (int(r) == chosen)
                            continue;
                        const int mid = (runs[r].first + runs[r].second) / 2;
                        const QPointF d = (at[mid] - b.p) / Step;
                        pending.push_back({at[mid], d, b.travelled + step});
                        --budget;
                    }
                } else {
                    for (size_t r = 0; r < runs.size(); ++r)
                        if (int(r) != chosen) {
                            const int mid = (runs[r].first + runs[r].second) / 2;
                            crossed.push_back({at[mid], (at[mid] - b.p) / Step, b.travelled + step});
                        }
                }
                const int mid = (runs[static_cast<size_t>(chosen)].first + runs[static_cast<size_t>(chosen)].second) / 2;
                const QPointF next = at[mid];
                recent.push_back(b.p);
                if (recent.size() > 8)
                    recent.pop_front();
                b.d = (next - b.p) / Step;
                b.p = next;
            }
            for (size_t i = 0; !arrived && i < crossed.size() && budget > 0; ++i, --budget)
                pending.push_back(crossed[i]);
        }
    }

    // A stroke at p going d runs into the zone of box. It passes by when,
    // carried on straight, it cuts a corner of the box (leaves the zone by
    // a side next to the one it came in by, as a line drawn under the box
    // does) and comes out onto ink again; beyond is where it goes on.
    // Otherwise it ends at the box.
    bool arrives(QPointF p, QPointF d, int box, QPointF& beyond) const
    {
        const QRectF& zone = m_zones[static_cast<size_t>(box)];
        const auto side = [&zone](const QPointF& q) {
            return q.x() < zone.left() ? 0 : q.x() > zone.right() ? 1 : q.y() < zone.top() ? 2 : q.y() > zone.bottom() ? 3 : -1;
        };
        const int in = side(p);
        const int length = int(zone.width() + zone.height());
        for (int k = 1; k <= length; ++k) {
            const QPointF q = p + d * k;
            const int out = side(q);
            if (out < 0)
                continue;
            if (in < 0 || out == in || out / 2 == in / 2)
                return true;
            const QPointF n(-d.y(), d.x());
            for (int j = 0; j <= 4; ++j)
                for (int t = 0; t <= 8; ++t) {
                    const QPointF r = q + d * j + n * ((t % 2 ? 1 : -1) * ((t + 1) / 2));
                    if (ink(r.x(), r.y()) && zoneAt(r.x(), r.y()) < 0) {
                        beyond = r;
                        return false;
                    }
                }
            return true;
        }
        return true;
    }

    const std::vector<uchar>& m_reach;
    int m_width, m_height;
    std::vector<QRectF> m_zones;
};

} // namespace

namespace {

// Whether the component's pixels join the band in front of box a to the
// band in front of box b along a way that keeps out of the band, all but
// its outer two pixels, of every other box in touched.
// seen is a buffer of w * h marks kept between calls; mark is one not
// used there before.
bool inkJoinsApart(const std::vector<int>& label, int w, int h, int component, const QList<QRectF>& boxes,
                   const std::vector<int>& touched, int a, int b, std::vector<int>& seen, int mark)
{
    const auto within = [&](int box, int x, int y, double band) {
        const QRectF& r = boxes.at(box);
        return x >= r.left() - band && x <= r.right() + band && y >= r.top() - band && y <= r.bottom() + band;
    };
    const double band = ConnectorTouchReach;
    const auto near = [&](int box, int x, int y) { return within(box, x, y, band); };
    const QRectF& from = boxes.at(a);
    const int x0 = std::max(0, int(std::floor(from.left() - band))), x1 = std::min(w - 1, int(std::ceil(from.right() + band)));
    const int y0 = std::max(0, int(std::floor(from.top() - band))), y1 = std::min(h - 1, int(std::ceil(from.bottom() + band)));
    if (seen.size() != static_cast<size_t>(w) * h)
        seen.assign(static_cast<size_t>(w) * h, 0);
    std::deque<QPoint> queue;
    const auto allowed = [&](int x, int y) {
        if (label[static_cast<size_t>(y) * w + x] != component)
            return false;
        for (int box : touched)
            if (box != a && box != b && within(box, x, y, band - 2))
                return false;
        return true;
    };
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            if (allowed(x, y)) {
                seen[static_cast<size_t>(y) * w + x] = mark;
                queue.push_back(QPoint(x, y));
            }
    static const int dx[8] = {1, -1, 0, 0, 1, 1, -1, -1};
    static const int dy[8] = {0, 0, 1, -1, 1, -1, 1, -1};
    while (!queue.empty()) {
        const QPoint p = queue.front();
        queue.pop_front();
        if (near(b, p.x(), p.y()))
            return true;
        for (int k = 0; k < 8; ++k) {
            const int nx = p.x() + dx[k], ny = p.y() + dy[k];
            if (nx < 0 || ny < 0 || nx >= w || ny >= h || seen[static_cast<size_t>(ny) * w + nx] == mark
                || !allowed(nx, ny))
                continue;
            seen[static_cast<size_t>(ny) * w + nx] = mark;
            queue.push_back(QPoint(nx, ny));
        }
    }
    return false;
}

} // namespace

bool closedByLines(const QImage& ink, const QRectF& box)
{
    const int w = ink.width(), h = ink.height();
    const auto inked = [&](int x, int y) { return x >= 0 && y >= 0 && x < w && y < h && ink.constScanLine(y)[x] == 0; };
    // The ink of a side carried on beyond a corner as a thin line: along
    // the side's band of rows (or columns), from 4 to 14 pixels beyond the
    // corner, ink across at most 4 pixels of the band and its surroundings.
    const auto carriedOn = [&](bool horizontal, double at, double corner, int direction) {
        for (int k = 4; k <= 14; ++k) {
            int inkedAcross = 0;
            bool inBand = false;
            for (int d = -5; d <= 7; ++d) {
                const int along = int(std::lround(corner)) + direction * k;
                const int offset = direction > 0 ? -d : d;
                const int across = int(std::lround(at)) + offset;
                if (horizontal ? inked(along, across) : inked(across, along)) {
                    ++inkedAcross;
                    inBand = inBand || (d >= -1 && d <= 3);
                }
            }
            if (!inBand || inkedAcross > 4)
                return false;
        }
        return true;
    };
    const double l = box.left(), r = box.right(), t = box.top(), b = box.bottom();
    // The top and bottom sides beyond the left and right corners, and the
    // left and right sides beyond the top and bottom corners; the band of
    // each lies inside the box's edge. Cells stacked or set side by side
    // carry their sides on one way only; lines that close a rectangle cross
    // one another at its corners and run on both ways.
    const bool across = carriedOn(true, t + 1, l, -1) || carriedOn(true, t + 1, r, 1) || carriedOn(true, b - 1, l, -1)
                        || carriedOn(true, b - 1, r, 1);
    const bool down = carriedOn(false, l + 1, t, -1) || carriedOn(false, l + 1, b, 1) || carriedOn(false, r - 1, t, -1)
                      || carriedOn(false, r - 1, b, 1);
    return across && down;
}

int connectorGapReachForText(double lineHeight)
{
    return std::clamp(int(std::lround(0.4 * lineHeight)), ConnectorGapReach, 14);
}

QList<RecognizedLink> traceRasterConnectors(const QImage& mask, const QList<QRectF>& boxes, int gapReach)
{
    QList<RecognizedLink> links;
    if (mask.isNull() || boxes.isEmpty())
        return links;
    const QImage ink = mask.format() == QImage::Format_Grayscale8 ? mask : mask.convertToFormat(QImage::Format_Grayscale8);
    const int w = ink.width(), h = ink.height();

    // Rectangles that connectors close (lines leaving one side of a table
    // and turning, a line round a word) are no tables: the lines run on
    // through them, and no connector ends there.
    {
        QList<int> kept;
        QList<QRectF> tables;
        for (int i = 0; i < boxes.size(); ++i) {
            if (!closedByLines(ink, boxes.at(i))) {
                kept.append(i);
                tables.append(boxes.at(i));
            }
        }
        if (tables.size() < boxes.size()) {
            QList<RecognizedLink> found = traceRasterConnectors(ink, tables, gapReach);
            for (RecognizedLink& link : found) {
                link.from = kept.at(link.from);
                link.to = kept.at(link.to);
            }
            return found;
        }
    }

    // The outline belongs to its box, not to the connectors: otherwise every
    // box reached by a chain of lines would be linked to every other one.
    std::vector<QRectF> interiors;
    for (const QRectF& b : boxes)
        interiors.push_back(QRectF(b.x() - 6, b.y() - 6, b.width() + 12, b.height() + 12));
    // Pixels inside some interior, borders included, marked once.
    std::vector<uchar> interiorMask(static_cast<size_t>(w) * h, 0);
    for (const QRectF& r : interiors) {
        if (r.width() < 0 || r.height() < 0)
            continue;
        const int x0 = std::max(0, static_cast<int>(std::ceil(r.left())));
        const int x1 = std::min(w - 1, static_cast<int>(std::floor(r.right())));
        const int y0 = std::max(0, static_cast<int>(std::ceil(r.top())));
        const int y1 = std::min(h - 1, static_cast<int>(std::floor(r.bottom())));
        for (int y = y0; y <= y1; ++y)
            std::fill_n(interiorMask.begin() + static_cast<std::ptrdiff_t>(y) * w + x0, std::max(0, x1 - x0 + 1), uchar(1));
    }
    const auto insideInterior = [&](int x, int y) { return interiorMask[static_cast<size_t>(y) * w + x] != 0; };
    const auto isInk = [&](int x, int y) { return ink.constScanLine(y)[x] == 0; };

    // Connectors are drawn dashed, or broken by the label written on them:
    // pieces of one stroke closer than a small gap belong together. The
    // flood runs over the ink reached along the strokes; only real ink
    // touches boxes and counts towards a component's size.
    const std::vector<uchar> reach = grownConnectorInk(ink, interiorMask, gapReach);
    const auto isReach = [&](int x, int y) { return reach[static_cast<size_t>(y) * w + x] != 0; };

    // A stroke ends at a box when it crosses the band in front of one of
    // the box's sides, from its outer edge up to the box's own zone; a line
    // running past a side or by a corner does not.
    struct Approach
    {
        int nearest = 1 << 20, farthest = -1;
        bool ink = false;  // some of it drawn, not only reached
    };
    const int bandNear = 8, bandFar = 11, bandOuter = ConnectorTouchReach;

    // The component of every pixel flooded, from 1.
    std::vector<int> visited(static_cast<size_t>(w) * h, 0);
    int component = 0;
    const StrokeFollower follower(reach, w, h, boxes);
    std::deque<QPoint> queue;
    std::vector<QPoint> pixels;  // the real ink of the component being flooded
    std::vector<int> apartSeen;  // for inkJoinsApart
    int apartMark = 0;
    QSet<QPair<int, int>> linked;
    static const int dx[8] = {1, -1, 0, 0, 1, 1, -1, -1};
    static const int dy[8] = {0, 0, 1, -1, 1, -1, 1, -1};
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            if (!isInk(x, y) || visited[static_cast<size_t>(y) * w + x] || insideInterior(x, y))
                continue;
            visited[static_cast<size_t>(y) * w + x] = ++component;
            queue.clear();
            queue.push_back(QPoint(x, y));
            pixels.clear();
            // Per box and side (left, right, top, bottom, then the corners).
            std::vector<std::pair<int, std::array<Approach, 8>>> approaches;
            qint64 count = 0;
            while (!queue.empty()) {
                const QPoint p = queue.front();
                queue.pop_front();
                const bool real = isInk(p.x(), p.y());
                count += real;
                if (real)
                    pixels.push_back(p);
                // The reach of a stroke counts towards its approach: the
                // last dash of a dashed line may stop short of the box.
                for (int i = 0; i < boxes.size(); ++i) {
                    const QRectF& b = boxes.at(i);
                    const double px = p.x(), py = p.y();
                    if (px < b.left() - bandOuter || px > b.right() + bandOuter || py < b.top() - bandOuter
                        || py > b.bottom() + bandOuter)
                        continue;
                    int side = -1;
                    double distance = 0;
                    if (py >= b.top() && py <= b.bottom()) {
                        if (px < b.left()) {
                            side = 0;
                            distance = b.left() - px;
                        } else if (px > b.right()) {
                            side = 1;
                            distance = px - b.right();
                        }
                    } else if (px >= b.left() && px <= b.right()) {
                        if (py < b.top()) {
                            side = 2;
                            distance = b.top() - py;
                        } else {
                            side = 3;
                            distance = py - b.bottom();
                        }
                    } else {
                        // Diagonally off a corner: the corners are slots
                        // 4 to 7, and a stroke must come right up to the
                        // box there, as a line ending at the corner does.
                        const bool right = px > b.right(), below = py > b.bottom();
                        side = 4 + (right ? 1 : 0) + (below ? 2 : 0);
                        distance = std::hypot(px - (right ? b.right() : b.left()), py - (below ? b.bottom() : b.top()));
                    }
                    if (side < 0 || distance > bandOuter)
                        continue;
                    auto entry = std::find_if(approaches.begin(), approaches.end(),
                                              [i](const auto& e) { return e.first == i; });
                    if (entry == approaches.end()) {
                        approaches.push_back({i, {}});
                        entry = approaches.end() - 1;
                    }
                    Approach& a = entry->second[static_cast<size_t>(side)];
                    const int d = int(std::lround(distance));
                    a.nearest = std::min(a.nearest, d);
                    a.farthest = std::max(a.farthest, d);
                    a.ink = a.ink || real;
                }
                for (int k = 0; k < 8; ++k) {
                    const int nx = p.x() + dx[k], ny = p.y() + dy[k];
                    if (nx < 0 || ny < 0 || nx >= w || ny >= h)
                        continue;
                    int& seen = visited[static_cast<size_t>(ny) * w + nx];
                    if (seen || !isReach(nx, ny) || insideInterior(nx, ny))
                        continue;
                    seen = component;
                    queue.push_back(QPoint(nx, ny));
                }
            }
            if (count < 18)
                continue;
            std::vector<int> touched;
            for (const auto& entry : approaches) {
                bool ends = false;
                for (size_t side = 0; side < entry.second.size(); ++side) {
                    const Approach& a = entry.second[side];
                    // Only the reach of a stroke that turns or stops
                    // farther off does not end it at the box.
                    ends = ends || (a.ink && a.nearest <= (side < 4 ? bandNear : bandNear - 1) && a.farthest >= bandFar);
                }
                if (ends)
                    touched.push_back(entry.first);
            }
            std::sort(touched.begin(), touched.end());
            // Ink reaching two boxes joins them; where it reaches more, the
            // strokes are followed through their crossings to the box at
            // which each ends.
            std::vector<QPair<int, int>> pairs;
            for (size_t a = 0; a < touched.size(); ++a)
                for (size_t b = a + 1; b < touched.size(); ++b)
                    pairs.push_back(QPair<int, int>(touched[a], touched[b]));
            if (touched.size() > 2) {
                std::vector<QPair<int, int>> followed;
                for (const int a : touched)
                    for (const int b : follower.partners(a, visited, component))
                        if (std::binary_search(touched.begin(), touched.end(), b))
                            followed.push_back(QPair<int, int>(std::min(a, b), std::max(a, b)));
                // Boxes whose strokes could not be followed anywhere keep
                // what the ink joins them to among themselves.
                const auto lost = [&](int box) {
                    return std::none_of(followed.begin(), followed.end(), [box](const QPair<int, int>& p) {
                        return p.first == box || p.second == box;
                    });
                };
                std::vector<QPair<int, int>> kept;
                for (const QPair<int, int>& pair : pairs)
                    if (lost(pair.first) && lost(pair.second))
                        kept.push_back(pair);
                followed.insert(followed.end(), kept.begin(), kept.end());
                std::sort(followed.begin(), followed.end());
                followed.erase(std::unique(followed.begin(), followed.end()), followed.end());
                // A pair is kept only when its ink runs from one box to the
                // other without coming up to a third: strokes that meet at a
                // third box (several connectors ending at one place on it)
                // each end there.
                std::vector<QPair<int, int>> apart;
                for (const QPair<int, int>& pair : followed)
                    if (inkJoinsApart(visited, w, h, component, boxes, touched, pair.first, pair.second, apartSeen,
                                      ++apartMark))
                        apart.push_back(pair);
                pairs = apart;
            }
            // Connectors drawn with right angles are told apart by their
            // strokes, through crossings and the words written on them.
            if (!touched.empty()) {
                const RightAngledLinks strokes = traceRightAngledConnectors(pixels, boxes, gapReach);
                // Only when the strokes account for every box the ink
                // reaches: a curve that merely runs straight for a while
                // leaves some of its boxes unjoined.
                const auto joined = [&strokes](int box) {
                    return std::any_of(strokes.pairs.begin(), strokes.pairs.end(),
                                       [box](const QPair<int, int>& p) { return p.first == box || p.second == box; })
                        || std::find(strokes.undecided.begin(), strokes.undecided.end(), box) != strokes.undecided.end();
                };
                if (strokes.rightAngled && std::all_of(touched.begin(), touched.end(), joined)) {
                    // Strokes that join more than two boxes (where lines
                    // branch or run into one another) link none of them: a
                    // guess there would mostly invent links.
                    pairs = strokes.pairs;
                }
            }
            for (const QPair<int, int>& key : pairs) {
                if (linked.contains(key))
                    continue;
                linked.insert(key);
                RecognizedLink link;
                link.from = key.first;
                link.to = key.second;
                links.append(link);
            }
        }
    }
    return links;
}
