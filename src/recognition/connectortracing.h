#pragma once

// Links between raster boxes: every piece of ink outside the boxes links
// all the boxes it comes near.

#include <QImage>
#include <QList>
#include <QRectF>

#include "recognition/recognizeddiagram.h"

// One link (smaller index to larger, no line) per pair of boxes reached by
// one connected piece of ink of at least 18 pixels outside the boxes.
QList<RecognizedLink> traceRasterConnectors(const QImage& mask, const QList<QRectF>& boxes);
