#pragma once

#include <QList>
#include <QPointF>
#include <QRectF>

// Where the slots of one side of an entity stand along that side: each as
// near as it can to where its edge wants to leave, at least a minimum
// spacing apart, within the side less a margin at each end.

constexpr double SlotSpacing = 16.0;

// The margin kept free at each end of a side of the given length: 12 % of
// it, within [4, 12].
double slotSideMargin(double sideLength);

// Positions for the wanted ones (in slot order, each already within
// [lo, hi]): ten passes push neighbours apart to the spacing; when that
// leaves the range although the range is long enough, the passes run again
// holding the last slot within the range before pushing back, so that slots
// bunched near an end stay near it; when that too leaves the range, or the
// range is too short for the spacing, the slots are spread evenly over it.
// One slot keeps its wanted position.
QList<double> spreadSlotPositions(QList<double> wanted, double lo, double hi);

// The point of the given side of box at position p along it; the centre of
// box for no side.
QPointF pointOnSide(const QRectF& box, int side, double p);

// Where along the given side of box the slot of an edge to the entity whose
// rectangle is other wants to stand (a coordinate along the side, not yet
// kept within it): facing the other's centre, or, with meetStraight, when
// the side faces the other rectangle and the two overlap along the side,
// the middle of the overlap, where both ends can meet by a straight line.
// Repeated relationships between two entities meet straight: their routes,
// side by side, then need no bends whose order could cross them; so does a
// relationship alone on its side, which needs no jog then.
double wantedSlotPosition(const QRectF& box, int side, const QRectF& other, bool meetStraight);

// Orders two ends on one side of box by the positions they want (already
// kept within the side) and, between ends that want the same one, by the
// way their routes go: routes that leave the side and turn towards the same
// end of it nest, the one turning nearest the side outermost; others by the
// other end's centre along the side, then across. Negative when end a comes
// first, positive when b does, 0 when nothing tells them apart.
int compareSideEnds(const QRectF& box, int side, double wantedA, const QRectF& otherA, double wantedB,
                    const QRectF& otherB);
