// The vectorised passes of one width of the pass kernel, as separate entry points, so that a
// test can hold each against the generic code it must equal. Each width's table lives in a file
// built for that width's instruction set; call one only where processingPathAvailable says so.
#pragma once

#include "engine/band.h"
#include "engine/pass_kernel.h"

#include <cstdint>

struct KernelWidth {
    ProcessingPath path;
    int lanes; // doubles per vector: the passes read and write whole vectors
    // The curve gains of n envelope levels at one band's constants (gains holds n rounded up to
    // whole vectors).
    void (*curve)(const Band& band, const double* levels, int32_t n, double* gains);
    // The RMS levels of n pairs of running sums (left, right); raises the band's detector peak.
    void (*rmsLevels)(Band& band, const double* sums, int32_t n, double* levels);
    // The crossover of up to four splitting bands over n samples, in chunks as the driver runs
    // it: remainder comes in and is replaced by what the last band leaves; band k's signal goes
    // to signal[k].
    void (*crossover)(Band* const* bands, int count, float* const* remainder, float* const (*signal)[2],
                      int32_t n);
};

extern const KernelWidth kSse2Width, kAvx2Width, kAvx512Width;
