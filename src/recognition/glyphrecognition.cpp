#include "recognition/glyphrecognition.h"

#include "recognition/recognitiongeometry.h"

#include <QCoreApplication>
#include <QFont>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <vector>

const char glyphAlphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-.()";

namespace {

constexpr int CellWidth = 16;
constexpr int CellHeight = 24;

struct Blob
{
    int left, top, right, bottom;
    int pixels = 0;
    bool dotted = false;  // a small piece joined from above
    int width() const { return right - left + 1; }
    int height() const { return bottom - top + 1; }
};

Blob unite(const Blob& a, const Blob& b)
{
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
            std::max(a.bottom, b.bottom), a.pixels + b.pixels};
}

bool intersects(const Blob& a, const Blob& b)
{
    return a.left <= b.right && b.left <= a.right && a.top <= b.bottom && b.top <= a.bottom;
}

// Pixels dark in a normalised cell.
GlyphBits darkPixels(const QImage& cell)
{
    GlyphBits dark;
    for (int y = 0; y < CellHeight; ++y) {
        const uchar* line = cell.constScanLine(y);
        for (int x = 0; x < CellWidth; ++x)
            dark[static_cast<size_t>(y * CellWidth + x)] = line[x] < 140;
    }
    return dark;
}

// The dark pixels and their eight neighbours.
GlyphBits grownPixels(const GlyphBits& dark)
{
    GlyphBits grown = dark;
    for (int y = 0; y < CellHeight; ++y) {
        for (int x = 0; x < CellWidth; ++x) {
            if (!dark[static_cast<size_t>(y * CellWidth + x)])
                continue;
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) {
                    const int nx = x + dx, ny = y + dy;
                    if (nx >= 0 && ny >= 0 && nx < CellWidth && ny < CellHeight)
                        grown[static_cast<size_t>(ny * CellWidth + nx)] = true;
                }
            }
        }
    }
    return grown;
}

// How well two cells agree: the plain overlap (shared dark pixels over all
// dark pixels) averaged with a tolerant one, the share of each cell's dark
// pixels that lie within one pixel of the other's, so that strokes a pixel
// thicker or shifted by scaling still count.
double cellAgreement(const GlyphBits& a, const GlyphBits& aNear, const GlyphBits& b, const GlyphBits& bNear)
{
    const size_t countA = a.count(), countB = b.count();
    if (countA == 0 || countB == 0)
        return 0;
    const size_t inter = (a & b).count();
    const double overlap = double(inter) / double(countA + countB - inter);
    const double tolerant = 0.5 * (double((a & bNear).count()) / countA + double((b & aNear).count()) / countB);
    return 0.5 * (overlap + tolerant);
}

