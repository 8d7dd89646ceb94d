#include "recognition/rasterrecognition.h"

#include "model/filelimits.h"
#include "recognition/connectortracing.h"
#include "recognition/recognitiongeometry.h"
#include "recognition/textentities.h"

#include <QPoint>

#include <algorithm>
#include <cmath>
#include <deque>
#include <numeric>
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

QImage greyOverWhite(const QImage& image)
{
    if (image.isNull())
        return QImage();
    if (!image.hasAlphaChannel())
        return image.convertToFormat(QImage::Format_Grayscale8);
    const QImage argb = image.format() == QImage::Format_ARGB32 ? image : image.convertToFormat(QImage::Format_ARGB32);
    QImage grey(argb.size(), QImage::Format_Grayscale8);
    for (int y = 0; y < argb.height(); ++y) {
        const QRgb* from = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        uchar* to = grey.scanLine(y);
        for (int x = 0; x < argb.width(); ++x) {
            const int a = qAlpha(from[x]);
            to[x] = uchar((qGray(from[x]) * a + 255 * (255 - a) + 127) / 255);
        }
    }
    return grey;
}

QSize rasterProcessingSize(const QSize& size)
{
    const qint64 pixels = qint64(size.width()) * size.height();
    const qint64 budget = qint64(RasterProcessingSide) * RasterProcessingSide;
    if (pixels <= budget || size.isEmpty())
        return size;
    const double longer = std::max(size.width(), size.height());
    const double factor = std::min(1.0, std::max(RasterProcessingSide / longer, std::sqrt(double(budget) / pixels)));
    return QSize(int(size.width() * factor), int(size.height() * factor)).expandedTo(QSize(1, 1));
}

QImage reduceGrey(const QImage& grey, bool darkest)
{
    const QSize size = rasterProcessingSize(grey.size());
    if (size == grey.size())
        return grey;
    if (!darkest)
        return grey.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
            .convertToFormat(QImage::Format_Grayscale8);
    // Every target pixel takes the darkest source pixel it covers, so that
    // lines thinner than the reduction stay as dark as they were drawn.
    QImage reduced(size, QImage::Format_Grayscale8);
    reduced.fill(255);
    const int w = grey.width(), h = grey.height();
    std::vector<int> column(static_cast<size_t>(w));
    for (int x = 0; x < w; ++x)
        column[static_cast<size_t>(x)] = std::min(size.width() - 1, int(qint64(x) * size.width() / w));
    for (int y = 0; y < h; ++y) {
        const uchar* from = grey.constScanLine(y);
        uchar* to = reduced.scanLine(std::min(size.height() - 1, int(qint64(y) * size.height() / h)));
        for (int x = 0; x < w; ++x) {
            uchar& target = to[column[static_cast<size_t>(x)]];
            target = std::min(target, from[x]);
        }
    }
    return reduced;
}

