#include "engine/wavefront.h"

#include <initializer_list>

bool processingPathAvailable(ProcessingPath path) {
    switch (path) {
    case ProcessingPath::Automatic:
    case ProcessingPath::Reference:
    case ProcessingPath::Sse2:
        return true;
#if defined(__x86_64__) || defined(__i386__)
    case ProcessingPath::Avx2:
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2");
    case ProcessingPath::Avx512:
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx512f");
#endif
    default:
        return false;
    }
}

ProcessingPath widestProcessingPath() {
    static const ProcessingPath widest = [] {
        for (ProcessingPath path : {ProcessingPath::Avx512, ProcessingPath::Avx2})
            if (processingPathAvailable(path))
                return path;
        return ProcessingPath::Sse2;
    }();
    return widest;
}

ProcessingPath chooseProcessingPath(int32_t m, int32_t bands) {
    // Measured with tarnwell-speed: the eight-lane wavefront costs about the same for one to
    // eight bands and overtakes the reference from six; two and four lanes never do.
    constexpr int32_t kShortestWideBlock = 64;
    constexpr int32_t kFewestWideBands = 6;
    static const bool avx512 = processingPathAvailable(ProcessingPath::Avx512);
    if (avx512 && m >= kShortestWideBlock && bands >= kFewestWideBands)
        return ProcessingPath::Avx512;
    return ProcessingPath::Reference;
}

const char* processingPathName(ProcessingPath path) {
    switch (path) {
    case ProcessingPath::Automatic:
        return "automatic";
    case ProcessingPath::Reference:
        return "reference";
    case ProcessingPath::Sse2:
        return "sse2";
    case ProcessingPath::Avx2:
        return "avx2";
    case ProcessingPath::Avx512:
        return "avx512";
    }
    return "?";
}

int32_t wavefrontGroupSize(ProcessingPath path) {
    switch (path) {
    case ProcessingPath::Avx512:
        return 16;
    case ProcessingPath::Avx2:
        return 8;
    default:
        return 4;
    }
}

void runWavefrontGroup(ProcessingPath path, const WavefrontGroup& group) {
    switch (path) {
    case ProcessingPath::Avx512:
        runWavefrontAvx512(group);
        break;
    case ProcessingPath::Avx2:
        runWavefrontAvx2(group);
        break;
    default:
        runWavefrontSse2(group);
        break;
    }
}
