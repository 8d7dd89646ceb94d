#include "recognition/connectortracing.h"

#include <QPoint>
#include <QSet>

#include <algorithm>
#include <array>
#include <cmath>
#include <deque>
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

    std::vector<uchar> visited(static_cast<size_t>(w) * h, 0);
    std::deque<QPoint> queue;
    QSet<QPair<int, int>> linked;
    static const int dx[8] = {1, -1, 0, 0, 1, 1, -1, -1};
    static const int dy[8] = {0, 0, 1, -1, 1, -1, 1, -1};
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            if (!isInk(x, y) || visited[static_cast<size_t>(y) * w + x] || insideInterior(x, y))
                continue;
            visited[static_cast<size_t>(y) * w + x] = 1;
            queue.clear();
            queue.push_back(QPoint(x, y));
            // Per box and side (left, right, top, bottom, then the corners).
            std::vector<std::pair<int, std::array<Approach, 8>>> approaches;
            qint64 count = 0;
            while (!queue.empty()) {
                const QPoint p = queue.front();
                queue.pop_front();
                const bool real = isInk(p.x(), p.y());
                count += real;
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
                    uchar& seen = visited[static_cast<size_t>(ny) * w + nx];
                    if (seen || !isReach(nx, ny) || insideInterior(nx, ny))
                        continue;
                    seen = 1;
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
            for (size_t a = 0; a < touched.size(); ++a) {
                for (size_t b = a + 1; b < touched.size(); ++b) {
                    const QPair<int, int> key(touched[a], touched[b]);
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
    }
    return links;
}