namespace {

double meanGrey(const QImage& grey, qint64 histogram[256])
{
    std::fill(histogram, histogram + 256, 0);
    for (int y = 0; y < grey.height(); ++y) {
        const uchar* line = grey.constScanLine(y);
        for (int x = 0; x < grey.width(); ++x)
            ++histogram[line[x]];
    }
    double sum = 0;
    for (int i = 0; i < 256; ++i)
        sum += double(i) * histogram[i];
    return sum / std::max<qint64>(qint64(grey.width()) * grey.height(), 1);
}

// Ink below the Otsu threshold of the grey image (inverted first when
// dark); the threshold applied is stored in appliedThreshold.
QImage thresholdGrey(QImage grey, bool invert, int* appliedThreshold = nullptr)
{
    qint64 histogram[256];
    meanGrey(grey, histogram);
    if (invert) {
        grey.invertPixels();
        std::reverse(histogram, histogram + 256);
    }
    const int threshold = std::clamp(otsuThreshold(histogram, qint64(grey.width()) * grey.height()) - 4, 80, 220);
    if (appliedThreshold)
        *appliedThreshold = threshold;
    for (int y = 0; y < grey.height(); ++y) {
        uchar* line = grey.scanLine(y);
        for (int x = 0; x < grey.width(); ++x)
            line[x] = line[x] < threshold ? 0 : 255;
    }
    return grey;
}

// Running maximum over 2 * radius + 1 pixels along rows, then columns.
QImage localMaximum(const QImage& grey, int radius)
{
    const int w = grey.width(), h = grey.height();
    QImage rows(grey.size(), QImage::Format_Grayscale8), result(grey.size(), QImage::Format_Grayscale8);
    for (int y = 0; y < h; ++y) {
        const uchar* from = grey.constScanLine(y);
        uchar* to = rows.scanLine(y);
        for (int x = 0; x < w; ++x)
            to[x] = *std::max_element(from + std::max(0, x - radius), from + std::min(w, x + radius + 1));
    }
    for (int y = 0; y < h; ++y) {
        uchar* to = result.scanLine(y);
        std::copy(rows.constScanLine(y), rows.constScanLine(y) + w, to);
        for (int k = std::max(0, y - radius); k <= std::min(h - 1, y + radius); ++k) {
            const uchar* other = rows.constScanLine(k);
            for (int x = 0; x < w; ++x)
                to[x] = std::max(to[x], other[x]);
        }
    }
    return result;
}

} // namespace

namespace {

// The contrast that makes structure ink in the picture: fainter on tinted
// paper when a tenth or more of the picture is lighter than the paper.
int structureContrastFor(const QImage& grey)
{
    qint64 histogram[256];
    meanGrey(grey, histogram);
    const int paper = int(std::max_element(histogram, histogram + 256) - histogram);
    constexpr int LighterBy = 6;
    if (paper + LighterBy > 255)
        return StructureContrast;
    const qint64 lighter = std::accumulate(histogram + paper + LighterBy, histogram + 256, qint64(0));
    return lighter * 10 >= qint64(grey.width()) * grey.height() ? FaintStructureContrast : StructureContrast;
}

} // namespace

QImage structureInk(QImage grey, bool invert)
{
    if (grey.isNull())
        return QImage();
    if (invert)
        grey.invertPixels();
    const int structureContrast = structureContrastFor(grey);
    int threshold = 128;
    QImage mask = thresholdGrey(grey, false, &threshold);
    // Thin light outlines on light fills stand out from the paper around
    // them rather than from the whole picture. Only straight runs count, so
    // that the speckle of compression around letters stays paper.
    const QImage around = localMaximum(grey, 2);
    const int w = grey.width(), h = grey.height();
    std::vector<uchar> contrast(static_cast<size_t>(w) * h, 0);
    for (int y = 0; y < h; ++y) {
        const uchar* g = grey.constScanLine(y);
        const uchar* m = around.constScanLine(y);
        for (int x = 0; x < w; ++x)
            contrast[static_cast<size_t>(y) * w + x] = m[x] - g[x] >= structureContrast;
    }
    std::vector<uchar> onRun(static_cast<size_t>(w) * h, 0);
    const int steps[4][2] = {{1, 0}, {0, 1}, {1, 1}, {1, -1}};
    for (const auto& step : steps) {
        const int sx = step[0], sy = step[1];
        const auto walk = [&](int x, int y) {
            int run = 0;
            while (true) {
                const bool in = x >= 0 && y >= 0 && x < w && y < h;
                if (in && contrast[static_cast<size_t>(y) * w + x]) {
                    ++run;
                } else {
                    if (run >= StructureRun) {
                        for (int k = 1; k <= run; ++k) {
                            mask.scanLine(y - k * sy)[x - k * sx] = 0;
                            onRun[static_cast<size_t>(y - k * sy) * w + (x - k * sx)] = 1;
                        }
                    }
                    run = 0;
                }
                if (!in)
                    return;
                x += sx;
                y += sy;
            }
        };
        if (sy == 0) {
            for (int y = 0; y < h; ++y)
                walk(0, y);
        } else if (sx == 0) {
            for (int x = 0; x < w; ++x)
                walk(x, 0);
        } else {
            const int edgeY = sy > 0 ? 0 : h - 1;
            for (int x = 0; x < w; ++x)
                walk(x, edgeY);
            for (int y = 0; y < h; ++y)
                if (y != edgeY)
                    walk(0, y);
        }
    }
    // Rounded corners bend too tightly for any straight run: the contrast
    // pixels that continue a run for a few pixels join it.
    std::vector<int> queue;
    std::vector<uchar> depth(static_cast<size_t>(w) * h, 0);
    for (size_t i = 0; i < onRun.size(); ++i) {
        if (onRun[i])
            queue.push_back(int(i));
    }
    constexpr int CornerReach = 6;
    for (size_t head = 0; head < queue.size(); ++head) {
        const int i = queue[head];
        const int x = i % w, y = i / w;
        if (depth[static_cast<size_t>(i)] >= CornerReach)
            continue;
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
                const int nx = x + dx, ny = y + dy;
                if (nx < 0 || ny < 0 || nx >= w || ny >= h)
                    continue;
                const size_t n = static_cast<size_t>(ny) * w + nx;
                if (onRun[n] || !contrast[n])
                    continue;
                onRun[n] = 1;
                depth[n] = uchar(depth[static_cast<size_t>(i)] + 1);
                mask.scanLine(ny)[nx] = 0;
                queue.push_back(int(n));
            }
        }
    }
    return mask;
}

