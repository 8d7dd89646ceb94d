#pragma once

// The "d" attribute of an SVG path cut into subpaths of mapped points
// (curves and arcs keep only their end points); each subpath is classified
// as a box outline, a header band, a connector or nothing.

#include <QLineF>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QTransform>

// The shapes the SVG reader collects, in drawing coordinates.
struct SvgShapeLists
{
    QList<QRectF> boxes;
    QList<QRectF> headerBands;
    QList<QLineF> segments;
    QList<QList<QPointF>> polylines;
};

// Reads the whole path data under transform and appends to the lists. A
// filled path encloses its area whether or not its subpaths end with Z:
// with filled set, every subpath counts as closed.
void parseSvgPathData(const QString& d, const QTransform& transform, SvgShapeLists& shapes, bool filled = false);
