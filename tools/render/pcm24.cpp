#include "render/pcm24.h"

#include <emmintrin.h>

#include <cstring>

namespace {

constexpr float kFromPcm = 1.0f / 8388608.0f; // 2^-23

inline void storeTriple(int32_t value, unsigned char* at) {
    at[0] = static_cast<unsigned char>(value);
    at[1] = static_cast<unsigned char>(value >> 8);
    at[2] = static_cast<unsigned char>(value >> 16);
}

// The 32-bit value libsndfile takes the top 24 bits of, four at a time: full scale and above
// overflow the conversion to 0x80000000 and are set to 0x7fffffff instead; -full scale and
// below, and NaN, stay 0x80000000.
inline __m128i scaledFour(const float* samples) {
    const __m128 scaled = _mm_mul_ps(_mm_loadu_ps(samples), _mm_set1_ps(2147483648.0f));
    const __m128i rounded = _mm_cvtps_epi32(scaled);
    const __m128i over = _mm_castps_si128(_mm_cmpge_ps(scaled, _mm_set1_ps(2147483648.0f)));
    return _mm_or_si128(_mm_andnot_si128(over, rounded), _mm_and_si128(over, _mm_set1_epi32(0x7fffffff)));
}

inline int32_t scaledOne(float sample) {
    const float scaled = sample * 2147483648.0f;
    return scaled >= 2147483648.0f ? 0x7fffffff : _mm_cvtss_si32(_mm_set_ss(scaled));
}

} // namespace

void pcm24ToFloat(const unsigned char* bytes, int64_t samples, float* out) {
    for (int64_t i = 0; i < samples; ++i) {
        const unsigned char* at = bytes + 3 * i;
        // Sign-extended through the top byte of a 32-bit word.
        const int32_t value =
            int32_t(uint32_t(at[0]) << 8 | uint32_t(at[1]) << 16 | uint32_t(at[2]) << 24) >> 8;
        out[i] = float(value) * kFromPcm;
    }
}

void floatToPcm24(const float* samples, int64_t count, unsigned char* bytes) {
    int64_t i = 0;
    alignas(16) int32_t four[4];
    for (; i + 4 <= count; i += 4) {
        _mm_store_si128(reinterpret_cast<__m128i*>(four), _mm_srai_epi32(scaledFour(samples + i), 8));
        for (int k = 0; k < 4; ++k)
            storeTriple(four[k], bytes + 3 * (i + k));
    }
    for (; i < count; ++i)
        storeTriple(scaledOne(samples[i]) >> 8, bytes + 3 * i);
}
