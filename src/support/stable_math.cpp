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

// The top 26 significant bits of x: products of two such halves, or of one and 27 bits, are exact.
double high26(double x) {
    return fromBits(bitsOf(x) & ~uint64_t(0x7ffffff));
}

// A fast path answers only where its result cannot differ from the library's. Where they
// answer, the two stay within about 2^-62 of each other (measured with the test's arguments:
// a margin of 2^-62 lets the first wrong answer through). The check below holds back every
// result within 2^-59 |high| of a midpoint between doubles: a half ulp m is at least
// |high| 2^-54, and |low| kRoundingFactor < m leaves m (1 - 1/kRoundingFactor) > 2^-5 m of
// room. About one argument in sixteen goes to the library.
constexpr double kRoundingFactor = 1 + 0x1p-4;

bool roundsSafely(Pair value) {
    return value.high == value.high + value.low * kRoundingFactor;
}

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

// exp(x) = 2^(k/64) exp(r), r = x - k ln2/64, |r| <= ln2/128: a table holds 2^(j/64) for the
// 64 values of k mod 64, and a series of degree 6 gives exp(r) to about 2^-65. Written for a
// short chain of dependent operations: the series in powers of r, the products exact by halves.
bool fastExp(double x, double& result) {
    // Larger arguments lose too much in the library's own reduction to be matched.
    if (!(std::fabs(x) <= 16))
        return false;
    constexpr double kShifter = 0x1.8p52; // adding it rounds to an integer, kept in the low bits
    const double shifted = x * kExpStepsPerUnit + kShifter;
    const double steps = shifted - kShifter;
    const int64_t k = int64_t(bitsOf(shifted) - bitsOf(kShifter));
    const double* power = kExpTable[k & 63];

    // The first difference is exact (x and steps kExpStep1 are within a factor of two, or steps is 0).
    const Pair reduced = twoSum(x - steps * kExpStep1, -steps * kExpStep2);
    const double r = reduced.high;
    const double rLow = reduced.low - steps * kExpStep3;
    const double r2 = r * r;
    const double series =
        r2 * ((0.5 + r * (1.0 / 6)) + r2 * ((1.0 / 24 + r * (1.0 / 120)) + r2 * (1.0 / 720)));

    // 2^(j/64) (1 + r + rLow + series): the large product exactly, by halves.
    const double powerHigh = high26(power[0]), powerLow = power[0] - powerHigh;
    const double rHigh = high26(r), rRest = r - rHigh;
    const Pair sum = fastTwoSum(power[0], powerHigh * rHigh);
    const double low = sum.low + ((powerHigh * rRest + powerLow * r) +
                                  (power[0] * (rLow + (r * rLow + series)) + power[1] * (1 + r)));
    const Pair value = fastTwoSum(sum.high, low);
    if (!roundsSafely(value))
        return false;
    result = value.high * fromBits(uint64_t(1023 + (k >> 6)) << 52);
    return true;
}

// log(x) = e ln2 - ln c + log1p(r), with x = 2^e z, z in [0.6875, 1.375), c from a table near
// 1/z with 26 bits, r = z c - 1 exact as two doubles, |r| < 2^-7.9. Near 1, r = x - 1
// directly, so that the result keeps its relative precision. The series of degree 9 is good to
// about 2^-70.
bool fastLog(double x, double& result) {
    if (!(x >= 0x1p-1000 && x <= 0x1p1000))
        return false; // also zero, negative, infinite and NaN arguments
    double r, rLow = 0, tableHigh = 0, tableLow = 0, exponent = 0;
    if (x > 1 - 0x1p-8 && x < 1 + 0x1p-8) {
        r = x - 1; // exact
    } else {
        constexpr uint64_t kOffset = 0x3fe6000000000000; // 0.6875
        const int64_t e = int64_t(bitsOf(x) - kOffset) >> 52;
        const double z = fromBits(bitsOf(x) - (uint64_t(e) << 52));
        int32_t interval = int32_t((z - 0.6875) * (128 / 0.6875));
        if (interval > 127)
            interval = 127;
        const double* row = kLogTable[interval];
        const double zHigh = high26(z);
        // zHigh c is within 1% of 1, so the difference is exact.
        const Pair reduced = twoSum(zHigh * row[0] - 1, (z - zHigh) * row[0]);
        r = reduced.high;
        rLow = reduced.low;
        tableHigh = row[1];
        tableLow = row[2];
        exponent = double(e);
    }
    const double r2 = r * r, r4 = r2 * r2;
    const double series = r2 * (((-0.5 + r * (1.0 / 3)) + r2 * (-0.25 + r * 0.2)) +
                                r4 * ((-1.0 / 6 + r * (1.0 / 7)) + r2 * (-0.125 + r * (1.0 / 9))));
    // log1p(r + rLow) = r + rLow - r rLow + series, to well below the margin. e ln2 is exact and,
    // unless 0, larger than any ln c.
    const Pair first = fastTwoSum(exponent * kLn2High, tableHigh);
    const Pair second = twoSum(first.high, r);
    const double low = first.low + second.low + (tableLow + exponent * kLn2Low + (rLow - r * rLow + series));
    const Pair value = fastTwoSum(second.high, low);
    if (!roundsSafely(value))
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
