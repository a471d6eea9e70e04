// Truncation of a double toward zero into int32 that never invokes undefined behaviour:
// values beyond the type's range saturate at its limits and NaN gives 0.
#pragma once

#include <cmath>
#include <cstdint>

inline int32_t truncateToInt32(double x) {
    if (std::isnan(x))
        return 0;
    if (x >= 2147483647.0)
        return INT32_MAX;
    if (x <= -2147483648.0)
        return INT32_MIN;
    return int32_t(x);
}