bool isDarkPicture(const QImage& grey)
{
    qint64 histogram[256];
    return meanGrey(grey, histogram) < 110;
}

QImage thresholdImage(QImage image)
{
    if (image.isNull())
        return QImage();
    QImage grey = reduceGrey(greyOverWhite(image), false);
    image = QImage();
    return thresholdGrey(grey, isDarkPicture(grey));
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

QList<QRect> findEnclosedRegions(const QImage& mask, const QImage& outside, const QImage& seeds,
                                 qint64* paperPixels)
{
    QList<QRect> regions;
    if (paperPixels)
        *paperPixels = 0;
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
            if (!open(x, y) || (seeds.size() == mask.size() && seeds.constScanLine(y)[x] == 0))
                continue;
            visited[static_cast<size_t>(y) * w + x] = 1;
            queue.clear();
            queue.push_back(QPoint(x, y));
            int left = x, right = x, top = y, bottom = y;
            qint64 count = 0;
            // Leftmost and rightmost pixel of every row, by row from the
            // top of the image (a region may reach above its first pixel).
            std::vector<std::pair<int, int>> spans;
            int firstRow = y;
            while (!queue.empty()) {
                const QPoint p = queue.front();
                queue.pop_front();
                ++count;
                left = std::min(left, p.x());
                right = std::max(right, p.x());
                top = std::min(top, p.y());
                bottom = std::max(bottom, p.y());
                if (p.y() < firstRow) {
                    spans.insert(spans.begin(), static_cast<size_t>(firstRow - p.y()), {p.x(), p.x()});
                    firstRow = p.y();
                }
                const size_t row = static_cast<size_t>(p.y() - firstRow);
                if (row >= spans.size())
                    spans.resize(row + 1, {p.x(), p.x()});
                spans[row].first = std::min(spans[row].first, p.x());
                spans[row].second = std::max(spans[row].second, p.x());
                for (int k = 0; k < 4; ++k) {
                    const int nx = p.x() + dx[k], ny = p.y() + dy[k];
                    if (nx < 0 || ny < 0 || nx >= w || ny >= h || !open(nx, ny))
                        continue;
                    visited[static_cast<size_t>(ny) * w + nx] = 1;
                    queue.push_back(QPoint(nx, ny));
                }
            }
            // Most rows of a box's inside span its whole width (letters
            // touching the outline or a strip beside a filled band shorten
            // a few); the rings of line-end markers and the gaps between
            // crossing lines widen and narrow from row to row.
            const int width = right - left + 1;
            int fullRows = 0;
            for (const auto& span : spans)
                fullRows += span.second - span.first + 1 >= 0.9 * width;
            if (count >= 280 && fullRows >= 0.55 * double(spans.size())) {
                regions.append(QRect(QPoint(left, top), QPoint(right, bottom)));
                if (paperPixels)
                    *paperPixels += count;
            }
        }
    }
    return regions;
}

