#pragma once

// The raster road of recognition: an ink mask of the picture, the closed
// rectangles drawn in it (the entity boxes), their text and the connectors
// between them.

#include <QImage>
#include <QList>
#include <QRect>
#include <QRectF>
#include <QStringList>

#include "recognition/glyphrecognition.h"
#include "recognition/recognizeddiagram.h"

// The per-pixel stages work on at most as many pixels as a square of
// this side holds; larger pictures are scaled down to that first, and never
// below this side on their longer side (a wide render keeps its cells and
// rules apart where fitting its longer side would merge them).
constexpr int RasterProcessingSide = 3600;

// The size a picture of this size is worked at.
QSize rasterProcessingSize(const QSize& size);

// Fills result with the boxes, their text and the links; true when at
// least one box was found. More boxes than a diagram may hold
// (filelimits::MaxEntities) are not read on: result stays empty, false
// comes back and refusal (may be null) receives the limit's sentence.
bool recognizeRasterDiagram(const QImage& image, RecognizedDiagram& result,
                            const QStringList& families = defaultGlyphFamilies(), QString* refusal = nullptr);

// Text of the boxes (in the coordinates of a reduced picture of size
// reduced) read from the grey picture at its own size, one crop per box
// thresholded at threshold; the runs come back in reduced coordinates.
QList<RecognizedText> readTextAtFullSize(const QImage& full, const QSize& reduced, const QList<QRectF>& boxes,
                                        int threshold, GlyphTemplateCache& cache);

// Grayscale8 ink mask (0 = ink, 255 = paper): scaled to the processing
// size, inverted when dark, thresholded by Otsu's method and closed.
QImage binarizeImage(QImage image);

// The picture as Grayscale8 at its own size, transparent pixels composed
// over white.
QImage greyOverWhite(const QImage& image);

// A grey image reduced to its processing size (unchanged when it fits):
// smoothly, or with every pixel the darkest of those it covers.
QImage reduceGrey(const QImage& grey, bool darkest);

// Whether the picture is light drawing on a dark ground.
bool isDarkPicture(const QImage& grey);

// Pictures whose ink (below the Otsu threshold) covers more than this
// share may be boxes filled dark on light paper, read inverted.
constexpr double DarkFillInkShare = 0.05;

// Local contrast that makes a pixel ink in the structure mask: this much
// darker than the lightest pixel within two pixels ...
constexpr int StructureContrast = 14;
// ... or this much on tinted paper on which a good share of the picture
// (bodies drawn without an outline) is lighter than the paper.
constexpr int FaintStructureContrast = 8;

// ... when it lies on a straight run (row, column or diagonal) of such
// pixels at least this long.
constexpr int StructureRun = 7;

// The ink boxes and lines are found in: the Otsu threshold, plus the
// straight runs of pixels clearly darker than the paper right around them.
QImage structureInk(QImage grey, bool invert);

// Cells stacked in one column of a table joined into one candidate, then
// the columns of a table (joinTableColumns).
QList<QRectF> joinTableCells(QList<QRectF> candidates);

// Columns of one table: at most this far apart across the rule between
// them (boxes of their own standing close have two outlines between them)
// or overlapping at most this much ...
constexpr double TableColumnGapMost = 1.0;
constexpr double TableColumnOverlapMost = 5.0;
// ... with tops and bottoms within this share of the lower one's height
// (and, stacked cells, left and right sides within this share of the
// narrower one's width).
constexpr double TableColumnEdgeShare = 0.04;
// Cells stacked in one column: at most this far apart, and lower than
// this (or both rows at least this many times as wide as high).
constexpr double TableRowGapMost = 2.0;
constexpr double TableCellHeightBelow = 60.0;
constexpr double TableRowAspect = 4.0;

// Candidates standing side by side with the same top and bottom joined.
QList<QRectF> joinTableColumns(QList<QRectF> candidates);

// The boxes without the patches of plain paper that lines and other boxes
// close off (no ink inside, boxes within 6 pixels on opposite sides).
QList<QRectF> dropPaperBetweenBoxes(const QImage& mask, const QList<QRectF>& boxes);

// The box grown upward over a filled title band drawn right above it.
QRectF extendOverHeaderBand(const QImage& mask, const QRectF& box);

// The first steps of binarizeImage: scaled, inverted when dark and
// thresholded, without closing the gaps.
QImage thresholdImage(QImage image);

// Closes one-pixel gaps in the ink: grows it twice and shrinks it once.
QImage closeInkGaps(QImage mask);

// The Otsu threshold of a 256-bin histogram of pixelCount pixels; 128 when
// no split qualifies.
int otsuThreshold(const qint64 histogram[256], qint64 pixelCount);

// Grayscale8 mask of the paper connected to the image border (255).
QImage outsideMask(const QImage& mask);

// Bounding rectangles of the paper regions of at least 280 pixels that
// the border cannot reach. With seeds (a mask of the same size), a region
// starts only at paper of seeds: the closed mask, so that the slivers
// between the ink before and after closing start no region.
// paperPixels (may be null) receives the pixels of the regions returned.
QList<QRect> findEnclosedRegions(const QImage& mask, const QImage& outside, const QImage& seeds = QImage(),
                                 qint64* paperPixels = nullptr);

// Drops implausible candidates, absorbs duplicates and nested rectangles,
// and joins header cells to the body drawn right below them.
QList<QRectF> mergeCandidateBoxes(QList<QRectF> candidates);
