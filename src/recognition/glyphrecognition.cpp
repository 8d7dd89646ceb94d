#include "recognition/glyphrecognition.h"

#include <QFont>
#include <QFontInfo>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

const char glyphAlphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-.()[],:";

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

QString cleanRecognizedText(QString text)
{
    text = text.trimmed();
    text.replace(QChar(0x00A0), QLatin1Char(' '));
    while (text.contains(QLatin1String("  ")))
        text.replace(QLatin1String("  "), QLatin1String(" "));
    return text;
}
