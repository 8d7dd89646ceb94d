#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <Qt>

// Geometry of the eight-handle resize shared by text items and group frames.
// Handles are numbered as resizeHandleAt numbers them: 1 top-left,
// 2 top-middle, 3 top-right, 4 middle-left, 5 middle-right, 6 bottom-left,
// 7 bottom-middle, 8 bottom-right.

// The rectangle after dragging handle by delta from start. Only the edges the
// handle owns move. A result narrower or lower than minimum is widened or
// heightened from the side that moved, so the opposite edge stays put:
// handles 1, 4 and 6 keep the right edge, the others the left; handles 1, 2
// and 3 keep the bottom edge, the others the top. Handle 0 returns start.
QRectF resizeRectByHandle(const QRectF& start, int handle, QPointF delta, QSizeF minimum);

// The pointer shape over a handle: diagonal, vertical or horizontal arrows,
// the plain arrow for 0.
Qt::CursorShape resizeCursorForHandle(int handle);
