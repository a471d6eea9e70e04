// Vector helpers of the pass kernel, for one vector width of doubles (2, 4 or 8 lanes): lane
// shuffles, magnitudes, float rounding as the reference rounds, square roots. Included by one
// file per instruction set; internal linkage throughout.
#pragma once

#include <cfloat>
#include <cstdint>
#include <cstring>
#include <immintrin.h>
#include <utility>

namespace wavefront_kernel {
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

} // namespace
} // namespace wavefront_kernel