// I and l look alike in most sans faces: inside a word of capitals it is
// an I, inside a word of small letters an l.
QString settleAmbiguousLetters(QString text)
{
    int wordStart = 0;
    for (int i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text.at(i).isLetter())
            continue;
        int upper = 0, lower = 0;
        for (int k = wordStart; k < i; ++k) {
            const QChar c = text.at(k);
            if (c == QLatin1Char('I') || c == QLatin1Char('l'))
                continue;
            upper += c.isUpper();
            lower += c.isLower();
        }
        for (int k = wordStart; k < i; ++k) {
            if (upper > 0 && lower == 0 && text.at(k) == QLatin1Char('l'))
                text[k] = QLatin1Char('I');
            else if (lower > 0 && upper == 0 && text.at(k) == QLatin1Char('I'))
                text[k] = QLatin1Char('l');
        }
        wordStart = i + 1;
    }
    return text;
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
                glyph.dark = darkPixels(glyph.cell);
                glyph.near = grownPixels(glyph.dark);
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
    const GlyphBits a = darkPixels(normalizeGlyph(g));
    const GlyphBits aNear = grownPixels(a);

    double best = 0;
    QChar answer;
    for (const GlyphTemplate& t : templates) {
        double ta = t.aspect;
        GlyphBits b = t.dark, bNear = t.near;
        if (!t.hasInk) {
            // A template made elsewhere, without the derived fields.
            const QImage ink = inkBoundingRect(t.image);
            if (ink.isNull())
                continue;
            ta = inkAspect(ink);
            b = darkPixels(normalizeGlyph(t.image));
            bNear = grownPixels(b);
        }
        if ((ga < 0.42 && ta > 0.75) || (ga > 0.9 && ta < 0.48))
            continue;
        const double s = cellAgreement(a, aNear, b, bNear);
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
            // Specks of two or three pixels only serve as the dots of i
            // and j; they are dropped below unless they join a letter.
            blob.pixels = int(queue.size());
            if (blob.pixels >= 2)
                blobs.push_back(blob);
        }
    }
    std::stable_sort(blobs.begin(), blobs.end(), [](const Blob& a, const Blob& b) { return a.left < b.left; });

    // Dots and broken strokes back onto their letters.
    size_t i = 0;
    while (i + 1 < blobs.size()) {
        const Blob& a = blobs[i];
        const Blob& b = blobs[i + 1];
        const int cx = (b.left + b.right) / 2;
        const bool stacked = a.left - 1 <= cx && cx <= a.right + 1 && (b.bottom <= a.top + 1 || a.bottom <= b.top + 1);
        // Pieces of a broken stroke share columns; a narrow letter standing
        // a pixel beside the next one does not.
        const Blob grown{a.left - 1, a.top - 1, a.right + 1, a.bottom + 1};
        const bool touching = intersects(grown, b) && std::min(a.width(), b.width()) <= 3 && b.left <= a.right;
        if (stacked || touching) {
            const Blob& small = a.pixels <= b.pixels ? a : b;
            const Blob& large = a.pixels <= b.pixels ? b : a;
            const bool dot = stacked && small.bottom <= large.top + 1 && small.pixels * 4 <= large.pixels;
            const bool dotted = a.dotted || b.dotted || dot;
            blobs[i] = unite(a, b);
            blobs[i].dotted = dotted;
            blobs.erase(blobs.begin() + static_cast<std::ptrdiff_t>(i) + 1);
        } else {
            ++i;
        }
    }

    blobs.erase(std::remove_if(blobs.begin(), blobs.end(), [](const Blob& b) { return b.pixels < 4; }), blobs.end());
    if (blobs.empty())
        return QString();

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

    // Spaces and over-wide blobs are judged against the height of the ink,
    // which is the line's height when the line was cut to its ink, but
    // smaller in a taller band such as a table row.
    int inkTop = h, inkBottom = -1;
    for (const Blob& blob : blobs) {
        if (blob.height() >= 4 && !isRule(blob)) {
            inkTop = std::min(inkTop, blob.top);
            inkBottom = std::max(inkBottom, blob.bottom);
        }
    }
    const int lineHeight = inkBottom >= inkTop ? std::min(h, inkBottom - inkTop + 1) : h;

    QString text;
    bool hasPrevious = false;
    int prevRight = -100;
    const int spaceGap = std::max(static_cast<int>(0.45 * lineHeight), 5);
    const auto appendMatch = [&](const QRect& part, bool dotted) {
        QChar c = matchGlyph(crop.copy(part), templates);
        if (c.isNull())
            return;
        if (dotted && (c == QLatin1Char('l') || c == QLatin1Char('I') || c == QLatin1Char('1')))
            c = QLatin1Char('i');
        if (tallest > 0 && sameShape.contains(c.toLower()))
            c = part.height() < 0.86 * tallest ? c.toLower() : c.toUpper();
        // A stem as short as the small letters is an i whose dot was lost.
        if (tallest > 0 && (c == QLatin1Char('l') || c == QLatin1Char('I')) && part.height() < 0.85 * tallest)
            c = QLatin1Char('i');
        text.append(c);
    };
    for (const Blob& blob : blobs) {
        if (blob.height() < 4) {
            // A flat stroke at least as wide as a stem is a hyphen or, low
            // on the line, an underscore; other specks are skipped.
            const bool alone = std::none_of(blobs.begin(), blobs.end(), [&](const Blob& other) {
                return &other != &blob && other.height() >= 4
                    && std::min(other.right, blob.right) - std::max(other.left, blob.left) + 1 > blob.width() / 2;
            });
            if (alone && blob.width() >= 3 && blob.width() >= 2 * blob.height() && blob.width() <= lineHeight) {
                if (hasPrevious && blob.left - prevRight > spaceGap)
                    text.append(QLatin1Char(' '));
                const double middle = (blob.top + blob.bottom) / 2.0;
                text.append(middle > inkTop + 0.75 * lineHeight ? QLatin1Char('_') : QLatin1Char('-'));
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
        if (width > 1.45 * lineHeight) {
            const int half = width / 2;
            appendMatch(QRect(blob.left, blob.top, half, blob.height()), false);
            appendMatch(QRect(blob.left + half, blob.top, width - half, blob.height()), false);
        } else {
            appendMatch(QRect(blob.left, blob.top, width, blob.height()), blob.dotted);
        }
        prevRight = blob.right;
        hasPrevious = true;
    }
    // Strokes and specks alone (rules, dashes, points) spell no name.
    if (std::none_of(text.cbegin(), text.cend(), [](QChar c) { return c.isLetterOrNumber(); }))
        return QString();
    return cleanRecognizedText(settleAmbiguousLetters(text));
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
        int previousEnd = 0;
        while (y < inner.height()) {
            if (profile[static_cast<size_t>(y)] < t) {
                ++y;
                continue;
            }
            int start = y;
            while (y < inner.height() && profile[static_cast<size_t>(y)] >= t)
                ++y;
            if (y - start <= 5)
                continue;
            // Ascenders and descenders put few pixels in a row: the line
            // takes in the sparse rows of ink right above and below it.
            const int reach = std::max(2, (y - start) * 3 / 5);
            for (int k = 0; k < reach && start > previousEnd && profile[static_cast<size_t>(start - 1)] > 0
                            && profile[static_cast<size_t>(start - 1)] < t; ++k)
                --start;
            for (int k = 0; k < reach && y < inner.height() && profile[static_cast<size_t>(y)] > 0
                            && profile[static_cast<size_t>(y)] < t; ++k)
                ++y;
            // Underscores may stand apart just below the letters: a short
            // run close under the line belongs to it.
            const int lookAhead = std::max(2, (y - start) / 4);
            for (int gap = 1; gap <= lookAhead && y + gap < inner.height(); ++gap) {
                if (profile[static_cast<size_t>(y + gap)] < t)
                    continue;
                int end = y + gap;
                while (end < inner.height() && profile[static_cast<size_t>(end)] >= t)
                    ++end;
                if (end - (y + gap) <= 3)
                    y = end;
                break;
            }
            const int runHeight = y - start;
            previousEnd = y;
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
