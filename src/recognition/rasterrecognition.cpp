#include "recognition/rasterrecognition.h"

#include "recognition/connectortracing.h"
#include "recognition/textentities.h"

#include <QPoint>

#include <algorithm>
#include <cmath>
#include <deque>
#include <vector>

namespace {

double area(const QRectF& r)
{
    return r.width() * r.height();
}

// One pass of the closing: ink grows into paper (grow) or paper into ink.
QImage morphologyPass(const QImage& source, bool grow)
{
    QImage result = source.copy();
    const int w = source.width(), h = source.height();
    const uchar from = grow ? 255 : 0;   // the value that may change
    const uchar to = grow ? 0 : 255;     // what it becomes next to the other
    for (int y = 1; y < h - 1; ++y) {
        const uchar* up = source.constScanLine(y - 1);
        const uchar* mid = source.constScanLine(y);
        const uchar* down = source.constScanLine(y + 1);
        uchar* out = result.scanLine(y);
        for (int x = 1; x < w - 1; ++x) {
            if (mid[x] == from && (mid[x - 1] == to || mid[x + 1] == to || up[x] == to || down[x] == to))
                out[x] = to;
        }
    }
    return result;
}

} // namespace

int otsuThreshold(const qint64 histogram[256], qint64 pixelCount)
{
    double total = 0;
    for (int i = 0; i < 256; ++i)
        total += double(i) * histogram[i];
    int threshold = 128;
    double best = -1;
    double sumB = 0;
    qint64 wB = 0;
    for (int t = 0; t < 256; ++t) {
        wB += histogram[t];
        sumB += double(t) * histogram[t];
        if (wB == 0)
            continue;
        const qint64 wF = pixelCount - wB;
        if (wF == 0)
            break;
        const double diff = sumB / wB - (total - sumB) / wF;
        const double between = double(wB) * double(wF) * diff * diff;
        if (between > best) {
            best = between;
            threshold = t;
        }
    }
    return threshold;
}

QImage binarizeImage(QImage image)
{
    return closeInkGaps(thresholdImage(std::move(image)));
}

QImage thresholdImage(QImage image)
{
    if (image.isNull())
        return QImage();
    if (image.width() > RasterProcessingSide || image.height() > RasterProcessingSide)
        image = image.scaled(RasterProcessingSide, RasterProcessingSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
    image = QImage();
    const int w = grey.width(), h = grey.height();
    qint64 histogram[256] = {};
    for (int y = 0; y < h; ++y) {
        const uchar* line = grey.constScanLine(y);
        for (int x = 0; x < w; ++x)
            ++histogram[line[x]];
    }
    const qint64 pixels = qint64(w) * h;
    double sum = 0;
    for (int i = 0; i < 256; ++i)
        sum += double(i) * histogram[i];
    const double mean = sum / std::max<qint64>(pixels, 1);
    if (mean < 110) {
        grey.invertPixels();
        std::reverse(histogram, histogram + 256);
    }
    const int threshold = std::clamp(otsuThreshold(histogram, pixels) - 4, 80, 220);
    for (int y = 0; y < h; ++y) {
        uchar* line = grey.scanLine(y);
        for (int x = 0; x < w; ++x)
            line[x] = line[x] < threshold ? 0 : 255;
    }
    return grey;
}

QImage closeInkGaps(QImage mask)
{
    if (mask.width() > 2 && mask.height() > 2) {
        mask = morphologyPass(mask, true);
        mask = morphologyPass(mask, true);
        mask = morphologyPass(mask, false);
    }
    return mask;
}

QImage outsideMask(const QImage& mask)
{
    const int w = mask.width(), h = mask.height();
    QImage outside(w, h, QImage::Format_Grayscale8);
    outside.fill(0);
    if (w == 0 || h == 0)
        return outside;
    std::deque<QPoint> queue;
    const auto seed = [&](int x, int y) {
        if (mask.constScanLine(y)[x] != 0 && outside.constScanLine(y)[x] == 0) {
            outside.scanLine(y)[x] = 255;
            queue.push_back(QPoint(x, y));
        }
    };
    for (int x = 0; x < w; ++x) {
        seed(x, 0);
        seed(x, h - 1);
    }
    for (int y = 0; y < h; ++y) {
        seed(0, y);
        seed(w - 1, y);
    }
    static const int dx[4] = {1, -1, 0, 0};
    static const int dy[4] = {0, 0, 1, -1};
    while (!queue.empty()) {
        const QPoint p = queue.front();
        queue.pop_front();
        for (int k = 0; k < 4; ++k) {
            const int nx = p.x() + dx[k], ny = p.y() + dy[k];
            if (nx < 0 || ny < 0 || nx >= w || ny >= h)
                continue;
            if (mask.constScanLine(ny)[nx] != 0 && outside.constScanLine(ny)[nx] == 0) {
                outside.scanLine(ny)[nx] = 255;
                queue.push_back(QPoint(nx, ny));
            }
        }
    }
    return outside;
}

QList<QRect> findEnclosedRegions(const QImage& mask, const QImage& outside)
{
    QList<QRect> regions;
    const int w = mask.width(), h = mask.height();
    if (w == 0 || h == 0 || outside.size() != mask.size())
        return regions;
    std::vector<uchar> visited(static_cast<size_t>(w) * h, 0);
    const auto open = [&](int x, int y) {
        return mask.constScanLine(y)[x] != 0 && outside.constScanLine(y)[x] == 0
            && !visited[static_cast<size_t>(y) * w + x];
    };
    std::deque<QPoint> queue;
    static const int dx[4] = {1, -1, 0, 0};
    static const int dy[4] = {0, 0, 1, -1};
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            if (!open(x, y))
                continue;
            visited[static_cast<size_t>(y) * w + x] = 1;
            queue.clear();
            queue.push_back(QPoint(x, y));
            int left = x, right = x, top = y, bottom = y;
            qint64 count = 0;
            while (!queue.empty()) {
                const QPoint p = queue.front();
                queue.pop_front();
                ++count;
                left = std::min(left, p.x());
                right = std::max(right, p.x());
                top = std::min(top, p.y());
                bottom = std::max(bottom, p.y());
                for (int k = 0; k < 4; ++k) {
                    const int nx = p.x() + dx[k], ny = p.y() + dy[k];
                    if (nx < 0 || ny < 0 || nx >= w || ny >= h || !open(nx, ny))
                        continue;
                    visited[static_cast<size_t>(ny) * w + nx] = 1;
                    queue.push_back(QPoint(nx, ny));
                }
            }
            if (count >= 280)
                regions.append(QRect(QPoint(left, top), QPoint(right, bottom)));
        }
    }
    return regions;
}

