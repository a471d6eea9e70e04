// The wavefront kernel with four lanes; built for AVX2 and called only where the processor has it.
#include "engine/band_passes.h"
#include "engine/wavefront_kernel.h"

void runWavefrontAvx2(const WavefrontGroup& group) {
    wavefront_kernel::runGroup<4>(group);
}

void runPassesAvx2(const PassesBlock& block) {
    band_passes::runPasses<4>(block);
}

#include "engine/curve_pass.h"

void curveGainsAvx2(const CurveConstants& c, const double* levels, double* gains, int32_t count) {
    curve_pass::curveGains(c, levels, gains, count);
}
