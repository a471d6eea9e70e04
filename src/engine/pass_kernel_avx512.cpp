// The pass kernel with eight lanes; built for AVX-512F and called only where the processor
// has it.
#include "engine/pass_kernel_driver.h"

void runKernelAvx512(const KernelBlock& block) {
    pass_kernel::runPassKernel<8>(block);
}
