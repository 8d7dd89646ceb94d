#pragma once

// Text recognition by glyph templates: every ink blob of a text line is
// compared with characters rendered from a few fonts at the line's height.
// The alphabet covers identifiers and type names: letters, digits,
// underscore, hyphen, point, parentheses, brackets, comma and colon.

#include <QChar>

#include <vector>

#include <QHash>
#include <QImage>
#include <QList>
#include <QRect>
#include <QRectF>
#include <QString>
#include <QStringList>

#include "recognition/recognizeddiagram.h"

// The characters that can be recognised, in template order.
extern const char glyphAlphabet[];

// The font families the templates are drawn from, in order: the usual
// faces of diagram tools. A missing one is replaced by the font
// substitution of the system.
QStringList defaultGlyphFamilies();

// Ink at its own size, one bit per pixel, row by row (bit x = column x from
// the leftmost ink), placed against the baseline: top is the offset of the
// first row from the last ink row of the small letters (negative above).
struct InkShape
{
    std::vector<quint64> rows;
    std::vector<quint64> near;  // rows grown by one pixel in all directions
    int width = 0;
    int top = 0;
    int count = 0;              // ink pixels
    int height() const { return int(rows.size()); }
    bool isNull() const { return count == 0; }
};

// The ink below 128 of a grey image (or 0 of a mask) inside rect, placed
// against baselineRow; null without ink or when wider than 64 pixels.
InkShape inkShape(const QImage& grey, const QRect& rect, int baselineRow);

// One character of one face, weight and sub-pixel placement.
struct GlyphTemplate
{
    QChar character;
    InkShape shape;    // the ink at its rendered size against the baseline
};

// Templates of every family, grouped by family in the given order, kept
// per letter height.
struct GlyphTemplateCache
{
    QStringList families = defaultGlyphFamilies();
    int builds = 0;  // how often a list was built

    // Templates whose tall letters (or, with xHeight, whose small letters)
    // are inkHeight pixels high, each family at its own pixel size.
    const QList<GlyphTemplate>& forInkHeight(int inkHeight, bool xHeight);
    QHash<int, QList<GlyphTemplate>> byInkHeight;
};

// Templates of every family at the pixel size whose tall letters (small
// letters with xHeight) are inkHeight pixels high.
QList<GlyphTemplate> glyphTemplatesForInkHeight(int inkHeight, bool xHeight,
                                                const QStringList& families = defaultGlyphFamilies());

// The character whose template, at its rendered size and against the same
// baseline, agrees best with the shape; null below 0.2.
QChar matchInkShape(const InkShape& shape, const QList<GlyphTemplate>& templates, double* score = nullptr);

// The text of one line of a binarised image (0 = ink). The templates are
// taken from the cache at the height of the line's letters.
// score receives the mean agreement of the letters read (may be null).
QString recognizeTextLine(const QImage& binarised, QRect line, GlyphTemplateCache& cache, double* score = nullptr);

// Text lines inside each box of a binarised image, box by box and top to
// bottom within a box.
// With grey (the picture the mask was made from, same size), every line
// is read from its own threshold of grey instead of from the mask.
QList<RecognizedText> recognizeBoxesText(const QList<QRectF>& boxes, const QImage& binarised,
                                         const QStringList& families = defaultGlyphFamilies(),
                                         const QImage& grey = QImage());
// ... with templates from a cache the caller keeps.
QList<RecognizedText> recognizeBoxesText(const QList<QRectF>& boxes, const QImage& binarised,
                                         GlyphTemplateCache& cache, const QImage& grey = QImage());

// Grayscale8 crop of rect, 0 for the letters and 255 for their ground:
// dark or, on a filled band, light letters, split halfway between the
// commonest grey and the extreme one (depth 0.5; a larger depth cuts
// closer to the ground, keeping more of the letters' anti-aliased edges).
// Stretches of ink between wide gaps are cut by their own extreme grey.
// All paper when the contrast is low.
QImage binarizeTextLine(const QImage& grey, const QRect& rect, double depth = 0.5);

// The text of one line in a colour rendering showing viewBox; rect is in
// viewBox units.
QString recognizeRegionText(const QImage& image, const QRectF& rect, const QRectF& viewBox,
                            GlyphTemplateCache& cache);

// Trimmed, no-break spaces made plain, runs of spaces collapsed.
QString cleanRecognizedText(QString text);
