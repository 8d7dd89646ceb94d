#pragma once

#include <QList>

// Where the slots of one side of an entity stand along that side: each as
// near as it can to where its edge wants to leave, at least a minimum
// spacing apart, within the side less a margin at each end.

constexpr double SlotSpacing = 16.0;

// The margin kept free at each end of a side of the given length: 12 % of
// it, within [4, 12].
double slotSideMargin(double sideLength);

// Positions for the wanted ones (in slot order, each already within
// [lo, hi]): ten passes push neighbours apart to the spacing; when that
// leaves the range, or the range is too short for the spacing, the slots
// are spread evenly over it. One slot keeps its wanted position.
QList<double> spreadSlotPositions(QList<double> wanted, double lo, double hi);
