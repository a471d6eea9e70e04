// The pass kernel with two lanes (SSE2, the baseline of every x86-64 processor).
#include "engine/pass_kernel_driver.h"

int32_t kernelScratchBytes(int32_t bands) {
    return pass_kernel::chunkScratchBytes(bands);
}

void runKernelSse2(const KernelBlock& block) {
    pass_kernel::runPassKernel<2>(block);
}
