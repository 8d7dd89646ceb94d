#include "recognition/glyphrecognition.h"

#include "recognition/recognitiongeometry.h"

#include <QCoreApplication>
#include <QFont>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

const char glyphAlphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-.()";

namespace {

constexpr int CellWidth = 16;
constexpr int CellHeight = 24;

struct Blob
{
    int left, top, right, bottom;
    int width() const { return right - left + 1; }
    int height() const { return bottom - top + 1; }
};

Blob unite(const Blob& a, const Blob& b)
{
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
            std::max(a.bottom, b.bottom)};
}

bool intersects(const Blob& a, const Blob& b)
{
    return a.left <= b.right && b.left <= a.right && a.top <= b.bottom && b.top <= a.bottom;
}

// Pixels dark in a normalised cell, one byte each.
std::array<uchar, CellWidth * CellHeight> darkPixels(const QImage& cell)
{
    std::array<uchar, CellWidth * CellHeight> dark{};
    for (int y = 0; y < CellHeight; ++y) {
        const uchar* line = cell.constScanLine(y);
        for (int x = 0; x < CellWidth; ++x)
            dark[static_cast<size_t>(y * CellWidth + x)] = line[x] < 140;
    }
    return dark;
}

double inkAspect(const QImage& ink)
{
    return double(ink.width()) / std::max(ink.height(), 1);
}

} // namespace

QStringList defaultGlyphFamilies()
{
    return {QStringLiteral("Verdana"), QStringLiteral("Tahoma"), QStringLiteral("Arial")};
}

QList<GlyphTemplate> glyphTemplates(int pixelSize, const QStringList& families)
{
    const int px = std::clamp(pixelSize, 10, 28);
    QList<GlyphTemplate> templates;
    const QString alphabet = QString::fromLatin1(glyphAlphabet);
    templates.reserve(families.size() * alphabet.size());
    for (const QString& family : families) {
      for (const QFont::Weight weight : {QFont::Bold, QFont::Normal}) {
        QFont font(family);
        font.setPixelSize(px);
        font.setWeight(weight);
        font.setStyleStrategy(QFont::PreferAntialias);
        const QFontMetrics metrics(font);
        for (const QChar c : alphabet) {
            const int w = std::max(metrics.horizontalAdvance(c), 4);
            const int h = std::max(metrics.height(), 8);
            QImage image(w + 2, h + 2, QImage::Format_Grayscale8);
            image.fill(255);
            {
                QPainter painter(&image);
                painter.setFont(font);
                painter.setPen(Qt::black);
                painter.drawText(QPointF(1, metrics.ascent() + 1), QString(c));
            }
            GlyphTemplate glyph;
            glyph.character = c;
            glyph.image = image;
            const QImage ink = inkBoundingRect(image);
            glyph.hasInk = !ink.isNull();
            if (glyph.hasInk) {
                glyph.aspect = inkAspect(ink);
                glyph.cell = normalizeGlyph(image);
            }
            templates.append(glyph);
        }
      }
    }
    return templates;
}

const QList<GlyphTemplate>& GlyphTemplateCache::forSize(int size)
{
    if (size != pixelSize) {
        templates = glyphTemplates(size, families);
        pixelSize = size;
        ++builds;
    }
    return templates;
}