namespace {

// Paper that connectors close off around several boxes is no box: a
// candidate holding two or more box-sized candidates apart from each other,
// which leave most of it empty. Candidates come largest first.
QList<QRectF> withoutEnclosures(const QList<QRectF>& candidates)
{
    constexpr double FilledShareBelow = 0.6;
    const auto boxSized = [](const QRectF& r) { return r.width() >= 36 && r.height() >= 22; };
    QList<QRectF> kept;
    for (int i = 0; i < candidates.size(); ++i) {
        const QRectF& outer = candidates.at(i);
        QList<QRectF> inside;
        double filled = 0;
        for (int j = i + 1; j < candidates.size() && boxSized(outer); ++j) {
            const QRectF& inner = candidates.at(j);
            if (!boxSized(inner) || !outer.contains(inner))
                continue;
            if (std::any_of(inside.cbegin(), inside.cend(), [&](const QRectF& r) { return r.intersects(inner); }))
                continue;
            inside.append(inner);
            filled += area(inner);
        }
        if (inside.size() < 2 || filled >= FilledShareBelow * area(outer))
            kept.append(outer);
    }
    return kept;
}

} // namespace

QList<QRectF> mergeCandidateBoxes(QList<QRectF> candidates)
{
    QList<QRectF> kept;
    if (candidates.isEmpty())
        return kept;
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const QRectF& a, const QRectF& b) { return area(a) > area(b); });
    candidates = withoutEnclosures(candidates);
    // Wide flat cells cannot be boxes of their own, but a table's title cell
    // is one: they may still join the box drawn right below them.
    QList<QRectF> bands;
    for (const QRectF& r : qAsConst(candidates)) {
        const double aspect = r.height() > 1.0 ? r.width() / r.height() : r.width();
        // Title cells of small print are lower than a box may be.
        if (r.width() >= 36 && r.height() >= 12 && (aspect > 10.0 || r.height() < 22))
            bands.append(r);
        if (r.width() < 36 || r.height() < 22)
            continue;
        if (aspect < 0.18 || aspect > 10.0)
            continue;
        bool done = false;
        for (QRectF& k : kept) {
            const CandidateBox relation = compareCandidateBox(r, k);
            if (relation == CandidateBox::Joins)
                k = k.united(r);
            if (relation != CandidateBox::Apart) {
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
                // Columns of a grid share the rule between them; boxes with
                // outlines of their own, however close, stay apart.
                const bool sideBySide = std::abs(leftBox.top() - rightBox.top()) <= vtol
                    && std::abs(leftBox.bottom() - rightBox.bottom()) <= vtol && hgap >= -4 && hgap <= 1;
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

namespace {

// Cells of one column: as wide as each other, one right below the other
// across a single rule. Taller cells are left to the merge, which joins a
// title cell to its body, unless both are strips as wide as whole rows.
bool stackedCells(const QRectF& upper, const QRectF& lower)
{
    const auto isCell = [](const QRectF& r) {
        return r.width() >= 20 && r.height() >= 10 && r.height() < TableCellHeightBelow;
    };
    const auto isRow = [](const QRectF& r) { return r.height() >= 10 && r.width() >= TableRowAspect * r.height(); };
    if (upper.width() < 20 || lower.width() < 20 || !(isCell(upper) || isCell(lower) || (isRow(upper) && isRow(lower))))
        return false;
    const double tol = std::max(TableColumnEdgeShare * std::min(upper.width(), lower.width()), 3.0);
    const double gap = lower.top() - upper.bottom();
    return std::abs(upper.left() - lower.left()) <= tol && std::abs(upper.right() - lower.right()) <= tol
        && gap >= -TableColumnOverlapMost && gap <= TableRowGapMost;
}

// Columns of one table: side by side across a single rule, as high as
// each other. A narrow column (keys, flags) is too slender to be a box of
// its own and would leave a gap between the others.
bool adjacentColumns(const QRectF& a, const QRectF& b)
{
    const double gap = b.left() - a.right();
    const double tol = std::max(TableColumnEdgeShare * std::min(a.height(), b.height()), 3.0);
    return gap >= -TableColumnOverlapMost && gap <= TableColumnGapMost && std::abs(a.top() - b.top()) <= tol
        && std::abs(a.bottom() - b.bottom()) <= tol && a.height() >= 10 && b.height() >= 10;
}

// One pass over candidates sorted by their left edge: every pair that
// joins becomes its union (whose left edge is the first one's, so the
// order holds). reach bounds how far right of the first one's left edge
// the second may start.
template<typename Joins, typename Reach>
bool joinPass(QList<QRectF>& candidates, Joins joins, Reach reach)
{
    bool changed = false;
    for (int i = 0; i < candidates.size(); ++i) {
        for (int j = i + 1; j < candidates.size(); ++j) {
            const QRectF& a = candidates.at(i);
            const QRectF& b = candidates.at(j);
            if (b.left() > reach(a))
                break;
            if (!joins(a, b))
                continue;
            candidates[i] = a.united(b);
            candidates.removeAt(j);
            changed = true;
            j = i;  // the union may join candidates passed over already
        }
    }
    return changed;
}

} // namespace

QList<QRectF> joinTableCells(QList<QRectF> candidates)
{
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const QRectF& a, const QRectF& b) { return a.left() < b.left(); });
    const auto stacked = [](const QRectF& a, const QRectF& b) {
        return a.top() <= b.top() ? stackedCells(a, b) : stackedCells(b, a);
    };
    const auto stackReach = [](const QRectF& a) { return a.left() + std::max(TableColumnEdgeShare * a.width(), 3.0); };
    const auto columnReach = [](const QRectF& a) { return a.right() + TableColumnGapMost; };
    bool changed = true;
    while (changed) {
        changed = joinPass(candidates, stacked, stackReach);
        changed = joinPass(candidates, adjacentColumns, columnReach) || changed;
    }
    return candidates;
}

QList<QRectF> joinTableColumns(QList<QRectF> candidates)
{
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const QRectF& a, const QRectF& b) { return a.left() < b.left(); });
    while (joinPass(candidates, adjacentColumns, [](const QRectF& a) { return a.right() + TableColumnGapMost; })) {
    }
    return candidates;
}

