#pragma once

#include <cmath>
#include <limits>

/// Rounds to the nearest integer, halves to the even neighbour (the default rounding mode), as every
/// native-to-pixel conversion does. Values beyond the 32-bit range saturate; NaN gives 0.
inline int rnd(double x) {
    const double r = std::nearbyint(x);
    if (!(r == r))
        return 0;
    if (r >= double(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (r <= double(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return int(r);
}