QImage inkBoundingRect(const QImage& grey)
{
    const QImage image = grey.format() == QImage::Format_Grayscale8 ? grey : grey.convertToFormat(QImage::Format_Grayscale8);
    int left = image.width(), right = -1, top = image.height(), bottom = -1;
    for (int y = 0; y < image.height(); ++y) {
        const uchar* line = image.constScanLine(y);
        for (int x = 0; x < image.width(); ++x) {
            if (line[x] < 128) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    if (right < 0)
        return QImage();
    return image.copy(left, top, right - left + 1, bottom - top + 1);
}

QImage normalizeGlyph(const QImage& glyph)
{
    QImage cell(CellWidth, CellHeight, QImage::Format_Grayscale8);
    cell.fill(255);
    const QImage ink = inkBoundingRect(glyph);
    if (ink.isNull())
        return cell;
    const QImage scaled = ink.scaled(CellWidth - 2, CellHeight - 2, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                              .convertToFormat(QImage::Format_Grayscale8);
    const int ox = (CellWidth - scaled.width()) / 2;
    const int oy = (CellHeight - scaled.height()) / 2;
    for (int y = 0; y < scaled.height(); ++y) {
        const uchar* from = scaled.constScanLine(y);
        uchar* to = cell.scanLine(oy + y) + ox;
        std::copy(from, from + scaled.width(), to);
    }
    return cell;
}

QChar matchGlyph(const QImage& glyph, const QList<GlyphTemplate>& templates, double* score)
{
    const QImage g = inkBoundingRect(glyph);
    if (g.isNull()) {
        if (score)
            *score = 0;
        return QChar();
    }
    const double ga = inkAspect(g);
    const auto a = darkPixels(normalizeGlyph(g));
    int darkA = 0;
    for (uchar d : a)
        darkA += d;

    double best = 0;
    QChar answer;
    for (const GlyphTemplate& t : templates) {
        // Templates built by hand may lack the derived fields.
        const bool hasInk = t.hasInk || !inkBoundingRect(t.image).isNull();
        if (!hasInk)
            continue;
        const double ta = t.hasInk ? t.aspect : inkAspect(inkBoundingRect(t.image));
        if ((ga < 0.42 && ta > 0.75) || (ga > 0.9 && ta < 0.48))
            continue;
        const auto b = darkPixels(t.cell.isNull() ? normalizeGlyph(t.image) : t.cell);
        int inter = 0, darkB = 0;
        for (size_t i = 0; i < b.size(); ++i) {
            darkB += b[i];
            inter += a[i] & b[i];
        }
        const int unionCount = darkA + darkB - inter;
        const double s = unionCount > 0 ? double(inter) / unionCount : 0.0;
        if (s > best) {
            best = s;
            answer = t.character;
        }
    }
    if (score)
        *score = best;
    return best < 0.2 ? QChar() : answer;
}

QString recognizeTextLine(const QImage& binarised, QRect line, const QList<GlyphTemplate>& templates)
{
    const QRect r = line & binarised.rect();
    if (r.width() < 4 || r.height() < 5)
        return QString();
    const QImage crop = binarised.copy(r).convertToFormat(QImage::Format_Grayscale8);
    const int w = crop.width(), h = crop.height();
    const auto isInk = [&](int x, int y) { return crop.constScanLine(y)[x] == 0; };

    // Connected ink, eight neighbours, found column by column.
    std::vector<uchar> visited(static_cast<size_t>(w) * h, 0);
    std::vector<Blob> blobs;
    std::vector<QPoint> queue;
    static const int dx[8] = {1, -1, 0, 0, 1, 1, -1, -1};
    static const int dy[8] = {0, 0, 1, -1, 1, -1, 1, -1};
    for (int x = 0; x < w; ++x) {
        for (int y = 0; y < h; ++y) {
            if (visited[static_cast<size_t>(y) * w + x] || !isInk(x, y))
                continue;
            visited[static_cast<size_t>(y) * w + x] = 1;
            queue.clear();
            queue.push_back(QPoint(x, y));
            Blob blob{x, y, x, y};
            for (size_t head = 0; head < queue.size(); ++head) {
                const QPoint p = queue[head];
                blob.left = std::min(blob.left, p.x());
                blob.right = std::max(blob.right, p.x());
                blob.top = std::min(blob.top, p.y());
                blob.bottom = std::max(blob.bottom, p.y());
                for (int k = 0; k < 8; ++k) {
                    const int nx = p.x() + dx[k], ny = p.y() + dy[k];
                    if (nx < 0 || ny < 0 || nx >= w || ny >= h)
                        continue;
                    uchar& seen = visited[static_cast<size_t>(ny) * w + nx];
                    if (seen || !isInk(nx, ny))
                        continue;
                    seen = 1;
                    queue.push_back(QPoint(nx, ny));
                }
            }
            if (queue.size() >= 4)
                blobs.push_back(blob);
        }
    }
    if (blobs.empty())
        return QString();
    std::stable_sort(blobs.begin(), blobs.end(), [](const Blob& a, const Blob& b) { return a.left < b.left; });

    // Dots and broken strokes back onto their letters.
    size_t i = 0;
    while (i + 1 < blobs.size()) {
        const Blob& a = blobs[i];
        const Blob& b = blobs[i + 1];
        const int cx = (b.left + b.right) / 2;
        const bool stacked = a.left - 1 <= cx && cx <= a.right + 1 && (b.bottom <= a.top + 1 || a.bottom <= b.top + 1);
        const Blob grown{a.left - 1, a.top - 1, a.right + 1, a.bottom + 1};
        const bool touching = intersects(grown, b) && std::min(a.width(), b.width()) <= 3;
        if (stacked || touching) {
            blobs[i] = unite(a, b);
            blobs.erase(blobs.begin() + static_cast<std::ptrdiff_t>(i) + 1);
        } else {
            ++i;
        }
    }

    // Thin strokes running through the whole line and on beyond it are the
    // column rules of a table, not letters.
    const auto isRule = [&](const Blob& blob) {
        if (blob.width() > 4 || blob.top > 0 || blob.bottom < h - 1 || r.top() == 0
            || r.bottom() >= binarised.height() - 1)
            return false;
        const auto inkAcross = [&](int y) {
            const QImage& image = binarised;
            for (int x = blob.left; x <= blob.right; ++x) {
                if (image.pixelColor(r.left() + x, y).value() < 128)
                    return true;
            }
            return false;
        };
        return inkAcross(r.top() - 1) && inkAcross(r.bottom() + 1);
    };
    // Letters whose capital has the same shape take their case from their
    // height against the tallest letter of the line.
    int tallest = 0;
    for (const Blob& blob : blobs) {
        if (!isRule(blob))
            tallest = std::max(tallest, blob.height());
    }
    const QString sameShape = QStringLiteral("cosuvwxz");

    QString text;
    bool hasPrevious = false;
    int prevRight = -100;
    const int spaceGap = std::max(static_cast<int>(0.45 * h), 5);
    const auto appendMatch = [&](const QRect& part) {
        QChar c = matchGlyph(crop.copy(part), templates);
        if (c.isNull())
            return;
        if (tallest > 0 && sameShape.contains(c.toLower()))
            c = part.height() < 0.86 * tallest ? c.toLower() : c.toUpper();
        text.append(c);
    };
    for (const Blob& blob : blobs) {
        if (blob.height() < 4) {
            // A flat stroke at least as wide as a stem is a hyphen or, low
            // on the line, an underscore; other specks are skipped.
            if (blob.width() >= 3 && blob.width() >= 2 * blob.height() && blob.width() <= h) {
                if (hasPrevious && blob.left - prevRight > spaceGap)
                    text.append(QLatin1Char(' '));
                const double middle = (blob.top + blob.bottom) / 2.0;
                text.append(middle > 0.75 * h ? QLatin1Char('_') : QLatin1Char('-'));
                prevRight = blob.right;
                hasPrevious = true;
            }
            continue;
        }
        if (isRule(blob)) {
            text.append(QLatin1String(" | "));
            prevRight = blob.right;
            hasPrevious = false;
            continue;
        }
        if (hasPrevious && blob.left - prevRight > spaceGap)
            text.append(QLatin1Char(' '));
        const int width = blob.width();
        if (width > 1.45 * h) {
            const int half = width / 2;
            appendMatch(QRect(blob.left, blob.top, half, blob.height()));
            appendMatch(QRect(blob.left + half, blob.top, width - half, blob.height()));
        } else {
            appendMatch(QRect(blob.left, blob.top, width, blob.height()));
        }
        prevRight = blob.right;
        hasPrevious = true;
    }
    return cleanRecognizedText(text);
}

QList<RecognizedText> recognizeBoxesText(const QList<QRectF>& boxes, const QImage& binarised,
                                         const QStringList& families)
{
    QList<RecognizedText> runs;
    if (binarised.isNull())
        return runs;
    const QImage mask = binarised.format() == QImage::Format_Grayscale8
        ? binarised : binarised.convertToFormat(QImage::Format_Grayscale8);
    GlyphTemplateCache cache;
    cache.families = families;
    for (const QRectF& box : boxes) {
        const QRect inner = toPixelRect(QRectF(box.x() + 5, box.y() + 4, box.width() - 10, box.height() - 8))
            & mask.rect();
        if (inner.width() < 10 || inner.height() < 8)
            continue;
        std::vector<int> profile(static_cast<size_t>(inner.height()), 0);
        for (int y = 0; y < inner.height(); ++y) {
            const uchar* line = mask.constScanLine(inner.top() + y) + inner.left();
            int count = 0;
            for (int x = 0; x < inner.width(); ++x)
                count += line[x] == 0;
            profile[static_cast<size_t>(y)] = count;
        }
        const int t = inner.width() > 119 ? inner.width() / 40 : 2;
        int y = 0;
        while (y < inner.height()) {
            if (profile[static_cast<size_t>(y)] < t) {
                ++y;
                continue;
            }
            const int start = y;
            while (y < inner.height() && profile[static_cast<size_t>(y)] >= t)
                ++y;
            const int runHeight = y - start;
            if (runHeight <= 5)
                continue;
            const QRect lineRect(inner.left(), inner.top() + start, inner.width(), runHeight);
            const QString text = recognizeTextLine(mask, lineRect, cache.forSize(std::clamp(runHeight, 10, 28)));
            if (!text.isEmpty()) {
                runs.append({QRectF(lineRect), text});
                QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            }
        }
    }
    return runs;
}

QString recognizeRegionText(const QImage& image, const QRectF& rect, const QRectF& viewBox,
                            GlyphTemplateCache& cache)
{
    if (image.isNull())
        return QString();
    const QRect r = mapBoxToImageRect(rect, image, viewBox, 0);
    if (r.width() < 6 || r.height() < 6)
        return QString();
    QImage crop = image.copy(r).convertToFormat(QImage::Format_Grayscale8);
    int histogram[256] = {};
    for (int y = 0; y < crop.height(); ++y) {
        const uchar* line = crop.constScanLine(y);
        for (int x = 0; x < crop.width(); ++x)
            ++histogram[line[x]];
    }
    int darkMode = 0, lightMode = 128, darkCount = 0, lightCount = 0;
    for (int v = 0; v < 128; ++v) {
        if (histogram[v] > histogram[darkMode])
            darkMode = v;
        darkCount += histogram[v];
    }
    for (int v = 128; v < 256; ++v) {
        if (histogram[v] > histogram[lightMode])
            lightMode = v;
        lightCount += histogram[v];
    }
    const int threshold = (darkCount == 0 || lightCount == 0) ? 140 : (darkMode + lightMode) / 2;
    for (int y = 0; y < crop.height(); ++y) {
        uchar* line = crop.scanLine(y);
        for (int x = 0; x < crop.width(); ++x)
            line[x] = line[x] < threshold ? 0 : 255;
    }
    const auto& templates = cache.forSize(std::clamp(crop.height(), 10, 28));
    return recognizeTextLine(crop, crop.rect(), templates);
}

QString cleanRecognizedText(QString text)
{
    text = text.trimmed();
    text.replace(QChar(0x00A0), QLatin1Char(' '));
    while (text.contains(QLatin1String("  ")))
        text.replace(QLatin1String("  "), QLatin1String(" "));
    return text;
}