QRectF extendOverHeaderBand(const QImage& mask, const QRectF& box)
{
    // A filled title band reads as solid ink right above the box: its rows
    // are ink at both ends and across most of the width (the title itself
    // leaves paper holes).
    const int left = int(std::ceil(box.left())) + 3, right = int(std::floor(box.right())) - 3;
    if (right - left < 20 || mask.isNull())
        return box;
    const int widest = std::max(12, int(box.height()));
    int top = int(std::floor(box.top())) + 1;
    int rows = 0, solid = 0;
    for (int y = top - 1; y >= 0 && rows < widest; --y, ++rows) {
        const uchar* line = mask.constScanLine(y);
        if (left < 0 || right >= mask.width() || line[left] != 0 || line[right] != 0)
            break;
        int count = 0;
        for (int x = left; x <= right; ++x)
            count += line[x] == 0;
        if (count < 0.55 * (right - left + 1))
            break;
        solid += count > 0.97 * (right - left + 1);
        top = y;
    }
    if (rows < 8 || solid < 2)
        return box;
    return QRectF(box.left(), top - 1, box.width(), box.bottom() - top + 1);
}

QList<QRectF> dropPaperBetweenBoxes(const QImage& mask, const QList<QRectF>& boxes)
{
    // Connectors and the outlines of boxes can close off plain paper. Such
    // a patch holds no ink and lies between boxes standing right against it
    // on opposite sides; an empty box standing free or beside one
    // neighbour is kept.
    const auto empty = [&](const QRectF& box) {
        // Away from the outline and the line ends drawn up to it.
        const QRect inside = toPixelRect(box.adjusted(12, 12, -12, -12)) & mask.rect();
        if (inside.width() < 4 || inside.height() < 4)
            return false;
        for (int y = inside.top(); y <= inside.bottom(); ++y) {
            const uchar* line = mask.constScanLine(y);
            if (std::any_of(line + inside.left(), line + inside.right() + 1, [](uchar v) { return v == 0; }))
                return false;
        }
        return true;
    };
    QList<QRectF> kept;
    for (int i = 0; i < boxes.size(); ++i) {
        const QRectF& box = boxes.at(i);
        bool above = false, below = false, left = false, right = false;
        for (int j = 0; j < boxes.size(); ++j) {
            const QRectF& other = boxes.at(j);
            if (j == i || !box.adjusted(-6, -6, 6, 6).intersects(other))
                continue;
            const QPointF c = other.center();
            above = above || c.y() < box.top();
            below = below || c.y() > box.bottom();
            left = left || c.x() < box.left();
            right = right || c.x() > box.right();
        }
        if (!((above && below) || (left && right)) || !empty(box))
            kept.append(box);
    }
    return kept;
}

