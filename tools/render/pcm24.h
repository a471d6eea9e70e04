// 24-bit little-endian PCM (WAV's) to and from float, as libsndfile converts it with normalised
// floats and clipping, but without its per-sample overheads; the tool reads and writes such
// files raw through libsndfile and converts here. Reading is exact: a 24-bit value v becomes
// v / 2^23. Writing scales by 2^31, rounds to the nearest integer (ties to even, as the
// processor's conversion does), keeps the top 24 bits and clips at full scale: 1.0 and above
// give 0x7fffff, -1.0 and below 0x800000, and so does NaN, as in libsndfile on x86-64.
#pragma once

#include <cstdint>

void pcm24ToFloat(const unsigned char* bytes, int64_t samples, float* out);
void floatToPcm24(const float* samples, int64_t count, unsigned char* bytes);
