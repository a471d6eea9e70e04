#include "engine/pass_kernel.h"

bool processingPathAvailable(ProcessingPath path) {
    switch (path) {
    case ProcessingPath::Automatic:
    case ProcessingPath::Reference:
    case ProcessingPath::Sse2Kernel:
        return true;
#if defined(__x86_64__) || defined(__i386__)
    case ProcessingPath::Avx2Kernel:
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2");
    case ProcessingPath::Avx512Kernel:
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx512f");
#endif
    default:
        return false;
    }
}

ProcessingPath chooseProcessingPath(int32_t m, int32_t bands) {
    // Measured with tarnwell-speed (four to sixteen bands): the pass kernel with AVX-512 or
    // AVX2 is faster than the reference; in sub-blocks of eight samples it is no faster than
    // the reference, and with SSE2 alone it is slower.
    constexpr int32_t kShortestWideBlock = 16;
    static const ProcessingPath kernel =
        processingPathAvailable(ProcessingPath::Avx512Kernel)
            ? ProcessingPath::Avx512Kernel
            : (processingPathAvailable(ProcessingPath::Avx2Kernel) ? ProcessingPath::Avx2Kernel
                                                                   : ProcessingPath::Reference);
    if (m >= kShortestWideBlock && bands > 0)
        return kernel;
    return ProcessingPath::Reference;
}

const char* processingPathName(ProcessingPath path) {
    switch (path) {
    case ProcessingPath::Automatic:
        return "automatic";
    case ProcessingPath::Reference:
        return "reference";
    case ProcessingPath::Sse2Kernel:
        return "sse2-kernel";
    case ProcessingPath::Avx2Kernel:
        return "avx2-kernel";
    case ProcessingPath::Avx512Kernel:
        return "avx512-kernel";
    }
    return "?";
}

bool isKernelPath(ProcessingPath path) {
    return path == ProcessingPath::Sse2Kernel || path == ProcessingPath::Avx2Kernel ||
           path == ProcessingPath::Avx512Kernel;
}

void runPassKernel(ProcessingPath path, const KernelBlock& block) {
    switch (path) {
    case ProcessingPath::Avx512Kernel:
        runKernelAvx512(block);
        break;
    case ProcessingPath::Avx2Kernel:
        runKernelAvx2(block);
        break;
    default:
        runKernelSse2(block);
        break;
    }
}