QList<QRectF> mergeCandidateBoxes(QList<QRectF> candidates)
{
    QList<QRectF> kept;
    if (candidates.isEmpty())
        return kept;
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const QRectF& a, const QRectF& b) { return area(a) > area(b); });
    // Wide flat cells cannot be boxes of their own, but a table's title cell
    // is one: they may still join the box drawn right below them.
    QList<QRectF> bands;
    for (const QRectF& r : qAsConst(candidates)) {
        if (r.width() < 36 || r.height() < 22)
            continue;
        const double aspect = r.height() > 1.0 ? r.width() / r.height() : r.width();
        if (aspect > 10.0)
            bands.append(r);
        if (aspect < 0.18 || aspect > 10.0)
            continue;
        bool done = false;
        for (QRectF& k : kept) {
            const QRectF inter = r.intersected(k);
            if (!(inter.width() > 0 && inter.height() > 0))
                continue;
            const double unionArea = area(r) + area(k) - area(inter);
            if (unionArea > 0 && area(inter) / unionArea > 0.78) {
                k = k.united(r);
                done = true;
                break;
            }
            const QRectF grown = k.adjusted(-2, -2, 2, 2);
            if (grown.contains(r) && area(k) > 1.15 * area(r)) {
                done = true;
                break;
            }
        }
        if (!done)
            kept.append(r);
    }

    // Cells of one table: a header cell directly above the body, and the
    // columns of a grid side by side, become one box.
    const auto stackedPair = [](const QRectF& a, const QRectF& b) {
        const double tol = std::max(0.08 * std::min(a.width(), b.width()), 6.0);
        const QRectF& upper = a.y() <= b.y() ? a : b;
        const QRectF& lower = a.y() <= b.y() ? b : a;
        const double gap = lower.top() - upper.bottom();
        return std::abs(upper.left() - lower.left()) <= tol && std::abs(upper.right() - lower.right()) <= tol
            && gap >= -4 && gap <= 14;
    };
    bool changed = true;
    while (changed) {
        changed = false;
        for (int i = 0; i < kept.size() && !changed; ++i) {
            for (int j = i + 1; j < kept.size() && !changed; ++j) {
                const QRectF& a = kept.at(i);
                const QRectF& b = kept.at(j);
                const bool stacked = stackedPair(a, b);
                const double vtol = std::max(0.08 * std::min(a.height(), b.height()), 6.0);
                const QRectF& leftBox = a.x() <= b.x() ? a : b;
                const QRectF& rightBox = a.x() <= b.x() ? b : a;
                const double hgap = rightBox.left() - leftBox.right();
                const bool sideBySide = std::abs(leftBox.top() - rightBox.top()) <= vtol
                    && std::abs(leftBox.bottom() - rightBox.bottom()) <= vtol && hgap >= -4 && hgap <= 6;
                if (stacked || sideBySide) {
                    kept[i] = a.united(b);
                    kept.removeAt(j);
                    changed = true;
                }
            }
        }
    }
    for (const QRectF& band : qAsConst(bands)) {
        for (QRectF& k : kept) {
            if (band.bottom() <= k.top() + 4 && stackedPair(band, k)) {
                k = k.united(band);
                break;
            }
        }
    }
    return kept;
}

bool recognizeRasterDiagram(const QImage& image, RecognizedDiagram& result, const QStringList& families)
{
    if (image.isNull())
        return false;
    // Text is read from the plain threshold: closing the gaps in the box
    // outlines also closes the gaps between letters.
    const QImage ink = thresholdImage(image);
    const QImage mask = closeInkGaps(ink);
    QList<QRect> regions;
    {
        const QImage outside = outsideMask(mask);
        regions = findEnclosedRegions(mask, outside);
    }
    QList<QRectF> candidates;
    candidates.reserve(regions.size());
    for (const QRect& region : qAsConst(regions))
        candidates.append(QRectF(region.left() - 2, region.top() - 2, region.width() + 4, region.height() + 4));
    const QList<QRectF> boxes = mergeCandidateBoxes(candidates);
    if (boxes.isEmpty())
        return false;
    result.entities.clear();
    for (const QRectF& box : boxes) {
        RecognizedEntity entity;
        entity.box = box;
        result.entities.append(entity);
    }
    QList<RecognizedText> runs = recognizeBoxesText(boxes, ink, families);
    buildEntitiesFromText(result.entities, runs);
    result.links = traceRasterConnectors(mask, boxes);
    return true;
}
