#include "diagram/resizegeometry.h"

QRectF resizeRectByHandle(const QRectF& start, int handle, QPointF delta, QSizeF minimum)
{
    if (handle < 1 || handle > 8)
        return start;

    qreal left = start.left();
    qreal top = start.top();
    qreal right = start.right();
    qreal bottom = start.bottom();
    const qreal dx = delta.x();
    const qreal dy = delta.y();

    const bool movesLeft = handle == 1 || handle == 4 || handle == 6;
    const bool movesRight = handle == 3 || handle == 5 || handle == 8;
    const bool movesTop = handle == 1 || handle == 2 || handle == 3;
    const bool movesBottom = handle == 6 || handle == 7 || handle == 8;
    if (movesLeft)
        left += dx;
    if (movesRight)
        right += dx;
    if (movesTop)
        top += dy;
    if (movesBottom)
        bottom += dy;

    if (right - left < minimum.width()) {
        if (movesLeft)
            left = right - minimum.width();
        else
            right = left + minimum.width();
    }
    if (bottom - top < minimum.height()) {
        if (movesTop)
            top = bottom - minimum.height();
        else
            bottom = top + minimum.height();
    }
    return QRectF(QPointF(left, top), QPointF(right, bottom));
}

Qt::CursorShape resizeCursorForHandle(int handle)
{
    switch (handle) {
    case 1:
    case 8:
        return Qt::SizeFDiagCursor;
    case 3:
    case 6:
        return Qt::SizeBDiagCursor;
    case 2:
    case 7:
        return Qt::SizeVerCursor;
    case 4:
    case 5:
        return Qt::SizeHorCursor;
    default:
        return Qt::ArrowCursor;
    }
}
