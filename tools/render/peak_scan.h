// The largest magnitude among float samples and how many lie beyond full scale (magnitude
// above 1, which an integer file cannot hold): what a batch's summary shows of every file, on
// every sample it reads and writes. A NaN is neither a peak nor beyond full scale; infinity is
// both. The generic version is the reference; the AVX2 one, used where the processor has it,
// gives the same results.
#pragma once

#include <cstdint>

struct PeakScan {
    float peak = 0;            // a magnitude, never negative
    int64_t overFullScale = 0; // samples
};

// Adds `count` samples to `scan`: whichever version the processor runs fastest.
void scanPeaks(const float* samples, int64_t count, PeakScan& scan);

void scanPeaksGeneric(const float* samples, int64_t count, PeakScan& scan);
// False, with `scan` untouched, where the processor has no AVX2.
bool scanPeaksAvx2(const float* samples, int64_t count, PeakScan& scan);