QList<RecognizedText> readTextAtFullSize(const QImage& full, const QSize& reduced, const QList<QRectF>& boxes,
                                        int threshold, GlyphTemplateCache& cache)
{
    QList<RecognizedText> runs;
    if (full.isNull() || reduced.isEmpty())
        return runs;
    const double fx = double(full.width()) / reduced.width(), fy = double(full.height()) / reduced.height();
    for (const QRectF& box : boxes) {
        const QRectF large(box.x() * fx, box.y() * fy, box.width() * fx, box.height() * fy);
        const QRect crop = large.toAlignedRect().adjusted(-2, -2, 2, 2) & full.rect();
        if (crop.isEmpty())
            continue;
        const QImage grey = full.copy(crop);
        QImage ink = grey;
        for (int y = 0; y < ink.height(); ++y) {
            uchar* line = ink.scanLine(y);
            for (int x = 0; x < ink.width(); ++x)
                line[x] = line[x] < threshold ? 0 : 255;
        }
        for (RecognizedText run : recognizeBoxesText({large.translated(-crop.topLeft())}, ink, cache, grey)) {
            run.rect.translate(crop.topLeft());
            run.rect = QRectF(run.rect.x() / fx, run.rect.y() / fy, run.rect.width() / fx, run.rect.height() / fy);
            runs.append(run);
        }
    }
    return runs;
}

namespace {

// The share of the pixels of a thresholded mask that are ink.
double inkShare(const QImage& mask)
{
    qint64 ink = 0;
    for (int y = 0; y < mask.height(); ++y) {
        const uchar* line = mask.constScanLine(y);
        ink += std::count(line, line + mask.width(), uchar(0));
    }
    return double(ink) / std::max<qint64>(qint64(mask.width()) * mask.height(), 1);
}

// The closed rectangles of a picture in one polarity (dark drawing on
// light paper): the structure ink before and after closing its gaps, and
// the paper regions it encloses.
struct BoxInk
{
    QImage mask;            // the closed structure ink
    QList<QRect> regions;   // the enclosed paper
    qint64 paper = 0;       // pixels of that paper
};

BoxInk findBoxInk(const QImage& full)
{
    BoxInk found;
    QImage raw = structureInk(reduceGrey(full, true), false);
    found.mask = closeInkGaps(raw);
    // The closed mask decides what the border reaches; the paper inside is
    // taken from the ink before closing, in which letters close to an
    // outline still leave the cell in one piece.
    const QImage outside = outsideMask(found.mask);
    found.regions = findEnclosedRegions(raw, outside, found.mask, &found.paper);
    return found;
}

} // namespace

