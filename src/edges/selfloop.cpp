#include "edges/selfloop.h"

#include "edges/slotside.h"

namespace {

bool isKnownSide(int side)
{
    return side >= SlotLeft && side <= SlotBottom;
}

bool areOpposite(int a, int b)
{
    return (a == SlotLeft && b == SlotRight) || (a == SlotRight && b == SlotLeft)
        || (a == SlotTop && b == SlotBottom) || (a == SlotBottom && b == SlotTop);
}

} // namespace

QList<QPointF> selfLoopRoute(const QPointF& p0, int s0, const QPointF& p1, int s1,
                             const QRectF& entity, int nestIndex)
{
    if (!isKnownSide(s0) || !isKnownSide(s1))
        return {};
    const double k = nestIndex < 0 ? 0.0 : double(nestIndex);
    const double l = entity.left();
    const double t = entity.top();
    const double r = entity.right();
    const double b = entity.bottom();

    QList<QPointF> route{p0};
    if (s0 == s1) {
        const double d = 30.0 + 15.0 * k;
        switch (s0) {
        case SlotLeft: route << QPointF(l - d, p0.y()) << QPointF(l - d, p1.y()); break;
        case SlotRight: route << QPointF(r + d, p0.y()) << QPointF(r + d, p1.y()); break;
        case SlotTop: route << QPointF(p0.x(), t - d) << QPointF(p1.x(), t - d); break;
        default: route << QPointF(p0.x(), b + d) << QPointF(p1.x(), b + d); break;
        }
    } else if (areOpposite(s0, s1)) {
        const double e = 20.0 + 12.0 * k;
        switch (s0) {
        case SlotLeft:
            route << QPointF(l - e, p0.y()) << QPointF(l - e, t - e) << QPointF(r + e, t - e) << QPointF(r + e, p1.y());
            break;
        case SlotRight:
            route << QPointF(r + e, p0.y()) << QPointF(r + e, t - e) << QPointF(l - e, t - e) << QPointF(l - e, p1.y());
            break;
        case SlotTop:
            route << QPointF(p0.x(), t - e) << QPointF(l - e, t - e) << QPointF(l - e, b + e) << QPointF(p1.x(), b + e);
            break;
        default:
            route << QPointF(p0.x(), b + e) << QPointF(l - e, b + e) << QPointF(l - e, t - e) << QPointF(p1.x(), t - e);
            break;
        }
    } else {
        // Adjacent sides: out along the from-side's normal to the corner
        // that lies d beyond both sides, then along to the to-slot.
        const double d = 30.0 + 15.0 * k;
        const bool fromVertical = s0 == SlotTop || s0 == SlotBottom;
        const int verticalSide = fromVertical ? s0 : s1;
        const int horizontalSide = fromVertical ? s1 : s0;
        const double cornerY = verticalSide == SlotTop ? t - d : b + d;
        const double cornerX = horizontalSide == SlotLeft ? l - d : r + d;
        if (fromVertical)
            route << QPointF(p0.x(), cornerY) << QPointF(cornerX, cornerY) << QPointF(cornerX, p1.y());
        else
            route << QPointF(cornerX, p0.y()) << QPointF(cornerX, cornerY) << QPointF(p1.x(), cornerY);
    }
    route << p1;
    return route;
}

int selfLoopHeading(int side, int fromSide, int toSide)
{
    if (!isKnownSide(fromSide) || !isKnownSide(toSide) || (side != fromSide && side != toSide) || fromSide == toSide)
        return 0;
    if (areOpposite(fromSide, toSide))
        return -1; // over the top, or round the left side
    // Adjacent sides: towards the corner they share.
    const int other = side == fromSide ? toSide : fromSide;
    return other == SlotTop || other == SlotLeft ? -1 : 1;
}
