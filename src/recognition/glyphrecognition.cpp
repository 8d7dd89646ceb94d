#include "recognition/glyphrecognition.h"

#include "recognition/recognitiongeometry.h"

#include <QCoreApplication>
#include <QFont>
#include <QFontInfo>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

const char glyphAlphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-.()[],:";

namespace {

// Text whose letters fill no more rows than this is also read enlarged
// twice; the enlarged reading's agreement counts this much more, since
// smoothed strokes cut from grey never fit a template as closely as crisp
// ones do.
constexpr int SmallTextRows = 9;
constexpr double EnlargedReadingBonus = 0.06;

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

// I and l look alike in most sans faces: inside a word of capitals it is
// an I, inside a word of small letters an l.
QString settleAmbiguousLetters(QString text)
{
    // 0 and 6 look like o in many faces: between small letters they are.
    for (int i = 1; i + 1 < text.size(); ++i) {
        if (text.at(i) != QLatin1Char('0') && text.at(i) != QLatin1Char('6'))
            continue;
        int end = i;
        while (end < text.size() && (text.at(end) == QLatin1Char('0') || text.at(end) == QLatin1Char('6')))
            ++end;
        if (end < text.size() && text.at(i - 1).isLower() && text.at(end).isLower()) {
            for (int k = i; k < end; ++k)
                text[k] = QLatin1Char('o');
        }
        i = end;
    }
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

} // namespace

QStringList defaultGlyphFamilies()
{
    // Arial's metrics, Verdana's shapes and a modern geometric sans: the
    // faces this application ships or installs.
    return {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans"), QStringLiteral("Manrope")};
}

namespace {

// The character drawn black on white with its baseline at ascent + 1,
// shifted right by a fraction of a pixel.
QImage renderCharacter(const QFont& font, QChar c, double shift = 0)
{
    const QFontMetrics metrics(font);
    const int w = std::max(metrics.horizontalAdvance(c), 4);
    const int h = std::max(metrics.height(), 8);
    QImage image(w + 2, h + 2, QImage::Format_Grayscale8);
    image.fill(255);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(QPointF(1 + shift, metrics.ascent() + 1), QString(c));
    return image;
}

// First and last row holding ink below 128; (-1, -1) without ink.
QPair<int, int> inkRows(const QImage& image)
{
    int first = -1, last = -1;
    for (int y = 0; y < image.height(); ++y) {
        const uchar* line = image.constScanLine(y);
        if (std::any_of(line, line + image.width(), [](uchar v) { return v < 128; })) {
            if (first < 0)
                first = y;
            last = y;
        }
    }
    return {first, last};
}

QFont templateFont(const QString& family, int px, QFont::Weight weight)
{
    QFont font(family);
    font.setPixelSize(px);
    font.setWeight(weight);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

// Ink height of the tall letters (d and H) or of the small ones (x).
int letterHeight(const QString& family, int px, bool xHeight)
{
    int height = 0;
    for (const QChar c : xHeight ? QString(QStringLiteral("x")) : QString(QStringLiteral("dH"))) {
        const QPair<int, int> rows = inkRows(renderCharacter(templateFont(family, px, QFont::Normal), c));
        if (rows.first >= 0)
            height = std::max(height, rows.second - rows.first + 1);
    }
    return height;
}

// The pixel size at which the family's letters are inkHeight high.
int pixelSizeForInkHeight(const QString& family, int inkHeight, bool xHeight)
{
    const int reference = 48;
    const int referenceHeight = std::max(letterHeight(family, reference, xHeight), 1);
    const int guess = std::clamp(int(std::lround(double(inkHeight) * reference / referenceHeight)), 6, 72);
    int best = guess, bestError = std::numeric_limits<int>::max();
    for (const int px : {guess, guess - 1, guess + 1}) {
        if (px < 6 || px > 72)
            continue;
        const int error = std::abs(letterHeight(family, px, xHeight) - inkHeight);
        if (error < bestError) {
            bestError = error;
            best = px;
        }
    }
    return best;
}

void appendFamilyTemplates(QList<GlyphTemplate>& templates, const QString& family, int px)
{
    const QString alphabet = QString::fromLatin1(glyphAlphabet);
    // Titles are set bold or semi-bold; a face that has no semi-bold of
    // its own gives its bold for both, drawn once.
    QStringList styles;
    for (const QFont::Weight weight : {QFont::Bold, QFont::DemiBold, QFont::Normal}) {
        const QFont font = templateFont(family, px, weight);
        const QFontInfo info(font);
        const QString style = info.family() + QLatin1Char('/') + info.styleName() + QLatin1Char('/')
            + QString::number(info.weight());
        if (styles.contains(style))
            continue;
        styles.append(style);
        const int baseline = inkRows(renderCharacter(font, QLatin1Char('x'))).second;
        // Text is placed at fractions of a pixel: a stem may fall on one
        // column or straddle two.
        for (const double shift : {0.0, 0.5})
        for (const QChar c : alphabet) {
            GlyphTemplate glyph;
            glyph.character = c;
            const QImage image = renderCharacter(font, c, shift);
            glyph.shape = inkShape(image, image.rect(), baseline);
            templates.append(glyph);
        }
    }
}

} // namespace

QList<GlyphTemplate> glyphTemplatesForInkHeight(int inkHeight, bool xHeight, const QStringList& families)
{
    QList<GlyphTemplate> templates;
    templates.reserve(families.size() * 2 * int(sizeof glyphAlphabet - 1));
    for (const QString& family : families)
        appendFamilyTemplates(templates, family, pixelSizeForInkHeight(family, std::clamp(inkHeight, 4, 60), xHeight));
    return templates;
}

const QList<GlyphTemplate>& GlyphTemplateCache::forInkHeight(int inkHeight, bool xHeight)
{
    const int key = xHeight ? -inkHeight : inkHeight;
    auto it = byInkHeight.find(key);
    if (it == byInkHeight.end()) {
        it = byInkHeight.insert(key, glyphTemplatesForInkHeight(inkHeight, xHeight, families));
        ++builds;
    }
    return it.value();
}

InkShape inkShape(const QImage& grey, const QRect& rect, int baselineRow)
{
    InkShape shape;
    const QRect r = rect & grey.rect();
    if (r.isEmpty() || grey.format() != QImage::Format_Grayscale8)
        return shape;
    int left = r.right() + 1, right = -1, top = r.bottom() + 1, bottom = -1;
    for (int y = r.top(); y <= r.bottom(); ++y) {
        const uchar* line = grey.constScanLine(y);
        for (int x = r.left(); x <= r.right(); ++x) {
            if (line[x] < 128) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    if (right < 0 || right - left + 1 > 60)
        return shape;
    shape.width = right - left + 1;
    shape.top = top - baselineRow;
    shape.rows.assign(static_cast<size_t>(bottom - top + 1), 0);
    for (int y = top; y <= bottom; ++y) {
        const uchar* line = grey.constScanLine(y);
        quint64 bits = 0;
        for (int x = left; x <= right; ++x) {
            if (line[x] < 128) {
                bits |= quint64(1) << (x - left);
                ++shape.count;
            }
        }
        shape.rows[static_cast<size_t>(y - top)] = bits;
    }
    // near: one row more above and below, columns shifted by one so that
    // the column left of the ink has a bit too.
    shape.near.assign(shape.rows.size() + 2, 0);
    for (size_t y = 0; y < shape.rows.size(); ++y) {
        const quint64 row = shape.rows[y];
        const quint64 grown = row | (row << 1) | (row << 2);
        shape.near[y] |= grown;
        shape.near[y + 1] |= grown;
        shape.near[y + 2] |= grown;
    }
    return shape;
}

namespace {

quint64 shifted(quint64 bits, int by)
{
    if (by >= 64 || by <= -64)
        return 0;
    return by >= 0 ? bits << by : bits >> -by;
}

// Agreement of a glyph with a template placed dx columns right of the
// glyph's left edge and dy rows lower than its own baseline offset: plain
// overlap averaged with the share of each one's ink lying within a pixel of
// the other's.
#if defined(__GNUC__)
// Inlined into the variant built for the count instruction, which would
// otherwise call the library's bit count.
__attribute__((always_inline))
#endif
inline double shapeAgreementBody(const InkShape& a, const InkShape& b, int dx, int dy)
{
    const int bTop = b.top + dy;
    int inter = 0, aNearB = 0, bNearA = 0;
    for (int i = 0; i < a.height(); ++i) {
        const int y = a.top + i;
        const quint64 aRow = a.rows[static_cast<size_t>(i)];
        const int j = y - bTop;
        if (j >= 0 && j < b.height())
            inter += __builtin_popcountll(aRow & shifted(b.rows[static_cast<size_t>(j)], dx));
        const int jn = y - (bTop - 1);
        if (jn >= 0 && jn < int(b.near.size()))
            aNearB += __builtin_popcountll(aRow & shifted(b.near[static_cast<size_t>(jn)], dx - 1));
    }
    for (int j = 0; j < b.height(); ++j) {
        const int y = bTop + j;
        const int in = y - (a.top - 1);
        if (in >= 0 && in < int(a.near.size()))
            bNearA += __builtin_popcountll(shifted(b.rows[static_cast<size_t>(j)], dx + 1) & a.near[static_cast<size_t>(in)]);
    }
    const double overlap = double(inter) / double(a.count + b.count - inter);
    const double tolerant = 0.5 * (double(aNearB) / a.count + double(bNearA) / b.count);
    return 0.5 * (overlap + tolerant);
}


// Bit counting is most of the matching: with the processor's own count
// instruction where it has one.
#if defined(__GNUC__) && defined(__x86_64__)
__attribute__((target("popcnt"))) double shapeAgreementPopcnt(const InkShape& a, const InkShape& b, int dx, int dy)
{
    return shapeAgreementBody(a, b, dx, dy);
}

double shapeAgreement(const InkShape& a, const InkShape& b, int dx, int dy)
{
    static const bool hasPopcnt = __builtin_cpu_supports("popcnt");
    return hasPopcnt ? shapeAgreementPopcnt(a, b, dx, dy) : shapeAgreementBody(a, b, dx, dy);
}
#else
double shapeAgreement(const InkShape& a, const InkShape& b, int dx, int dy)
{
    return shapeAgreementBody(a, b, dx, dy);
}
#endif

} // namespace

QChar matchInkShape(const InkShape& shape, const QList<GlyphTemplate>& templates, double* score)
{
    double best = 0;
    QChar answer;
    if (!shape.isNull()) {
        for (const GlyphTemplate& t : templates) {
            const InkShape& b = t.shape;
            if (b.isNull())
                continue;
            const int wide = std::max(shape.width, b.width), high = std::max(shape.height(), b.height());
            if (std::abs(shape.width - b.width) > std::max(2.0, 0.4 * wide)
                || std::abs(shape.height() - b.height()) > std::max(2.0, 0.3 * high)
                || std::abs(shape.top - b.top) > std::max(2.0, 0.3 * high))
                continue;
            const int dx0 = (shape.width - b.width) / 2;
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = dx0 - 1; dx <= dx0 + 1; ++dx) {
                    const double s = shapeAgreement(shape, b, dx, dy);
                    if (s > best) {
                        best = s;
                        answer = t.character;
                    }
                }
            }
        }
    }
    if (score)
        *score = best;
    return best < 0.2 ? QChar() : answer;
}

QString recognizeTextLine(const QImage& binarised, QRect line, GlyphTemplateCache& cache, double* score)
{
    if (score)
        *score = 0;
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
    // Rules and the edges of bands run across the line far wider than any
    // letter; they go first, so that no letter is joined to them.
    const auto isWide = [&](const Blob& b) { return b.width() > 3 * h && b.width() > w / 2; };
    blobs.erase(std::remove_if(blobs.begin(), blobs.end(), isWide), blobs.end());

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

    blobs.erase(std::remove_if(blobs.begin(), blobs.end(), [&](const Blob& b) {
                    return b.pixels < 4 || isWide(b);
                }), blobs.end());
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
    std::vector<Blob> letters;
    for (const Blob& blob : blobs) {
        if (blob.height() >= 4 && !isRule(blob))
            letters.push_back(blob);
    }
    if (letters.empty())
        return QString();

    // The baseline is where most letters end; the tallest letter standing
    // on it gives the height of capitals and ascenders, or of the small
    // letters when the line has none.
    int baseline = letters.front().bottom, votes = -1;
    for (const Blob& candidate : letters) {
        int count = 0;
        for (const Blob& other : letters)
            count += std::abs(other.bottom - candidate.bottom) <= 1;
        if (count > votes || (count == votes && candidate.bottom < baseline)) {
            votes = count;
            baseline = candidate.bottom;
        }
    }
    int tallest = 0, shortest = h;
    for (const Blob& blob : letters) {
        if (std::abs(blob.bottom - baseline) <= 1 && !blob.dotted) {
            tallest = std::max(tallest, baseline - blob.top + 1);
            shortest = std::min(shortest, baseline - blob.top + 1);
        }
    }
    if (tallest == 0)
        tallest = baseline - std::min_element(letters.begin(), letters.end(), [](const Blob& x, const Blob& y) {
                                  return x.top < y.top; })->top + 1;

    // Spaces and flat strokes are judged against the height of the ink.
    int inkTop = h, inkBottom = -1;
    for (const Blob& blob : letters) {
        inkTop = std::min(inkTop, blob.top);
        inkBottom = std::max(inkBottom, blob.bottom);
    }
    const int lineHeight = std::min(h, inkBottom - inkTop + 1);
    // Letters of a word stand a pixel or two apart; a word space is about
    // a third of the capital height.
    const int baseSpaceGap = std::max(3, int(std::lround(0.33 * tallest)));

    // Letters of a fixed-pitch face stand wide apart, the narrow ones (i,
    // l, r) farther still: a word space is then clearly wider than the
    // usual gap between the letters of the line, counted without the
    // sides that narrow letters leave empty. In other faces only i, l, j
    // and t stand a pixel farther off.
    std::vector<int> widths, gaps;
    for (size_t k = 0; k < letters.size(); ++k) {
        widths.push_back(letters[k].width());
        if (k > 0)
            gaps.push_back(letters[k].left - letters[k - 1].right);
    }
    std::nth_element(widths.begin(), widths.begin() + static_cast<std::ptrdiff_t>(widths.size() / 2), widths.end());
    const int typicalWidth = widths[widths.size() / 2];
    int typicalGap = 0;
    if (gaps.size() >= 3) {
        std::nth_element(gaps.begin(), gaps.begin() + static_cast<std::ptrdiff_t>(gaps.size() / 2), gaps.end());
        typicalGap = gaps[gaps.size() / 2];
    }
    // Wide gaps alone do not make a fixed pitch (small text of some faces
    // is set loosely): the letters must also stand at even distances,
    // centre to centre, whatever their widths.
    bool evenPitch = false;
    if (typicalGap * 4 > tallest) {
        std::vector<double> steps;
        for (size_t k = 1; k < letters.size(); ++k) {
            if (letters[k].left - letters[k - 1].right <= 2 * typicalGap)
                steps.push_back(0.5 * (letters[k].left + letters[k].right - letters[k - 1].left - letters[k - 1].right));
        }
        if (steps.size() >= 3) {
            std::nth_element(steps.begin(), steps.begin() + static_cast<std::ptrdiff_t>(steps.size() / 2), steps.end());
            const double step = steps[steps.size() / 2];
            std::vector<double> spread;
            for (const double d : steps)
                spread.push_back(std::abs(d - step));
            std::nth_element(spread.begin(), spread.begin() + static_cast<std::ptrdiff_t>(spread.size() / 2), spread.end());
            evenPitch = spread[spread.size() / 2] <= std::max(1.0, 0.12 * step);
        }
    }
    const bool fixedPitch = evenPitch;
    const auto sidePad = [&](const Blob& blob) {
        if (fixedPitch)
            return std::max(0, (typicalWidth - blob.width()) / 3);
        return blob.width() * 4 <= tallest ? 1 : 0;
    };
    int spaceGap = baseSpaceGap;
    if (fixedPitch) {
        gaps.clear();
        for (size_t k = 1; k < letters.size(); ++k)
            gaps.push_back(letters[k].left - letters[k - 1].right - sidePad(letters[k]) - sidePad(letters[k - 1]));
        std::nth_element(gaps.begin(), gaps.begin() + static_cast<std::ptrdiff_t>(gaps.size() / 2), gaps.end());
        spaceGap = std::max(spaceGap, gaps[gaps.size() / 2] + std::max(2, tallest * 3 / 20));
    }

    const auto read = [&](const QList<GlyphTemplate>& templates, double* total) {
        QString text;
        bool hasPrevious = false;
        int prevPad = 0;
        int prevRight = -100;
        double sum = 0;
        int matched = 0;
        const auto matchPart = [&](const QRect& part, double* score) {
            return matchInkShape(inkShape(crop, part, baseline), templates, score);
        };
        // An o whose right side is open in the middle is a c. Small
        // letters bring the ends of a c close together: only the two
        // middle rows are sure to be open.
        const auto openOnRight = [&](const QRect& part) {
            const int x0 = std::max(part.left(), part.right() - std::max(1, part.width() / 5));
            const int middle = part.top() + part.height() / 2;
            const int first = part.height() < 10 ? middle - 1 : part.top() + part.height() * 2 / 5;
            const int last = part.height() < 10 ? middle : part.top() + part.height() * 3 / 5;
            for (int y = first; y <= last; ++y) {
                for (int x = x0; x <= part.right(); ++x) {
                    if (isInk(x, y))
                        return false;
                }
            }
            return true;
        };
        // ... and a c whose right side is drawn through the middle an o.
        const auto closedOnRight = [&](const QRect& part) {
            const int middle = part.top() + part.height() / 2;
            for (int y = middle - 1; y <= middle; ++y) {
                if (!isInk(part.right(), y) && !isInk(part.right() - 1, y))
                    return false;
            }
            return true;
        };
        const auto settle = [&](QChar c, const QRect& part, bool dotted) {
            if (c == QLatin1Char('o') && part.width() >= 4 && openOnRight(part))
                c = QLatin1Char('c');
            else if (c == QLatin1Char('c') && part.width() >= 4 && closedOnRight(part))
                c = QLatin1Char('o');
            if (dotted && (c == QLatin1Char('l') || c == QLatin1Char('I') || c == QLatin1Char('1')))
                c = QLatin1Char('i');
            // A stem as short as the small letters is an i whose dot was lost.
            if ((c == QLatin1Char('l') || c == QLatin1Char('I')) && part.height() < 0.85 * tallest)
                c = QLatin1Char('i');
            return c;
        };
        for (const Blob& blob : blobs) {
            if (blob.height() < 4) {
                // A flat stroke at least as wide as a stem is a hyphen or,
                // low on the line, an underscore; other specks are skipped.
                const bool alone = std::none_of(blobs.begin(), blobs.end(), [&](const Blob& other) {
                    return &other != &blob && other.height() >= 4
                        && std::min(other.right, blob.right) - std::max(other.left, blob.left) + 1 > blob.width() / 2;
                });
                if (alone && blob.width() >= 3 && blob.width() >= 2 * blob.height() && blob.width() <= lineHeight) {
                    if (hasPrevious && blob.left - prevRight > spaceGap)
                        text.append(QLatin1Char(' '));
                    const double middle = (blob.top + blob.bottom) / 2.0;
                    text.append(middle > baseline - 0.1 * tallest ? QLatin1Char('_') : QLatin1Char('-'));
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
            if (hasPrevious) {
                // Narrow letters (i, l, j, t) stand farther from their
                // neighbours; a gap far wider than a word space parts the
                // columns of a table.
                const int gap = blob.left - prevRight - prevPad - sidePad(blob);
                if (gap > std::max(3 * spaceGap, tallest + 2))
                    text.append(QLatin1String(" | "));
                else if (gap > spaceGap)
                    text.append(QLatin1Char(' '));
            }
            prevPad = sidePad(blob);
            const QRect whole(blob.left, blob.top, blob.width(), blob.height());
            double score = 0;
            QChar c = matchPart(whole, &score);
            if (score < 0.85 && blob.width() >= 0.7 * tallest) {
                // Letters run together: cut off, from the left, the piece
                // that reads best, as long as the pieces read better.
                QString pieces;
                double piecesScore = 0;
                int pieceCount = 0;
                int x = blob.left;
                while (x <= blob.right) {
                    const int remaining = blob.right - x + 1;
                    double bestScore = 0;
                    int bestWidth = remaining;
                    QChar bestChar;
                    const int widest = std::min(remaining, int(1.2 * tallest) + 2);
                    for (int width = std::max(2, tallest / 5); width <= widest; ++width) {
                        if (width < remaining && remaining - width < 2)
                            continue;
                        double s = 0;
                        const QChar p = matchPart(QRect(x, blob.top, width, blob.height()), &s);
                        if (!p.isNull() && s >= bestScore) {
                            bestScore = s;
                            bestWidth = width;
                            bestChar = p;
                        }
                    }
                    if (bestChar.isNull())
                        break;
                    const QRect part(x, blob.top, bestWidth, blob.height());
                    pieces.append(settle(bestChar, part, false));
                    piecesScore += bestScore;
                    ++pieceCount;
                    x += bestWidth;
                }
                // An m or w read whole is not cut into the stems and arches
                // it is made of (r n, r r, v v), which match better only
                // because they are narrower.
                const bool strokesOfWhole = (c == QLatin1Char('m') || c == QLatin1Char('w'))
                    && std::all_of(pieces.cbegin(), pieces.cend(), [](QChar p) {
                           return QStringLiteral("rnvilI1").contains(p);
                       });
                if (x > blob.right && pieceCount > 1 && !strokesOfWhole && piecesScore / pieceCount > score + 0.08) {
                    text.append(pieces);
                    sum += piecesScore;
                    matched += pieceCount;
                    prevRight = blob.right;
                    hasPrevious = true;
                    continue;
                }
            }
            if (!c.isNull()) {
                text.append(settle(c, whole, blob.dotted));
                sum += score;
                ++matched;
            }
            prevRight = blob.right;
            hasPrevious = true;
        }
        *total = matched > 0 ? sum / matched : 0;
        return text;
    };

    double bestScore = 0;
    QString text = read(cache.forInkHeight(tallest, false), &bestScore);
    // Letters all of one height may be small letters only.
    if (shortest >= 0.85 * tallest) {
        double smallScore = 0;
        const QString small = read(cache.forInkHeight(tallest, true), &smallScore);
        if (smallScore > bestScore + 0.02) {
            text = small;
            bestScore = smallScore;
        }
    }
    // Strokes and specks alone (rules, dashes, points) spell no name.
    if (std::none_of(text.cbegin(), text.cend(), [](QChar c) { return c.isLetterOrNumber(); }))
        return QString();
    // A flat stroke standing apart at either end is the edge of a band
    // or a rule, not part of a name.
    text = text.trimmed();
    while (text.size() >= 2 && (text.endsWith(QLatin1String(" _")) || text.endsWith(QLatin1String(" -"))))
        text.chop(2);
    while (text.size() >= 2 && (text.startsWith(QLatin1String("_ ")) || text.startsWith(QLatin1String("- "))))
        text.remove(0, 2);
    if (score)
        *score = bestScore;
    return cleanRecognizedText(settleAmbiguousLetters(text));
}

QImage binarizeTextLine(const QImage& grey, const QRect& rect, double depth)
{
    const QRect r = rect & grey.rect();
    if (r.isEmpty())
        return QImage();
    QImage crop = grey.copy(r).convertToFormat(QImage::Format_Grayscale8);
    const int w = crop.width(), h = crop.height();
    int histogram[256] = {};
    for (int y = 0; y < h; ++y) {
        const uchar* line = crop.constScanLine(y);
        for (int x = 0; x < w; ++x)
            ++histogram[line[x]];
    }
    const int total = w * h;
    const auto percentile = [&](double share) {
        int seen = 0;
        for (int v = 0; v < 256; ++v) {
            seen += histogram[v];
            if (seen > share * total)
                return v;
        }
        return 255;
    };
    // The ground is the commonest grey; the letters are what lies farthest
    // from it, darker or (on a filled band) lighter.
    const int ground = int(std::max_element(histogram, histogram + 256) - histogram);
    const int darkest = percentile(0.02), lightest = percentile(0.98);
    const bool lightText = lightest - ground > ground - darkest + 16;
    if (lightText)
        crop.invertPixels();
    const int paper = lightText ? 255 - ground : ground;

    // Columns of a table may be written in different greys (names dark,
    // types light): each stretch of ink between wide gaps is split
    // halfway between the ground and its own darkest letters.
    std::vector<int> columnDarkest(static_cast<size_t>(w), 255);
    for (int y = 0; y < h; ++y) {
        const uchar* line = crop.constScanLine(y);
        for (int x = 0; x < w; ++x)
            columnDarkest[static_cast<size_t>(x)] = std::min<int>(columnDarkest[static_cast<size_t>(x)], line[x]);
    }
    // The rules between the columns of a table run dark through the whole
    // line: they part stretches and do not set the grey of their letters.
    std::vector<uchar> rule(static_cast<size_t>(w), 0);
    {
        std::vector<int> darkRows(static_cast<size_t>(w), 0);
        for (int y = 0; y < h; ++y) {
            const uchar* line = crop.constScanLine(y);
            for (int x = 0; x < w; ++x)
                darkRows[static_cast<size_t>(x)] += paper - line[x] >= 40;
        }
        for (int x = 0; x < w; ++x)
            rule[static_cast<size_t>(x)] = h >= 8 && darkRows[static_cast<size_t>(x)] * 10 >= h * 9;
    }
    std::vector<int> threshold(static_cast<size_t>(w), -1);
    for (int x = 0; x < w; ++x) {
        if (rule[static_cast<size_t>(x)])
            threshold[static_cast<size_t>(x)] = (paper + columnDarkest[static_cast<size_t>(x)] + 1) / 2;
    }
    const int gapLimit = std::max(4, h / 2);
    int x = 0;
    while (x < w) {
        if (rule[static_cast<size_t>(x)] || paper - columnDarkest[static_cast<size_t>(x)] < 40) {
            ++x;
            continue;
        }
        const int first = x;
        int last = x, gap = 0;
        for (; x < w && gap <= gapLimit && !rule[static_cast<size_t>(x)]; ++x) {
            if (paper - columnDarkest[static_cast<size_t>(x)] >= 40) {
                last = x;
                gap = 0;
            } else {
                ++gap;
            }
        }
        // The darkest grey that a few pixels of the stretch reach.
        int counts[256] = {};
        int inStretch = 0;
        for (int y = 0; y < h; ++y) {
            const uchar* line = crop.constScanLine(y);
            for (int k = first; k <= last; ++k) {
                if (line[k] < paper - 24) {
                    ++counts[line[k]];
                    ++inStretch;
                }
            }
        }
        int letters = 0, seen = 0;
        for (int v = 0; v < 256; ++v) {
            seen += counts[v];
            if (seen > 0.1 * inStretch) {
                letters = v;
                break;
            }
        }
        const int t = int(paper - depth * (paper - letters) + 0.5);
        const int from = std::max(0, first - 1), to = std::min(w - 1, last + 1);
        for (int k = from; k <= to; ++k) {
            if (!rule[static_cast<size_t>(k)])
                threshold[static_cast<size_t>(k)] = t;
        }
        x = last + 1;
    }
    for (int y = 0; y < h; ++y) {
        uchar* line = crop.scanLine(y);
        for (int k = 0; k < w; ++k)
            line[k] = line[k] < threshold[static_cast<size_t>(k)] ? 0 : 255;
    }
    return crop;
}

QList<RecognizedText> recognizeBoxesText(const QList<QRectF>& boxes, const QImage& binarised,
                                         const QStringList& families, const QImage& grey)
{
    GlyphTemplateCache cache;
    cache.families = families;
    return recognizeBoxesText(boxes, binarised, cache, grey);
}

QList<RecognizedText> recognizeBoxesText(const QList<QRectF>& boxes, const QImage& binarised,
                                         GlyphTemplateCache& cache, const QImage& grey)
{
    QList<RecognizedText> runs;
    if (binarised.isNull())
        return runs;
    const QImage mask = binarised.format() == QImage::Format_Grayscale8
        ? binarised : binarised.convertToFormat(QImage::Format_Grayscale8);
    for (const QRectF& box : boxes) {
        const QRect inner = toPixelRect(QRectF(box.x() + 5, box.y() + 4, box.width() - 10, box.height() - 8))
            & mask.rect();
        if (inner.width() < 10 || inner.height() < 8)
            continue;
        // The rules between the columns of a table run down the whole box
        // and would join its lines into one: they are not counted.
        std::vector<int> columnInk(static_cast<size_t>(inner.width()), 0);
        for (int y = 0; y < inner.height(); ++y) {
            const uchar* line = mask.constScanLine(inner.top() + y) + inner.left();
            for (int x = 0; x < inner.width(); ++x)
                columnInk[static_cast<size_t>(x)] += line[x] == 0;
        }
        std::vector<uchar> counted(static_cast<size_t>(inner.width()), 1);
        if (inner.height() >= 40) {
            for (int x = 0; x < inner.width(); ++x)
                counted[static_cast<size_t>(x)] = columnInk[static_cast<size_t>(x)] * 20 < inner.height() * 17;
        }
        std::vector<int> profile(static_cast<size_t>(inner.height()), 0);
        for (int y = 0; y < inner.height(); ++y) {
            const uchar* line = mask.constScanLine(inner.top() + y) + inner.left();
            int count = 0;
            for (int x = 0; x < inner.width(); ++x)
                count += line[x] == 0 && counted[static_cast<size_t>(x)];
            profile[static_cast<size_t>(y)] = count;
        }
        const int t = inner.width() > 119 ? inner.width() / 40 : 2;
        std::vector<QPair<int, int>> lines;  // first row, row past the end
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
            previousEnd = y;
            lines.push_back({start, y});
        }
        for (size_t k = 0; k < lines.size(); ++k) {
            // Descenders, underscores and the lighter edges of anti-aliased
            // letters may fall short of the row count: every line reaches a
            // little farther, never past the middle of the gap to the next.
            int start = lines[k].first, end = lines[k].second;
            const int height = end - start;
            const int above = k > 0 ? (start - lines[k - 1].second) / 2 : start;
            const int below = k + 1 < lines.size() ? (lines[k + 1].first - end) / 2 : inner.height() - end;
            // Nor onto another fill: a band's edge or the body under it.
            const auto groundAt = [&](int row) {
                if (grey.size() != mask.size())
                    return 0;
                int histogram[256] = {};
                const uchar* line = grey.constScanLine(inner.top() + row) + inner.left();
                for (int x = 0; x < inner.width(); ++x)
                    ++histogram[line[x]];
                return int(std::max_element(histogram, histogram + 256) - histogram);
            };
            // Nor onto a rule drawn between rows.
            const int ground = groundAt((start + end) / 2);
            const auto extendsTo = [&](int row) {
                return profile[static_cast<size_t>(row)] * 2 < inner.width()
                    && std::abs(groundAt(row) - ground) <= 24;
            };
            const int up = std::clamp(height * 2 / 5, 0, std::max(above, 0));
            for (int g = 0; g < up && extendsTo(start - 1); ++g)
                --start;
            const int down = std::clamp(height * 2 / 5, 0, std::max(below, 0));
            for (int g = 0; g < down && extendsTo(end); ++g)
                ++end;
            const QRect lineRect(inner.left(), inner.top() + start, inner.width(), end - start);
            QString text;
            if (grey.size() == mask.size()) {
                // Threshold the line by its own ground and letters: fills,
                // bands and anti-aliasing differ from line to line.
                // Anti-aliased letters are thinner or bolder depending on
                // where the grey is cut: the cut whose letters match their
                // templates best wins.
                double best = -1;
                QStringList readings;
                // A row more above and below tells the rules of a table,
                // which run on, from letters.
                const QRect around = lineRect.adjusted(0, -1, 0, 1) & mask.rect();
                const QRect plainWithin = lineRect.translated(-around.topLeft());
                QRect within = plainWithin;
                QImage bestImage, deepImage;
                // Letters only a few pixels high are also read enlarged
                // smoothly before the cut, in which their strokes keep apart.
                const int scales = height <= SmallTextRows ? 2 : 1;
                for (int scale = 1; scale <= scales; ++scale) {
                    QImage source = grey;
                    QRect sourceRect = around, sourceWithin = plainWithin;
                    if (scale > 1) {
                        source = grey.copy(around).scaled(around.width() * scale, around.height() * scale,
                                                          Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
                        sourceRect = source.rect();
                        sourceWithin = QRect(plainWithin.x() * scale, plainWithin.y() * scale,
                                             plainWithin.width() * scale, plainWithin.height() * scale);
                    }
                    for (const double depth : {0.5, 0.4, 0.6}) {
                        const QImage local = binarizeTextLine(source, sourceRect, depth);
                        double score = 0;
                        const QString reading = recognizeTextLine(local, sourceWithin, cache, &score);
                        if (scale > 1)
                            score += EnlargedReadingBonus;
                        if (score > best + 0.01) {
                            best = score;
                            text = reading;
                            bestImage = local;
                            within = sourceWithin;
                        }
                        if (depth == 0.4 && (scale == 1 || bestImage.size() == local.size()))
                            deepImage = local;
                        readings.append(reading);
                    }
                }
                // An underscore is the faintest stroke of a line: one that a
                // deeper cut shows low in a gap between letters is added to
                // the letters of the best cut.
                if (!bestImage.isNull() && bestImage.size() == deepImage.size() && bestImage != deepImage) {
                    QImage joined = bestImage;
                    const int w = joined.width(), h = joined.height();
                    std::vector<uchar> letterColumn(static_cast<size_t>(w), 0);
                    for (int y = 0; y < h; ++y) {
                        const uchar* line = bestImage.constScanLine(y);
                        for (int x = 0; x < w; ++x)
                            letterColumn[static_cast<size_t>(x)] |= line[x] == 0;
                    }
                    bool added = false;
                    const int minimum = std::max(3, within.height() / 3);
                    for (int y = within.top() + within.height() / 2; y <= within.bottom() && y < h; ++y) {
                        const uchar* deep = deepImage.constScanLine(y);
                        const uchar* above = deepImage.constScanLine(std::max(0, y - 2));
                        int x = 0;
                        while (x < w) {
                            if (deep[x] != 0) {
                                ++x;
                                continue;
                            }
                            int end = x;
                            while (end < w && deep[end] == 0)
                                ++end;
                            // Flat: nothing of it two rows higher; in a gap of
                            // the best cut, with letters on both sides.
                            bool flat = end - x >= minimum && end - x <= 3 * within.height();
                            for (int k = x; k < end && flat; ++k)
                                flat = above[k] != 0;
                            for (int k = x; k < end && flat; ++k)
                                flat = !letterColumn[static_cast<size_t>(k)] || k - x < 2 || end - 1 - k < 2;
                            const bool letterLeft = std::any_of(letterColumn.begin(), letterColumn.begin() + x,
                                                                [](uchar v) { return v != 0; });
                            const bool letterRight = std::any_of(letterColumn.begin() + end, letterColumn.end(),
                                                                 [](uchar v) { return v != 0; });
                            if (flat && letterLeft && letterRight) {
                                uchar* line = joined.scanLine(y);
                                for (int k = x; k < end; ++k)
                                    line[k] = 0;
                                added = true;
                            }
                            x = end;
                        }
                    }
                    if (added) {
                        double score = 0;
                        const QString reading = recognizeTextLine(joined, within, cache, &score);
                        if (reading.count(QLatin1Char('_')) > text.count(QLatin1Char('_'))
                            && reading.size() == text.size() && score >= best - 0.02)
                            text = reading;
                    }
                }
                // An underscore seen at one cut where another sees a gap is
                // ink: the flat stroke is the faintest part of a line. So is
                // the dot of an i that another cut runs into its stem.
                const auto fainter = [](QChar seen, QChar other) {
                    return (seen == QLatin1Char('_') && other == QLatin1Char(' '))
                        || (seen == QLatin1Char('i')
                            && (other == QLatin1Char('l') || other == QLatin1Char('I') || other == QLatin1Char('1')));
                };
                for (const QString& reading : qAsConst(readings)) {
                    if (reading.size() != text.size() || reading == text)
                        continue;
                    bool onlyFainter = true;
                    for (int c = 0; c < text.size() && onlyFainter; ++c)
                        onlyFainter = reading.at(c) == text.at(c) || fainter(reading.at(c), text.at(c));
                    if (onlyFainter)
                        text = reading;
                }
            } else {
                text = recognizeTextLine(mask, lineRect, cache);
            }
            if (!text.isEmpty()) {
                // The run keeps the rows its letters fill.
                runs.append({QRectF(inner.left(), inner.top() + lines[k].first, inner.width(), height), text});
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
    return recognizeTextLine(crop, crop.rect(), cache);
}

QString cleanRecognizedText(QString text)
{
    text = text.trimmed();
    text.replace(QChar(0x00A0), QLatin1Char(' '));
    while (text.contains(QLatin1String("  ")))
        text.replace(QLatin1String("  "), QLatin1String(" "));
    return text;
}
