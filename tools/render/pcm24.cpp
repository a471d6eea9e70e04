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
    int64_t i = 0;
    // Four at a time: each sample's bytes in the low three bytes of a word (the last one
    // gathered byte by byte, so nothing past the twelve is read), sign-extended by shifting.
    for (; i + 4 <= samples; i += 4) {
        const unsigned char* at = bytes + 3 * i;
        uint32_t words[4];
        std::memcpy(&words[0], at, 4);
        std::memcpy(&words[1], at + 3, 4);
        std::memcpy(&words[2], at + 6, 4);
        words[3] = uint32_t(at[9]) | uint32_t(at[10]) << 8 | uint32_t(at[11]) << 16;
        const __m128i values =
            _mm_srai_epi32(_mm_slli_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(words)), 8), 8);
        _mm_storeu_ps(out + i, _mm_mul_ps(_mm_cvtepi32_ps(values), _mm_set1_ps(kFromPcm)));
    }
    for (; i < samples; ++i) {
        const unsigned char* at = bytes + 3 * i;
        const int32_t value =
            int32_t(uint32_t(at[0]) << 8 | uint32_t(at[1]) << 16 | uint32_t(at[2]) << 24) >> 8;
        out[i] = float(value) * kFromPcm;
    }
}

void floatToPcm24(const float* samples, int64_t count, unsigned char* bytes) {
    const __m128i lowSample = _mm_set1_epi64x(0xffffff);
    const __m128i highSample = _mm_set1_epi64x(0xffffff000000);
    int64_t i = 0;
    for (; i + 4 <= count; i += 4) {
        // The top 24 bits of each, then two samples side by side in the low six bytes of
        // each 64-bit half.
        const __m128i top = _mm_srli_epi32(scaledFour(samples + i), 8);
        const __m128i pairs =
            _mm_or_si128(_mm_and_si128(top, lowSample), _mm_and_si128(_mm_srli_epi64(top, 8), highSample));
        const uint64_t first = uint64_t(_mm_cvtsi128_si64(pairs));
        const uint64_t second = uint64_t(_mm_cvtsi128_si64(_mm_unpackhi_epi64(pairs, pairs)));
        std::memcpy(bytes + 3 * i, &first, 6);
        std::memcpy(bytes + 3 * i + 6, &second, 6);
    }
    for (; i < count; ++i)
        storeTriple(scaledOne(samples[i]) >> 8, bytes + 3 * i);
}