bool recognizeRasterDiagram(const QImage& image, RecognizedDiagram& result, const QStringList& families,
                            QString* refusal)
{
    if (image.isNull())
        return false;
    // Text is read from the plain threshold of the smoothly reduced picture:
    // closing the gaps in the box outlines also closes the gaps between
    // letters. Boxes and lines come from the darkest-pixel reduction, which
    // keeps thin outlines, with light outlines found by their contrast.
    QImage mask;
    // Connectors drawn light on the paper around boxes filled dark.
    QImage lineMask;
    QImage ink;
    QImage smooth;
    // A picture reduced for the boxes keeps its letters at full size: the
    // text is read there, box by box.
    QImage full;
    int threshold = 128;
    QList<QRect> regions;
    // Read inverted, boxes filled dark stand on ink: their title bands are
    // cells of their own, and the ink above a box is the ground.
    bool groundIsInk = false;
    {
        full = greyOverWhite(image);
        smooth = reduceGrey(full, false);
        const bool dark = isDarkPicture(smooth);
        ink = thresholdGrey(smooth, dark, &threshold);
        if (dark) {
            smooth.invertPixels();
            full.invertPixels();
        }
        BoxInk found = findBoxInk(full);
        // Much ink may be boxes filled dark (light rows and letters on
        // them) on light paper: read inverted, their insides are the paper
        // that outlines enclose. The polarity enclosing more paper wins.
        if (inkShare(ink) > DarkFillInkShare) {
            QImage invertedFull = full;
            invertedFull.invertPixels();
            BoxInk inverted = findBoxInk(invertedFull);
            if (inverted.paper > found.paper) {
                groundIsInk = true;
                lineMask = found.mask;
                std::swap(found, inverted);
                full = invertedFull;
                smooth.invertPixels();
                ink = thresholdGrey(smooth, false, &threshold);
            }
        }
        mask = found.mask;
        regions = found.regions;
        if (full.size() == smooth.size())
            full = QImage();
    }
    QList<QRectF> candidates;
    candidates.reserve(regions.size());
    for (const QRect& region : qAsConst(regions))
        candidates.append(QRectF(region.left() - 2, region.top() - 2, region.width() + 4, region.height() + 4));
    QList<QRectF> boxes = mergeCandidateBoxes(joinTableCells(candidates));
    if (boxes.isEmpty())
        return false;
    boxes = dropPaperBetweenBoxes(mask, boxes);
    // A diagram of more boxes than Open reads is refused before any text
    // is read from it.
    if (boxes.size() > filelimits::MaxEntities) {
        if (refusal)
            *refusal = filelimits::tooLargeText(filelimits::Measure::Entities, boxes.size());
        result = RecognizedDiagram();
        return false;
    }
    for (QRectF& box : boxes) {
        if (!groundIsInk)
            box = extendOverHeaderBand(mask, box);
    }
    result.entities.clear();
    for (const QRectF& box : qAsConst(boxes)) {
        RecognizedEntity entity;
        entity.box = box;
        result.entities.append(entity);
    }
    GlyphTemplateCache cache;
    cache.families = families;
    QList<RecognizedText> runs = full.isNull() ? recognizeBoxesText(boxes, ink, cache, smooth)
                                                     : readTextAtFullSize(full, smooth.size(), boxes, threshold, cache);
    full = QImage();
    buildEntitiesFromText(result.entities, runs);
    // Drawings rendered large leave wider gaps in dashed lines and around
    // the labels on them.
    std::vector<double> heights;
    for (const RecognizedText& run : qAsConst(runs))
        heights.push_back(run.rect.height());
    double lineHeight = 0;
    if (!heights.empty()) {
        std::nth_element(heights.begin(), heights.begin() + static_cast<std::ptrdiff_t>(heights.size() / 2), heights.end());
        lineHeight = heights[heights.size() / 2];
    }
    result.links = traceRasterConnectors(lineMask.isNull() ? mask : lineMask, boxes,
                                         connectorGapReachForText(lineHeight));
    return true;
}
