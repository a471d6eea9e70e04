// The pass kernel with four lanes, and the compressor's curve pass; built for AVX2 and called
// only where the processor has it.
#include "engine/band_passes.h"

void runPassesAvx2(const PassesBlock& block) {
    band_passes::runPasses<4>(block);
}

#include "engine/curve_pass.h"

void curveGainsAvx2(const CurveConstants& c, const double* levels, double* gains, int32_t count) {
    curve_pass::curveGains(c, levels, gains, count);
}
