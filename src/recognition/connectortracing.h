#pragma once

// Links between raster boxes: every stroke of ink outside the boxes that
// runs up to two or more boxes links them.

#include <QImage>
#include <QList>
#include <QRectF>

#include "recognition/recognizeddiagram.h"

#include <vector>

// Pieces of a connector (dashes, the halves on either side of a label) in
// line with each other and at most twice this many pixels apart are one
// connector.
constexpr int ConnectorGapReach = 6;

// Ink running at least this many pixels straight in one direction is a
// stroke going that way.
constexpr int ConnectorStrokeRun = 5;

// A stroke reaching within this many pixels of a box side, straight in
// front of it, may end at that box.
constexpr int ConnectorTouchReach = 12;

// The ink (0 in ink) that is not excluded (one flag per pixel, row by row),
// with every straight run of at least ConnectorStrokeRun pixels (along a
// row, a column or a diagonal) carried on by radius pixels at both ends.
std::vector<uchar> grownConnectorInk(const QImage& ink, const std::vector<uchar>& excluded, int radius);

// One link (smaller index to larger, no line) per pair of boxes at which
// one piece of ink of at least 18 pixels outside the boxes ends: it crosses
// the band in front of a side (not a corner) up to the box. Pieces of one
// stroke closer than the gap above count as one. Where one piece reaches
// more than two boxes (connectors crossing), its strokes are followed
// through the crossings and link only the boxes at their two ends.
// Boxes closed by lines (closedByLines) are left out: connectors run on
// through them and end at none. gapReach replaces ConnectorGapReach for
// drawings at a larger scale.
QList<RecognizedLink> traceRasterConnectors(const QImage& mask, const QList<QRectF>& boxes,
                                            int gapReach = ConnectorGapReach);

// Whether the sides of the box run on beyond its corners both ways (a
// horizontal side sideways and a vertical side up or down, as thin lines
// from 4 to 14 pixels beyond): a rectangle that connectors close, not a
// table.
// ink: 0 in ink.
bool closedByLines(const QImage& ink, const QRectF& box);

// The gap reach for text lines of this height (the median of a drawing's
// lines): ConnectorGapReach for text of 15 pixels and less, growing with
// the text up to 14.
int connectorGapReachForText(double lineHeight);
