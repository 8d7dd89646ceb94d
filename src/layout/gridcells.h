#pragma once

#include <algorithm>
#include <cmath>

// A cell number of a uniform grid from a double: held within [low, high]
// while still a double, so that a point far off the grid (or a huge one)
// cannot overflow the int it becomes; NaN gives ifUndefined.
inline int heldCell(double cell, int low, int high, int ifUndefined)
{
    if (std::isnan(cell))
        return ifUndefined;
    return static_cast<int>(std::clamp(cell, static_cast<double>(low), static_cast<double>(high)));
}
