#include "shell/ab_slots.h"

#include "shell/compressor_effect.h"
#include "shell/instance_state.h"
#include "shell/state_block.h"

#include <cstring>
#include <new>

namespace {

void appendInt(std::vector<uint8_t>& out, int32_t value) {
    for (int i = 0; i < 4; ++i)
        out.push_back(uint8_t(uint32_t(value) >> (8 * i)));
}

} // namespace

bool switchAbSlot(CompressorEffect& fx) {
    try {
        std::vector<uint8_t> now;
        StateBlockParts parts;
        if (!copyStateBlockParts(fx, now, parts))
            return false;
        const uint8_t* other = parts.other ? parts.other : now.data();
        const size_t otherSize = parts.other ? parts.otherSize : parts.settingSize;
        // The other setting with this one as its other slot.
        std::vector<uint8_t> swapped(other, other + otherSize);
        appendInt(swapped, parts.other ? 1 - parts.activeSlot : 1);
        appendInt(swapped, int32_t(parts.settingSize));
        swapped.insert(swapped.end(), now.data(), now.data() + parts.settingSize);
        loadStateAndTellHost(fx, swapped);
    } catch (const std::bad_alloc&) {
        return false;
    }
    closeEditStep(fx);
    return true;
}

bool copyToOtherSlot(CompressorEffect& fx) {
    try {
        std::vector<uint8_t> now;
        StateBlockParts parts;
        if (!copyStateBlockParts(fx, now, parts))
            return false;
        std::vector<uint8_t> copy(now.data(), now.data() + parts.settingSize);
        LockHolder hold(fx.lock);
        fx.otherSlot.swap(copy);
    } catch (const std::bad_alloc&) {
        return false;
    }
    closeEditStep(fx);
    return true;
}

int32_t activeAbSlot(CompressorEffect& fx) {
    LockHolder hold(fx.lock);
    return fx.activeSlot;
}
