#include "recognition/connectortracing.h"

#include <QPoint>
#include <QSet>

#include <algorithm>
#include <cmath>
#include <deque>
#include <vector>

namespace {

bool containsPoint(const QRectF& r, int x, int y)
{
    return x >= r.left() && x <= r.right() && y >= r.top() && y <= r.bottom();
}

} // namespace

QList<RecognizedLink> traceRasterConnectors(const QImage& mask, const QList<QRectF>& boxes)
{
    QList<RecognizedLink> links;
    if (mask.isNull() || boxes.isEmpty())
        return links;
    const QImage ink = mask.format() == QImage::Format_Grayscale8 ? mask : mask.convertToFormat(QImage::Format_Grayscale8);
    const int w = ink.width(), h = ink.height();

    std::vector<QRectF> interiors, outer, inner;
    // The outline belongs to its box, not to the connectors: otherwise every
    // box reached by a chain of lines would be linked to every other one.
    for (const QRectF& b : boxes) {
        interiors.push_back(QRectF(b.x() - 6, b.y() - 6, b.width() + 12, b.height() + 12));
        outer.push_back(QRectF(b.x() - 14, b.y() - 14, b.width() + 28, b.height() + 28));
        inner.push_back(QRectF(b.x() + 6, b.y() + 6, b.width() - 12, b.height() - 12));
    }
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

    std::vector<uchar> visited(static_cast<size_t>(w) * h, 0);
    std::deque<QPoint> queue;
    QSet<QPair<int, int>> linked;
    static const int dx[8] = {1, -1, 0, 0, 1, 1, -1, -1};
    static const int dy[8] = {0, 0, 1, -1, 1, -1, 1, -1};
    for (int y = 0; y < h; ++y) {
        const uchar* line = ink.constScanLine(y);
        for (int x = 0; x < w; ++x) {
            if (line[x] != 0 || visited[static_cast<size_t>(y) * w + x] || insideInterior(x, y))
                continue;
            visited[static_cast<size_t>(y) * w + x] = 1;
            queue.clear();
            queue.push_back(QPoint(x, y));
            std::vector<int> touched;
            qint64 count = 0;
            while (!queue.empty()) {
                const QPoint p = queue.front();
                queue.pop_front();
                ++count;
                for (int i = 0; i < boxes.size(); ++i) {
                    if (containsPoint(outer[static_cast<size_t>(i)], p.x(), p.y())
                        && !containsPoint(inner[static_cast<size_t>(i)], p.x(), p.y())
                        && std::find(touched.begin(), touched.end(), i) == touched.end())
                        touched.push_back(i);
                }
                for (int k = 0; k < 8; ++k) {
                    const int nx = p.x() + dx[k], ny = p.y() + dy[k];
                    if (nx < 0 || ny < 0 || nx >= w || ny >= h)
                        continue;
                    uchar& seen = visited[static_cast<size_t>(ny) * w + nx];
                    if (seen || !isInk(nx, ny) || insideInterior(nx, ny))
                        continue;
                    seen = 1;
                    queue.push_back(QPoint(nx, ny));
                }
            }
            if (count < 18)
                continue;
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
