#include "support/stable_math.h"

#include "support/stable_math_tables.h"

#include <cstdint>
#include <cstring>

namespace stable_math {
namespace {

using namespace stable_math_tables;

uint64_t bitsOf(double x) {
    uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    return bits;
}

double fromBits(uint64_t bits) {
    double x;
    std::memcpy(&x, &bits, sizeof x);
    return x;
}

// A value held as the sum of two doubles, the second below half an ulp of the first.
struct Pair {
    double high, low;
};

Pair twoSum(double a, double b) {
    const double sum = a + b;
    const double bPart = sum - a;
    return {sum, (a - (sum - bPart)) + (b - bPart)};
}

// Needs |a| >= |b| (or a zero).
Pair fastTwoSum(double a, double b) {
    const double sum = a + b;
    return {sum, b - (sum - a)};
}

// The exact product, by splitting each factor into two halves of 26 bits (no fused multiply-add
// on the SSE2 baseline).
Pair twoProduct(double a, double b) {
    constexpr double kSplitter = 134217729.0; // 2^27 + 1
    const double aScaled = a * kSplitter, bScaled = b * kSplitter;
    const double aHigh = aScaled - (aScaled - a), bHigh = bScaled - (bScaled - b);
    const double aLow = a - aHigh, bLow = b - bHigh;
    const double product = a * b;
    return {product, ((aHigh * bHigh - product) + aHigh * bLow + aLow * bHigh) + aLow * bLow};
}

// Whether every value within relativeError of value.high + value.low rounds to value.high: it
// must stay short of the midpoint towards the next double on the side of value.low.
bool roundsSafely(Pair value, double relativeError) {
    const uint64_t magnitude = bitsOf(std::fabs(value.high));
    constexpr uint64_t kExponentBits = 0x7ff0000000000000, kMantissaBits = 0x000fffffffffffff;
    if (magnitude < (uint64_t(64) << 52) || magnitude >= kExponentBits)
        return false; // zero, tiny or not finite
    double halfUlp = fromBits((magnitude & kExponentBits) - (uint64_t(53) << 52));
    // Below a power of two the doubles are twice as dense.
    const bool towardZero = (value.low < 0) != (value.high < 0);
    if (towardZero && (magnitude & kMantissaBits) == 0)
        halfUlp *= 0.5;
    return halfUlp - std::fabs(value.low) > relativeError * std::fabs(value.high);
}

// Where the fast paths answer, the library's x87 results and their own stay within 2^-63 of
// each other (measured: the first wrong answers appear with margins of 2^-64). These margins
// leave a factor of 16 and send about one argument in forty to the library.
constexpr double kExpMargin = 0x1p-59;
constexpr double kLogMargin = 0x1p-59;

// The x87 precision field set to 64 bits while the object lives.
class FullX87Precision {
public:
    FullX87Precision() {
        __asm__ volatile("fnstcw %0" : "=m"(saved_) : : "memory");
        const uint16_t full = saved_ | 0x300;
        if (full != saved_)
            __asm__ volatile("fldcw %0" : : "m"(full) : "memory");
    }
    ~FullX87Precision() { __asm__ volatile("fldcw %0" : : "m"(saved_) : "memory"); }
    FullX87Precision(const FullX87Precision&) = delete;
    FullX87Precision& operator=(const FullX87Precision&) = delete;

private:
    uint16_t saved_;
};

} // namespace

namespace detail {

// exp(x) = 2^(k/32) exp(r), r = x - k ln2/32, |r| <= ln2/64: a table holds 2^(j/32) for the
// 32 values of k mod 32, and a series of degree 8 gives exp(r) to about 2^-66.
bool fastExp(double x, double& result) {
    // Larger arguments lose too much in the library's own reduction to be matched.
    if (!(std::fabs(x) <= 16))
        return false;
    constexpr double kShifter = 0x1.8p52; // adding it rounds to an integer, kept in the low bits
    const double shifted = x * kExpStepsPerUnit + kShifter;
    const double steps = shifted - kShifter;
    const int64_t k = int64_t(bitsOf(shifted) - bitsOf(kShifter));

    // The first difference is exact (x and steps kExpStep1 are within a factor of two, or steps is 0).
    const Pair reduced = twoSum(x - steps * kExpStep1, -steps * kExpStep2);
    const double r = reduced.high;
    const double rLow = reduced.low - steps * kExpStep3;
    const double series =
        r * r *
        (0.5 + r * (1.0 / 6 + r * (1.0 / 24 + r * (1.0 / 120 +
                                                   r * (1.0 / 720 + r * (1.0 / 5040 + r * (1.0 / 40320)))))));
    // exp(r) = onePlusR + expLow; r^2/2 brings r rLow.
    const Pair onePlusR = fastTwoSum(1.0, r);
    const double expLow = onePlusR.low + (rLow + (r * rLow + series));

    const double* power = kExpTable[k & 31];
    const Pair product = twoProduct(power[0], onePlusR.high);
    const Pair value = fastTwoSum(product.high, product.low + (power[0] * expLow + power[1] * onePlusR.high));
    if (!roundsSafely(value, kExpMargin))
        return false;
    result = value.high * fromBits(uint64_t(1023 + (k >> 5)) << 52);
    return true;
}

// log(x) = e ln2 - ln c + log1p(r), with x = 2^e z, z in [0.6875, 1.375), c from a table near 1/z,
// r = z c - 1 exact as two doubles, |r| < 2^-7.9. Near 1, r = x - 1 directly, so that the result
// keeps its relative precision. The series of degree 11 is good to about 2^-68.
bool fastLog(double x, double& result) {
    if (!(x >= 0x1p-1000 && x <= 0x1p1000))
        return false; // also zero, negative, infinite and NaN arguments
    double r, rLow = 0, tableHigh = 0, tableLow = 0, exponent = 0;
    if (x > 1 - 0x1p-7 && x < 1 + 0x1p-7) {
        r = x - 1; // exact
    } else {
        constexpr uint64_t kOffset = 0x3fe6000000000000; // 0.6875
        const int64_t e = int64_t(bitsOf(x) - kOffset) >> 52;
        const double z = fromBits(bitsOf(x) - (uint64_t(e) << 52));
        int32_t interval = int32_t((z - 0.6875) * (128 / 0.6875));
        if (interval > 127)
            interval = 127;
        const double* row = kLogTable[interval];
        const Pair product = twoProduct(z, row[0]);
        const Pair reduced = twoSum(product.high - 1, product.low); // the difference is exact
        r = reduced.high;
        rLow = reduced.low;
        tableHigh = row[1];
        tableLow = row[2];
        exponent = double(e);
    }
    const double series =
        r * r *
        (-0.5 +
         r * (1.0 / 3 +
              r * (-0.25 +
                   r * (0.2 +
                        r * (-1.0 / 6 +
                             r * (1.0 / 7 + r * (-0.125 + r * (1.0 / 9 + r * (-0.1 + r * (1.0 / 11))))))))));
    // log1p(r + rLow) = r + rLow - r rLow + series, to well below the margin.
    const Pair first = twoSum(exponent * kLn2High, tableHigh);
    const Pair second = twoSum(first.high, r);
    const double low = first.low + second.low + (tableLow + exponent * kLn2Low + (rLow - r * rLow + series));
    const Pair value = fastTwoSum(second.high, low);
    if (!roundsSafely(value, kLogMargin))
        return false;
    result = value.high;
    return true;
}

double libraryExp(double x) {
    FullX87Precision full;
    return std::exp(x);
}

double libraryLog(double x) {
    FullX87Precision full;
    return std::log(x);
}

} // namespace detail

double exp(double x) {
    double result;
    return detail::fastExp(x, result) ? result : detail::libraryExp(x);
}

double log(double x) {
    double result;
    return detail::fastLog(x, result) ? result : detail::libraryLog(x);
}

double pow(double x, double y) {
    FullX87Precision full;
    return std::pow(x, y);
}

} // namespace stable_math
