// Vector helpers of the pass kernel, for one vector width of doubles (2, 4 or 8 lanes): lane
// shuffles, magnitudes, float rounding as the reference rounds, square roots. Included by one
// file per instruction set; internal linkage throughout.
#pragma once

#include <cfloat>
#include <cstdint>
#include <cstring>
#include <immintrin.h>
#include <utility>

namespace kernel_vectors {
namespace {

template <int W> struct Vectors {
    typedef double Real __attribute__((vector_size(8 * W)));
    typedef int64_t Mask __attribute__((vector_size(8 * W)));
    typedef uint64_t Bits __attribute__((vector_size(8 * W)));
    typedef float Floats __attribute__((vector_size(4 * W)));
};

template <int W> inline typename Vectors<W>::Real broadcast(double x) {
    typename Vectors<W>::Real v;
    for (int t = 0; t < W; ++t)
        v[t] = x;
    return v;
}

// Lanes first, first + step, ... of the pair (low, high), with constant indexes.
template <int first, int step, typename Real, size_t... lane>
inline Real pickLanes(Real low, Real high, std::index_sequence<lane...>) {
    return __builtin_shufflevector(low, high, (first + step * int(lane))...);
}

// Lanes W - shift .. 2W - 1 - shift of the pair (low, high): the lanes move up by shift.
template <int W, int shift>
inline typename Vectors<W>::Real shiftUp(typename Vectors<W>::Real low, typename Vectors<W>::Real high) {
    return pickLanes<W - shift, 1>(low, high, std::make_index_sequence<W>());
}

template <int W> inline typename Vectors<W>::Real magnitude(typename Vectors<W>::Real x) {
    using Bits = typename Vectors<W>::Bits;
    using Real = typename Vectors<W>::Real;
    Bits bits;
    std::memcpy(&bits, &x, sizeof bits);
    bits &= 0x7FFFFFFFFFFFFFFFull;
    Real result;
    std::memcpy(&result, &bits, sizeof result);
    return result;
}

// x held within the float range, as saturatedFloat holds it before rounding.
template <int W> inline typename Vectors<W>::Real heldInFloatRange(typename Vectors<W>::Real x) {
    // In the operand order of the min and max instructions, which return x itself for NaN.
    const typename Vectors<W>::Real below = FLT_MAX < x ? FLT_MAX : x;
    return -FLT_MAX > below ? -FLT_MAX : below;
}

// saturatedFloat, widened back: the value a float array would hold.
template <int W> inline typename Vectors<W>::Real throughFloat(typename Vectors<W>::Real x) {
    using V = Vectors<W>;
    return __builtin_convertvector(__builtin_convertvector(heldInFloatRange<W>(x), typename V::Floats),
                                   typename V::Real);
}

template <int W> inline typename Vectors<W>::Real sqrtOf(typename Vectors<W>::Real x) {
    if constexpr (W == 2)
        return _mm_sqrt_pd(x);
    else if constexpr (W == 4)
        return _mm256_sqrt_pd(x);
    else
        return _mm512_mask_sqrt_pd(x, 0xFF, x); // _mm512_sqrt_pd trips -Wmaybe-uninitialized in GCC 12
}

template <typename Vector, typename Scalar> inline Vector loadVector(const Scalar* from) {
    Vector v;
    std::memcpy(&v, from, sizeof v);
    return v;
}
template <typename Vector, typename Scalar> inline void storeVector(Scalar* to, Vector v) {
    std::memcpy(to, &v, sizeof v);
}

// A stored peak raised by the lanes of a running peak, the way the scalar loops raise it (by a
// comparison, which a NaN never passes).
template <typename Vector> inline double foldPeak(double peak, Vector lanes) {
    for (size_t t = 0; t < sizeof(Vector) / sizeof(double); ++t)
        if (lanes[t] > peak)
            peak = lanes[t];
    return peak;
}

// x rounded to float as the reference rounds it: saturating where the driver saturates (it
// may skip that where no float can overflow, and then plain rounding gives the same bits).
template <int W, bool saturate>
[[gnu::always_inline]] inline typename Vectors<W>::Real roundTrip(typename Vectors<W>::Real x) {
    using V = Vectors<W>;
    if (saturate)
        return throughFloat<W>(x);
    return __builtin_convertvector(__builtin_convertvector(x, typename V::Floats), typename V::Real);
}

// x rounded to float as the reference stores it, in one conversion: what roundTrip gives,
// narrowed again.
template <int W, bool saturate>
[[gnu::always_inline]] inline typename Vectors<W>::Floats toFloat(typename Vectors<W>::Real x) {
    using V = Vectors<W>;
    if (saturate)
        return __builtin_convertvector(heldInFloatRange<W>(x), typename V::Floats);
    return __builtin_convertvector(x, typename V::Floats);
}

} // namespace
} // namespace kernel_vectors
