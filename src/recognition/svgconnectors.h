#pragma once

// The links that the connectors of an SVG drawing make between its boxes.

#include <QLineF>
#include <QList>
#include <QPointF>
#include <QRectF>

#include "recognition/recognizeddiagram.h"

// Connector ends within this distance of each other (in user units) meet:
// where bundled connectors join, or a connector drawn in several pieces.
constexpr double SvgJunctionReach = 4.0;

// One link per pair of boxes joined by a connector: a polyline (in the
// direction it was drawn) or a chain of lines drawn end to end, whose two
// ends face the two boxes. Connectors that end where others begin are
// followed through the junction: pieces drawn into it go on along the
// pieces drawn out of it, so that bundled connectors link each box on one
// side of the bundle to each box on the other, never two on the same side.
// Each link's line runs from its first end to its second.
QList<RecognizedLink> traceSvgConnectors(const QList<QList<QPointF>>& polylines, const QList<QLineF>& lines,
                                         const QList<QRectF>& boxes);
