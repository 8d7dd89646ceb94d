#pragma once

// Geometry shared by the box, text and connector stages of recognition.

#include <QList>
#include <QPointF>
#include <QRect>
#include <QRectF>

class QImage;

// v to the nearest integer, halves away from zero.
int roundHalfAway(double v);

// Smallest rectangle holding all points; (0, 0, 0, 0) for none.
QRectF pointsBoundingRect(const QList<QPointF>& points);

// Whether most points (70 %) lie on the four edges of their bounding
// rectangle, which must be at least 28 wide and 18 high.
bool isRectangleOutline(const QList<QPointF>& points);

// Index of the box nearest to p, when closer than limit; the earlier box
// wins ties; -1 when none qualifies.
int nearestBoxIndex(const QList<QRectF>& boxes, QPointF p, double limit);

// How a candidate box stands to one already kept: nearly the same box (the
// two join), within it with room to spare (the candidate goes), or apart.
enum class CandidateBox { Apart, Joins, Inside };
CandidateBox compareCandidateBox(const QRectF& candidate, const QRectF& kept);

// Euclidean distance from p to the rectangle (0 inside or on its border).
double distanceToRect(const QRectF& rect, QPointF p);

// r in viewBox units as whole pixels of an image showing that viewBox,
// grown by margin and clipped to the image.
QRect mapBoxToImageRect(const QRectF& r, const QImage& image, const QRectF& viewBox, int margin);
QRect mapBoxToImageRect(const QRectF& r, QSize imageSize, const QRectF& viewBox, int margin);

// r taken to whole pixels the way mapBoxToImageRect does, unscaled and
// unclipped.
QRect toPixelRect(const QRectF& r);
