#include "engine/wavefront.h"

bool processingPathAvailable(ProcessingPath path) {
    switch (path) {
    case ProcessingPath::Automatic:
    case ProcessingPath::Reference:
    case ProcessingPath::Sse2Passes:
        return true;
#if defined(__x86_64__) || defined(__i386__)
    case ProcessingPath::Avx2Passes:
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2");
    case ProcessingPath::Avx512Passes:
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
    static const ProcessingPath passes =
        processingPathAvailable(ProcessingPath::Avx512Passes)
            ? ProcessingPath::Avx512Passes
            : (processingPathAvailable(ProcessingPath::Avx2Passes) ? ProcessingPath::Avx2Passes
                                                                   : ProcessingPath::Reference);
    if (m >= kShortestWideBlock && bands > 0)
        return passes;
    return ProcessingPath::Reference;
}

const char* processingPathName(ProcessingPath path) {
    switch (path) {
    case ProcessingPath::Automatic:
        return "automatic";
    case ProcessingPath::Reference:
        return "reference";
    case ProcessingPath::Sse2Passes:
        return "sse2-passes";
    case ProcessingPath::Avx2Passes:
        return "avx2-passes";
    case ProcessingPath::Avx512Passes:
        return "avx512-passes";
    }
    return "?";
}

bool isPassesPath(ProcessingPath path) {
    return path == ProcessingPath::Sse2Passes || path == ProcessingPath::Avx2Passes ||
           path == ProcessingPath::Avx512Passes;
}

void runPasses(ProcessingPath path, const PassesBlock& block) {
    switch (path) {
    case ProcessingPath::Avx512Passes:
        runPassesAvx512(block);
        break;
    case ProcessingPath::Avx2Passes:
        runPassesAvx2(block);
        break;
    default:
        runPassesSse2(block);
        break;
    }
}
