// Natural logarithm and exponential for the compressor's gain curve, written so that a loop
// over a block of samples vectorises: no calls, no branches, and no conversions between
// doubles and 64-bit integers (which plain SSE2 lacks). Both agree with the C library to
// within a unit or two in the last place on their domains, and give the same bits on every
// platform. Callers keep the arguments inside the domains; nothing is checked here.
// Every definition has internal linkage: files built for wider instruction sets include this
// too, and the linker must never hand their copies to baseline code.
#pragma once

#include <cstdint>
#include <cstring>

namespace gain_curve_math {
namespace {

// Real is double or a GCC vector of doubles, Bits the unsigned 64-bit integer of the same
// shape: the wide paths run the very same operations lane by lane.
template <typename Bits, typename Real> inline Bits bitsOf(Real x) {
    Bits bits;
    std::memcpy(&bits, &x, sizeof bits);
    return bits;
}

template <typename Real, typename Bits> inline Real fromBits(Bits bits) {
    Real x;
    std::memcpy(&x, &bits, sizeof x);
    return x;
}

// ln 2 split so that k * kLn2High is exact for |k| < 2^20.
constexpr double kLn2High = 0.6931467056274414;
constexpr double kLn2Low = 4.7493250390316726e-07;
constexpr double kInvLn2 = 1.4426950408889634;

// e^x for x in [-708, 709].
template <typename Real, typename Bits> inline Real expOf(Real x) {
    // k = x / ln 2 rounded to an integer, which also sits in the low bits of the shifted sum.
    const double shifter = 0x1.8p52;
    const Real shifted = x * kInvLn2 + shifter;
    const Real k = shifted - shifter;
    const Real r = (x - k * kLn2High) - k * kLn2Low; // |r| <= 0.3466
    // Taylor series to r^13 (the next term is below 5e-18) by Estrin's scheme.
    const Real r2 = r * r, r4 = r2 * r2, r8 = r4 * r4;
    const Real a0 = 1.0 + r;
    const Real a1 = 1.0 / 2 + r * (1.0 / 6);
    const Real a2 = 1.0 / 24 + r * (1.0 / 120);
    const Real a3 = 1.0 / 720 + r * (1.0 / 5040);
    const Real a4 = 1.0 / 40320 + r * (1.0 / 362880);
    const Real a5 = 1.0 / 3628800 + r * (1.0 / 39916800);
    const Real a6 = 1.0 / 479001600 + r * (1.0 / 6227020800);
    const Real b0 = a0 + r2 * a1;
    const Real b1 = a2 + r2 * a3;
    const Real b2 = a4 + r2 * a5;
    const Real p = (b0 + r4 * b1) + r8 * (b2 + r4 * a6);
    // 2^k: the low bits of the shifted sum hold k; the shift drops everything above them.
    const Real scale = fromBits<Real>((bitsOf<Bits>(shifted) + 1023) << 52);
    return p * scale;
}

// ln x for x in [1, 2^1023).
template <typename Real, typename Bits> inline Real logOf(Real x) {
    // x = 2^e * m with m in [sqrt(1/2), sqrt(2)): offsetting by sqrt(1/2) first puts e in the
    // exponent field (e >= 0 here, so a logical shift will do).
    const Bits bits = bitsOf<Bits>(x);
    const Bits offset = bits - 0x3FE6A09E667F3BCDull;
    const Bits exponentField = offset & 0xFFF0000000000000ull;
    const Real m = fromBits<Real>(bits - exponentField);
    const Real e = fromBits<Real>((exponentField >> 52) | 0x4330000000000000ull) - 0x1p52;
    // ln m = 2 atanh s with s = (m - 1) / (m + 1), |s| <= 0.1716, so s^2 <= 0.0295.
    const Real f = m - 1.0;
    const Real s = f / (2.0 + f);
    const Real z = s * s;
    const Real z2 = z * z, z4 = z2 * z2, z8 = z4 * z4;
    const Real a0 = 1.0 / 3 + z * (1.0 / 5);
    const Real a1 = 1.0 / 7 + z * (1.0 / 9);
    const Real a2 = 1.0 / 11 + z * (1.0 / 13);
    const Real a3 = 1.0 / 15 + z * (1.0 / 17);
    const Real a4 = 1.0 / 19 + z * (1.0 / 21);
    const Real p = ((a0 + z2 * a1) + z4 * (a2 + z2 * a3)) + z8 * (a4 + z2 * (1.0 / 23));
    // 2s = f - s f keeps the leading term exact to the rounding of s f.
    const Real logM = (f - s * f) + 2.0 * s * z * p;
    return e * kLn2High + (logM + e * kLn2Low);
}

inline double exp(double x) {
    return expOf<double, uint64_t>(x);
}
inline double log(double x) {
    return logOf<double, uint64_t>(x);
}

} // namespace
} // namespace gain_curve_math
