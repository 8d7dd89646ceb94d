#include "layout/slotspread.h"

#include <algorithm>

double slotSideMargin(double sideLength)
{
    return std::clamp(0.12 * sideLength, 4.0, 12.0);
}

QList<double> spreadSlotPositions(QList<double> positions, double lo, double hi)
{
    const qsizetype count = positions.size();
    if (count < 2)
        return positions;
    for (int pass = 0; pass < 10; ++pass) {
        positions[0] = std::max(positions.at(0), lo);
        positions[count - 1] = std::min(positions.at(count - 1), hi);
        for (qsizetype i = 0; i + 1 < count; ++i)
            positions[i + 1] = std::max(positions.at(i) + SlotSpacing, positions.at(i + 1));
        for (qsizetype i = count - 2; i >= 0; --i)
            positions[i] = std::min(positions.at(i + 1) - SlotSpacing, positions.at(i));
    }
    const bool outside = positions.first() < lo - 0.5 || positions.last() > hi + 0.5;
    const bool tooShort = (count - 1) * SlotSpacing - 1.0 > hi - lo;
    if (outside || tooShort) {
        for (qsizetype i = 0; i < count; ++i)
            positions[i] = lo + i * (hi - lo) / (count - 1);
    }
    return positions;
}
