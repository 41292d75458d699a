#pragma once
// Comparison within a few units in the last place, for values whose last
// bits depend on the rounding of a long chain of operations.

#include <cmath>
#include <cstdint>
#include <cstring>

inline bool withinUlps(double a, double b, std::int64_t ulps) {
    if (a == b) {
        return true;
    }
    if (std::isnan(a) || std::isnan(b) || std::signbit(a) != std::signbit(b)) {
        return false;
    }
    std::int64_t ia = 0;
    std::int64_t ib = 0;
    std::memcpy(&ia, &a, sizeof a);
    std::memcpy(&ib, &b, sizeof b);
    return (ia > ib ? ia - ib : ib - ia) <= ulps;
}
