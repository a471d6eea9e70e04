// libFuzzer target for the state block reader: any byte string handed to effSetChunk must
// leave a consistent instance that saves a block which loads back to the same block, and
// the loaded bands must process audio without faults.
// A stored RMS window may ask for a ring of up to 2 GB per band; the heap here refuses any
// block above 16 MB, as a host short of memory would, so the reader and the engine's
// fallback to peak detection are what gets exercised rather than the machine's memory.
#include "shell/ab_slots.h"
#include "shell/compressor_effect.h"
#include "shell/state_block.h"
#include "support/heap_buffer.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

intptr_t dispatch(AEffect* effect, int32_t opcode, intptr_t value, void* ptr) {
    return effect->dispatcher(effect, opcode, 0, value, ptr, 0.0f);
}

std::vector<uint8_t> save(AEffect* effect) {
    void* block = nullptr;
    const intptr_t size = dispatch(effect, effGetChunk, 0, &block);
    if (size <= 0 || !block)
        return {};
    const auto* bytes = static_cast<const uint8_t*>(block);
    return std::vector<uint8_t>(bytes, bytes + size);
}

constexpr size_t kHeapLimit = size_t(16) << 20;

void* limitedReallocate(void* block, size_t size) { return size > kHeapLimit ? nullptr : std::realloc(block, size); }
void* limitedAllocate(size_t size) { return size > kHeapLimit ? nullptr : std::malloc(size); }

void require(bool condition) {
    if (!condition)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    HeapBuffer::setAllocatorForTesting({limitedReallocate, limitedAllocate, std::free});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    AEffect* effect = VSTPluginMain(nullptr);
    if (!effect)
        return 0;
    auto* fx = static_cast<CompressorEffect*>(effect->object);

    // The block in an allocation of exactly its size, so reading past the end is caught.
    std::vector<uint8_t> block(data, data + size);
    dispatch(effect, effSetChunk, intptr_t(size), block.empty() ? nullptr : block.data());

    require(effect->numParams == 12 * fx->bandCount());
    for (int32_t i = 0; i < fx->bandCount(); ++i) {
        const double f = fx->band(i)->frequency();
        require(f >= 20.0 && f <= 24000.0);
    }
    require(std::isfinite(fx->outputGain));
    require(!fx->soloCurrentBand || fx->currentBand < fx->bandCount());

    const std::vector<uint8_t> saved = save(effect);
    const size_t settingSize = 32 + 56 * size_t(fx->bandCount());
    const size_t otherSize = fx->otherSlot.size();
    require(saved.size() == settingSize + (otherSize ? 8 + otherSize : 0));
    require(otherSize == 0 || splitStateBlock(fx->otherSlot.data(), otherSize).settingSize == otherSize);
    AEffect* copy = VSTPluginMain(nullptr);
    if (copy) {
        std::vector<uint8_t> again(saved);
        dispatch(copy, effSetChunk, intptr_t(again.size()), again.data());
        // A block without bands is too short to be read again; every other one reloads as saved.
        if (fx->bandCount() > 0)
            require(save(copy) == saved);
        dispatch(copy, effClose, 0, nullptr);
    }

    // Two switches of the A/B compare bring back this setting, the other one kept.
    if (otherSize && switchAbSlot(*fx) && switchAbSlot(*fx)) {
        const std::vector<uint8_t> back = save(effect);
        require(back.size() >= settingSize && std::memcmp(back.data(), saved.data(), settingSize) == 0);
        require(fx->otherSlot.size() > 0 && activeAbSlot(*fx) == int32_t(saved[settingSize]));
    }

    float left[64], right[64];
    for (int i = 0; i < 64; ++i)
        left[i] = right[i] = (i & 8) ? 0.5f : -0.5f;
    float* inputs[2] = {left, right};
    float outLeft[64], outRight[64];
    float* outputs[2] = {outLeft, outRight};
    effect->processReplacing(effect, inputs, outputs, 64);

    dispatch(effect, effClose, 0, nullptr);
    return 0;
}
