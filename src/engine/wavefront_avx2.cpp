// The wavefront kernel with four lanes; built for AVX2 and called only where the processor has it.
#include "engine/wavefront_kernel.h"

void runWavefrontAvx2(const WavefrontGroup& group) {
    wavefront_kernel::runGroup<4>(group);
}

#include "engine/curve_pass.h"

void curveGainsAvx2(const CurveConstants& c, const double* levels, double* gains, int32_t count) {
    curve_pass::curveGains(c, levels, gains, count);
}
