#include "engine/wavefront.h"

#include <initializer_list>

bool processingPathAvailable(ProcessingPath path) {
    switch (path) {
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

ProcessingPath fastestProcessingPath() {
    static const ProcessingPath fastest = [] {
        for (ProcessingPath path : {ProcessingPath::Avx512, ProcessingPath::Avx2})
            if (processingPathAvailable(path))
                return path;
        return ProcessingPath::Sse2;
    }();
    return fastest;
}

const char* processingPathName(ProcessingPath path) {
    switch (path) {
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
