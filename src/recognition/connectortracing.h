#pragma once

// Links between raster boxes: every piece of ink outside the boxes links
// all the boxes it comes near.

#include <QImage>
#include <QList>
#include <QRectF>

#include "recognition/recognizeddiagram.h"

#include <vector>

// Pieces of a connector (dashes, the halves on either side of a label) at
// most twice this many pixels apart are one connector.
constexpr int ConnectorGapReach = 9;

// The pixels within radius (square) of an ink pixel (0 in ink) that is
// not excluded (excluded holds one flag per pixel, row by row).
std::vector<uchar> grownConnectorInk(const QImage& ink, const std::vector<uchar>& excluded, int radius);

// One link (smaller index to larger, no line) per pair of boxes reached by
// one piece of ink of at least 18 pixels outside the boxes, pieces closer
// than the gap above counting as one.
QList<RecognizedLink> traceRasterConnectors(const QImage& mask, const QList<QRectF>& boxes);
