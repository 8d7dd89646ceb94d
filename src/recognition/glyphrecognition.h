#pragma once

// Text recognition by glyph templates: every ink blob of a text line is
// compared with characters rendered from a few fonts at the line's height.
// The alphabet covers identifiers and type names: letters, digits,
// underscore, hyphen, point and parentheses.

#include <QChar>

#include <bitset>
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

// One bit per pixel of a normalised 16 x 24 glyph cell.
using GlyphBits = std::bitset<16 * 24>;

struct GlyphTemplate
{
    QChar character;
    QImage image;      // Grayscale8, the character black on white, not cropped
    // Derived once from image for matching.
    QImage cell;       // normalizeGlyph of image
    double aspect = 0; // ink width / ink height; 0 without ink
    bool hasInk = false;
    GlyphBits dark;    // the dark pixels of cell
    GlyphBits near;    // dark grown by one pixel
};

// Templates of the whole alphabet per family, bold, at pixelSize (clamped
// to 10..28), grouped by family in the given order.
QList<GlyphTemplate> glyphTemplates(int pixelSize, const QStringList& families = defaultGlyphFamilies());

// Templates of one size, rebuilt when another size is asked for.
struct GlyphTemplateCache
{
    QStringList families = defaultGlyphFamilies();
    int pixelSize = -1;
    QList<GlyphTemplate> templates;
    int builds = 0;  // how often the list was built

    const QList<GlyphTemplate>& forSize(int size);
};

// The copy of the smallest rectangle holding every pixel below 128; null
// without such pixels.
QImage inkBoundingRect(const QImage& grey);

// The glyph cropped to its ink and scaled into the middle of a 16 x 24 cell.
QImage normalizeGlyph(const QImage& glyph);

// The character whose template overlaps the glyph best; null when even the
// best overlap is below 0.2. score receives the best overlap (may be null).
QChar matchGlyph(const QImage& glyph, const QList<GlyphTemplate>& templates, double* score = nullptr);

// The text of one line of a binarised image (0 = ink).
QString recognizeTextLine(const QImage& binarised, QRect line, const QList<GlyphTemplate>& templates);

// Text lines inside each box of a binarised image, box by box and top to
// bottom within a box.
QList<RecognizedText> recognizeBoxesText(const QList<QRectF>& boxes, const QImage& binarised,
                                         const QStringList& families = defaultGlyphFamilies());

// The text of one line in a colour rendering showing viewBox; rect is in
// viewBox units.
QString recognizeRegionText(const QImage& image, const QRectF& rect, const QRectF& viewBox,
                            GlyphTemplateCache& cache);

// Trimmed, no-break spaces made plain, runs of spaces collapsed.
QString cleanRecognizedText(QString text);
