// Helpers for driving an instance the way a host does: opening and closing through the
// effect record, reading texts and state blocks, and writing state blocks byte by byte.
#pragma once

#include "shell/compressor_effect.h"

#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#ifndef _WIN32
#include <time.h>
#endif

inline intptr_t dispatch(AEffect* effect, int32_t opcode, int32_t index = 0, intptr_t value = 0,
                         void* ptr = nullptr, float opt = 0.0f) {
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}

// Milliseconds of processor time the calling thread has used, for bounding how long a call
// holds the lock: unlike the wall clock, it does not grow while other processes on a busy
// machine have the processor. (Windows counts thread time in scheduler ticks, too coarse for
// this, so there it is the wall clock.)
inline double threadMilliseconds() {
#ifdef _WIN32
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
#else
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) * 1e-6;
#endif
}

// How many times longer the time bounds of the lock tests are in a sanitizer build, whose
// allocator and checks make large allocations tens of times slower than a release build's
// (ThreadSanitizer's the most).
#if defined(__SANITIZE_THREAD__)
constexpr double kSanitizerSlowdown = 10;
#elif defined(__SANITIZE_ADDRESS__)
constexpr double kSanitizerSlowdown = 4;
#else
constexpr double kSanitizerSlowdown = 1;
#endif

inline CompressorEffect* instanceOf(AEffect* effect) { return static_cast<CompressorEffect*>(effect->object); }

// A text opcode's answer; the buffer is larger than the host convention so that an overlong
// text would show.
struct TextAnswer {
    intptr_t result;
    std::string text;
};
inline TextAnswer askText(AEffect* effect, int32_t opcode, int32_t index, intptr_t value = 0, float opt = 0.0f) {
    char buffer[512];
    std::memset(buffer, 'x', sizeof(buffer));
    buffer[sizeof(buffer) - 1] = '\0';
    intptr_t result = dispatch(effect, opcode, index, value, buffer, opt);
    return {result, std::string(buffer)};
}
inline std::string parameterName(AEffect* effect, int32_t index) {
    return askText(effect, effGetParamName, index).text;
}
inline std::string parameterDisplay(AEffect* effect, int32_t index) {
    return askText(effect, effGetParamDisplay, index).text;
}

inline std::vector<uint8_t> getChunk(AEffect* effect) {
    void* block = nullptr;
    intptr_t size = dispatch(effect, effGetChunk, 0, 0, &block);
    if (size <= 0 || !block)
        return {};
    const auto* bytes = static_cast<const uint8_t*>(block);
    return std::vector<uint8_t>(bytes, bytes + size);
}

// Hands the host exactly size bytes in their own allocation, so a read past the end is caught
// by the address sanitizer.
inline void setChunk(AEffect* effect, const std::vector<uint8_t>& block, size_t size) {
    std::vector<uint8_t> exact(block.begin(), block.begin() + static_cast<std::ptrdiff_t>(size));
    exact.shrink_to_fit();
    dispatch(effect, effSetChunk, 0, intptr_t(size), size ? exact.data() : nullptr);
}
inline void setChunk(AEffect* effect, const std::vector<uint8_t>& block) { setChunk(effect, block, block.size()); }

// Little-endian block writer for hand-made state blocks.
struct BlockBuilder {
    std::vector<uint8_t> bytes;
    BlockBuilder& i32(int32_t v) {
        for (int i = 0; i < 4; ++i)
            bytes.push_back(uint8_t(uint32_t(v) >> (8 * i)));
        return *this;
    }
    BlockBuilder& f64(double v) {
        uint64_t bits;
        std::memcpy(&bits, &v, sizeof(bits));
        for (int i = 0; i < 8; ++i)
            bytes.push_back(uint8_t(bits >> (8 * i)));
        return *this;
    }
    BlockBuilder& pad(size_t n, uint8_t fill) {
        bytes.insert(bytes.end(), n, fill);
        return *this;
    }
};

struct RecordValues {
    double frequency = 1000, gain = 1, threshold = 1, ratio = 2, knee = 0;
    int32_t attackMs = 15, releaseMs = 150, rmsSizeMs = 5, flags = 17;
};
inline BlockBuilder& appendRecord(BlockBuilder& b, const RecordValues& r) {
    return b.f64(r.frequency)
        .f64(r.gain)
        .f64(r.threshold)
        .f64(r.ratio)
        .f64(r.knee)
        .i32(r.attackMs)
        .i32(r.releaseMs)
        .i32(r.rmsSizeMs)
        .i32(r.flags);
}
