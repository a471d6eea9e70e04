// The pass kernel with four lanes; built for AVX2 and called only where the processor has it.
#include "engine/pass_kernel_driver.h"

void runKernelAvx2(const KernelBlock& block) {
    pass_kernel::runPassKernel<4>(block);
}
