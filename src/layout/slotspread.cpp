#include "layout/slotspread.h"

#include "edges/slotside.h"

#include <algorithm>
#include <cmath>

double slotSideMargin(double sideLength)
{
    return std::clamp(0.12 * sideLength, 4.0, 12.0);
}

namespace {

// Ten passes pushing neighbours apart to the spacing, the first and last
// held within [lo, hi] at the start of each pass and, with settle, the last
// once more between the forward and the backward sweep (without it, slots
// bunched near the high end are pushed past it by every forward sweep).
void pushSlotsApart(QList<double>& positions, double lo, double hi, bool settle)
{
    const qsizetype count = positions.size();
    for (int pass = 0; pass < 10; ++pass) {
        positions[0] = std::max(positions.at(0), lo);
        positions[count - 1] = std::min(positions.at(count - 1), hi);
        for (qsizetype i = 0; i + 1 < count; ++i)
            positions[i + 1] = std::max(positions.at(i) + SlotSpacing, positions.at(i + 1));
        if (settle)
            positions[count - 1] = std::min(positions.at(count - 1), hi);
        for (qsizetype i = count - 2; i >= 0; --i)
            positions[i] = std::min(positions.at(i + 1) - SlotSpacing, positions.at(i));
    }
}

bool outsideRange(const QList<double>& positions, double lo, double hi)
{
    return positions.first() < lo - 0.5 || positions.last() > hi + 0.5;
}

} // namespace

QList<double> spreadSlotPositions(QList<double> positions, double lo, double hi)
{
    const qsizetype count = positions.size();
    if (count < 2)
        return positions;
    const QList<double> wanted = positions;
    pushSlotsApart(positions, lo, hi, false);
    const bool tooShort = (count - 1) * SlotSpacing - 1.0 > hi - lo;
    if (outsideRange(positions, lo, hi) && !tooShort) {
        // Room enough: the passes only failed to settle against the high
        // end. Settled there, the slots stay near where they want to be.
        positions = wanted;
        pushSlotsApart(positions, lo, hi, true);
    }
    if (outsideRange(positions, lo, hi) || tooShort) {
        for (qsizetype i = 0; i < count; ++i)
            positions[i] = lo + i * (hi - lo) / (count - 1);
    }
    return positions;
}

namespace {

bool alongSideY(int side)
{
    return side != SlotTop && side != SlotBottom;
}

// Which way a route from the side to other turns once it has left the
// side: -1 towards the low end of the side, 1 towards the high end, 0 when
// other lies (partly) in front of the side.
int turnOf(const QRectF& box, int side, const QRectF& other)
{
    const bool alongY = alongSideY(side);
    const double otherLow = alongY ? other.top() : other.left();
    const double otherHigh = alongY ? other.bottom() : other.right();
    if (otherHigh <= (alongY ? box.top() : box.left()))
        return -1;
    if (otherLow >= (alongY ? box.bottom() : box.right()))
        return 1;
    return 0;
}

// How far beyond the side the centre of other lies.
double distanceOut(const QRectF& box, int side, const QRectF& other)
{
    const QPointF c = other.center();
    switch (side) {
    case SlotLeft:
        return box.left() - c.x();
    case SlotRight:
        return c.x() - box.right();
    case SlotTop:
        return box.top() - c.y();
    default:
        return c.y() - box.bottom();
    }
}

} // namespace

double wantedSlotPosition(const QRectF& box, int side, const QRectF& other, bool meetStraight)
{
    const bool alongY = alongSideY(side);
    bool facing = false;
    switch (side) {
    case SlotLeft:
        facing = other.right() <= box.left();
        break;
    case SlotRight:
        facing = other.left() >= box.right();
        break;
    case SlotTop:
        facing = other.bottom() <= box.top();
        break;
    case SlotBottom:
        facing = other.top() >= box.bottom();
        break;
    default:
        break;
    }
    const double low = alongY ? std::max(box.top(), other.top()) : std::max(box.left(), other.left());
    const double high = alongY ? std::min(box.bottom(), other.bottom()) : std::min(box.right(), other.right());
    if (meetStraight && facing && high > low)
        return (low + high) / 2.0;
    return alongY ? other.center().y() : other.center().x();
}

int compareSideEnds(const QRectF& box, int side, double wantedA, const QRectF& otherA, double wantedB,
                    const QRectF& otherB)
{
    if (std::abs(wantedA - wantedB) > 1e-6)
        return wantedA < wantedB ? -1 : 1;
    const int turn = turnOf(box, side, otherA);
    if (turn != 0 && turn == turnOf(box, side, otherB)) {
        // Nested: towards the low end the nearest turn comes first, towards
        // the high end last.
        const double da = distanceOut(box, side, otherA);
        const double db = distanceOut(box, side, otherB);
        if (std::abs(da - db) > 1e-6)
            return (da < db) == (turn < 0) ? -1 : 1;
    }
    const bool alongY = alongSideY(side);
    const QPointF ca = otherA.center();
    const QPointF cb = otherB.center();
    const double mainA = alongY ? ca.y() : ca.x();
    const double mainB = alongY ? cb.y() : cb.x();
    if (std::abs(mainA - mainB) > 1e-9)
        return mainA < mainB ? -1 : 1;
    const double crossA = alongY ? ca.x() : ca.y();
    const double crossB = alongY ? cb.x() : cb.y();
    if (std::abs(crossA - crossB) > 1e-9)
        return crossA < crossB ? -1 : 1;
    return 0;
}

QPointF pointOnSide(const QRectF& box, int side, double p)
{
    switch (side) {
    case SlotLeft:
        return QPointF(box.left(), p);
    case SlotRight:
        return QPointF(box.right(), p);
    case SlotTop:
        return QPointF(p, box.top());
    case SlotBottom:
        return QPointF(p, box.bottom());
    default:
        return box.center();
    }
}
