#include "shell/state_block.h"

#include "engine/compressor.h"
#include "engine/compressor_rules.h"
#include "shell/compressor_effect.h"

#include <cmath>
#include <cstring>
#include <new>

namespace {

// Flags word of a band record. Bypassed is inverted: an active band stores it clear.
constexpr uint32_t kFlagAutoMakeupGain = 1;
constexpr uint32_t kFlagProgramDependentRelease = 2;
constexpr uint32_t kFlagFeedbackDetector = 4;
constexpr uint32_t kFlagBypassed = 8;
constexpr uint32_t kFlagLogScaleAutomation = 16;

// The graph's view flags, after the solo field (blocks of older versions end before them).
constexpr uint32_t kViewAnalyzer = 1;
constexpr uint32_t kViewGainCurve = 2;

// Blocks of this size or less are not even looked at.
constexpr int64_t kMinimumBlockSize = 48;

// Appends little-endian fields to a buffer sized in advance.
class BlockWriter {
public:
    explicit BlockWriter(uint8_t* bytes) : at_(bytes) {}
    void putInt(int32_t value) { putBytes(uint32_t(value), 4); }
    void putBytes(const uint8_t* bytes, size_t count) {
        std::memcpy(at_, bytes, count);
        at_ += count;
    }
    void putReal(double value) {
        uint64_t bits;
        std::memcpy(&bits, &value, sizeof(bits));
        putBytes(bits, 8);
    }

private:
    void putBytes(uint64_t bits, int count) {
        for (int i = 0; i < count; ++i)
            *at_++ = uint8_t(bits >> (8 * i));
    }
    uint8_t* at_;
};

int32_t readInt(const uint8_t* at) {
    uint32_t bits = 0;
    for (int i = 0; i < 4; ++i)
        bits |= uint32_t(at[i]) << (8 * i);
    return int32_t(bits);
}

double readReal(const uint8_t* at) {
    uint64_t bits = 0;
    for (int i = 0; i < 8; ++i)
        bits |= uint64_t(at[i]) << (8 * i);
    double value;
    std::memcpy(&value, &bits, sizeof(value));
    return value;
}

// A stored real, or the fallback when the stored value is NaN or infinite.
double finiteOr(double value, double fallback) {
    return std::isfinite(value) ? value : fallback;
}

uint32_t flagsOf(const BandSettings& s) {
    return (s.autoMakeupGain ? kFlagAutoMakeupGain : 0u) |
           (s.programDependentRelease ? kFlagProgramDependentRelease : 0u) |
           (s.feedbackDetector ? kFlagFeedbackDetector : 0u) | (s.active ? 0u : kFlagBypassed) |
           (s.logScaleAutomation ? kFlagLogScaleAutomation : 0u);
}

void writeBand(BlockWriter& out, double frequency, const BandSettings& s) {
    out.putReal(frequency);
    out.putReal(s.gain);
    out.putReal(s.threshold);
    out.putReal(s.ratio);
    out.putReal(s.knee);
    out.putInt(s.attackMs);
    out.putInt(s.releaseMs);
    out.putInt(s.rmsSizeMs);
    out.putInt(int32_t(flagsOf(s)));
}

// A band built from the first 56 bytes of a record; null when out of memory.
Band* readBand(const uint8_t* record, double sampleRate, RmsRingBudget* budget) {
    const BandSettings defaults;
    Band* band = createBand(clampBandFrequency(finiteOr(readReal(record), kMaxBandFrequency)), budget);
    if (!band)
        return nullptr;
    BandSettings& s = band->settings;
    // A negative gain or threshold would play the band inverted while its display shows
    // silence: floored at silence, as the parameters do.
    s.gain = std::fmax(finiteOr(readReal(record + 8), defaults.gain), 0.0);
    s.threshold = std::fmax(finiteOr(readReal(record + 16), defaults.threshold), 0.0);
    s.ratio = finiteOr(readReal(record + 24), defaults.ratio);
    s.knee = finiteOr(readReal(record + 32), defaults.knee);
    s.attackMs = readInt(record + 40);
    s.releaseMs = readInt(record + 44);
    s.rmsSizeMs = readInt(record + 48);
    const uint32_t flags = uint32_t(readInt(record + 52));
    s.autoMakeupGain = flags & kFlagAutoMakeupGain;
    s.programDependentRelease = flags & kFlagProgramDependentRelease;
    s.feedbackDetector = flags & kFlagFeedbackDetector;
    s.active = !(flags & kFlagBypassed);
    s.logScaleAutomation = flags & kFlagLogScaleAutomation;
    setBandSampleRate(*band, sampleRate);
    updateBandCoefficients(*band, true);
    return band;
}

// Replaces the bands with the block's records and reads the trailing fields. The header has
// been checked: count records of recordSize bytes fit in the size - 8 bytes after it.
void loadBands(CompressorEffect& fx, const uint8_t* bytes, int64_t size, int32_t recordSize, int32_t count) {
    fx.deleteAllBands();
    for (int32_t k = 0; k < count; ++k) {
        Band* band = readBand(bytes + 8 + int64_t(k) * recordSize, fx.sampleRate, &fx.ringBudget);
        if (band && !fx.appendBand(band))
            destroyBand(band);
    }

    const uint8_t* at = bytes + 8 + int64_t(count) * recordSize;
    int64_t remaining = size - 8 - int64_t(count) * recordSize;
    if (remaining >= 4) {
        fx.showGrid = readInt(at);
        at += 4;
        remaining -= 4;
        if (remaining >= 4) {
            fx.showTabs = readInt(at);
            at += 4;
            remaining -= 4;
        }
    }
    if (remaining >= 8) {
        fx.outputGain = fx.outputGainPrevious = compressor_rules::boundedGain(finiteOr(readReal(at), 1.0));
        at += 8;
        remaining -= 8;
    }
    if (remaining >= 4) {
        const int64_t solo = readInt(at);
        if (solo != 0) {
            // Clamped below first, so a block without bands leaves no band current (-1).
            int64_t current = solo - 1;
            if (current < 0)
                current = 0;
            if (current > int64_t(fx.bandCount()) - 1)
                current = int64_t(fx.bandCount()) - 1;
            fx.currentBand = int32_t(current);
            fx.soloCurrentBand = 1;
        }
        at += 4;
        remaining -= 4;
        if (remaining >= 4) {
            const uint32_t view = uint32_t(readInt(at));
            fx.showAnalyzer = (view & kViewAnalyzer) ? 1 : 0;
            fx.showGainCurve = (view & kViewGainCurve) ? 1 : 0;
        }
    }
}

} // namespace

namespace {

// The bytes of the block as it stands, the other A/B slot appended when it holds a setting.
// The caller holds the lock.
int64_t stateBlockSize(CompressorEffect& fx) {
    const int64_t slot = fx.otherSlot.empty() ? 0 : kSlotTrailerBytes + int64_t(fx.otherSlot.size());
    return kStateBlockFixedBytes + int64_t(kBandRecordSize) * fx.bandCount() + slot;
}

void writeStateBlock(CompressorEffect& fx, uint8_t* bytes) {
    const int32_t count = fx.bandCount();
    BlockWriter out(bytes);
    out.putInt(kBandRecordSize);
    out.putInt(count);
    for (int32_t i = 0; i < count; ++i)
        writeBand(out, fx.band(i)->frequency(), fx.band(i)->settings);
    out.putInt(fx.showGrid);
    out.putInt(fx.showTabs);
    out.putReal(fx.outputGain);
    out.putInt(fx.soloCurrentBand ? fx.currentBand + 1 : 0);
    out.putInt(int32_t((fx.showAnalyzer ? kViewAnalyzer : 0u) | (fx.showGainCurve ? kViewGainCurve : 0u)));
    if (!fx.otherSlot.empty()) {
        out.putInt(fx.activeSlot);
        out.putInt(int32_t(fx.otherSlot.size()));
        out.putBytes(fx.otherSlot.data(), fx.otherSlot.size());
    }
}

} // namespace

int32_t getStateBlock(CompressorEffect& fx, void** block) {
    *block = nullptr;
    LockHolder hold(fx.lock);
    const int64_t size = stateBlockSize(fx);
    fx.stateReadOffset = 0;
    fx.stateBuffer.resize(0);
    if (size > INT32_MAX)
        return 0;
    auto* bytes = static_cast<uint8_t*>(fx.stateBuffer.resize(int32_t(size)));
    if (!bytes || fx.stateBuffer.getSize() != size) {
        fx.stateBuffer.resize(0);
        return 0;
    }
    writeStateBlock(fx, bytes);
    *block = bytes;
    return int32_t(size);
}

bool copyStateBlock(CompressorEffect& fx, std::vector<uint8_t>& block) {
    LockHolder hold(fx.lock);
    const int64_t size = stateBlockSize(fx);
    if (size > INT32_MAX)
        return false;
    try {
        block.resize(size_t(size));
    } catch (const std::bad_alloc&) {
        return false;
    }
    writeStateBlock(fx, block.data());
    return true;
}

bool copyStateBlockParts(CompressorEffect& fx, std::vector<uint8_t>& block, StateBlockParts& parts) {
    if (!copyStateBlock(fx, block))
        return false;
    parts = splitStateBlock(block.data(), block.size());
    return parts.complete;
}

StateBlockParts splitStateBlock(const uint8_t* block, size_t size) {
    StateBlockParts parts{size, false, 0, nullptr, 0};
    if (!block || size <= size_t(kMinimumBlockSize))
        return parts;
    const int32_t recordSize = readInt(block);
    const int32_t count = readInt(block + 4);
    if (recordSize < kBandRecordSize || count < 0)
        return parts;
    const uint64_t settingBytes = kStateBlockFixedBytes + uint64_t(count) * uint64_t(recordSize);
    if (settingBytes > size)
        return parts;
    parts.settingSize = size_t(settingBytes);
    parts.complete = true;
    if (settingBytes + kSlotTrailerBytes > size)
        return parts;
    const uint8_t* trailer = block + settingBytes;
    const int32_t active = readInt(trailer);
    const int32_t length = readInt(trailer + 4);
    if ((active != 0 && active != 1) || length <= kMinimumBlockSize ||
        uint64_t(length) > size - settingBytes - kSlotTrailerBytes)
        return parts;
    parts.activeSlot = active;
    parts.other = trailer + kSlotTrailerBytes;
    parts.otherSize = size_t(length);
    return parts;
}

bool soundOfInstanceKeepingItsView(CompressorEffect& fx, const uint8_t* block, size_t size,
                                   std::vector<uint8_t>& out) {
    const StateBlockParts parts = splitStateBlock(block, size);
    if (!parts.complete)
        return false;
    LockHolder hold(fx.lock);
    const size_t trailer = fx.otherSlot.empty() ? 0 : kSlotTrailerBytes + fx.otherSlot.size();
    try {
        out.resize(parts.settingSize + trailer);
    } catch (const std::bad_alloc&) {
        return false;
    }
    std::memcpy(out.data(), block, parts.settingSize);
    uint8_t* fields = out.data() + parts.settingSize - (kStateBlockFixedBytes - 8);
    BlockWriter view(fields);
    view.putInt(fx.showGrid);
    view.putInt(fx.showTabs);
    BlockWriter rest(fields + 16);
    rest.putInt(0);
    rest.putInt(int32_t((fx.showAnalyzer ? kViewAnalyzer : 0u) | (fx.showGainCurve ? kViewGainCurve : 0u)));
    if (trailer) {
        rest.putInt(fx.activeSlot);
        rest.putInt(int32_t(fx.otherSlot.size()));
        rest.putBytes(fx.otherSlot.data(), fx.otherSlot.size());
    }
    return true;
}

std::vector<uint8_t> encodeStateBlock(const StoredBand* bands, int32_t count, double outputGain) {
    std::vector<uint8_t> block(size_t(kStateBlockFixedBytes + kBandRecordSize * count));
    BlockWriter out(block.data());
    out.putInt(kBandRecordSize);
    out.putInt(count);
    for (int32_t i = 0; i < count; ++i)
        writeBand(out, bands[i].frequency, bands[i].settings);
    out.putInt(1);
    out.putInt(1);
    out.putReal(outputGain);
    out.putInt(0);
    out.putInt(int32_t(kViewAnalyzer | kViewGainCurve));
    return block;
}

void setStateBlock(CompressorEffect& fx, const void* block, int64_t size) {
    if (!block || size <= kMinimumBlockSize)
        return;
    const auto* bytes = static_cast<const uint8_t*>(block);

    LockHolder hold(fx.lock);
    fx.currentBand = 0;
    fx.soloCurrentBand = 0;
    fx.outputGain = fx.outputGainPrevious = 1.0;

    const int32_t recordSize = readInt(bytes);
    const int32_t count = readInt(bytes + 4);
    // 64-bit throughout: no record size or count can wrap the check.
    if (recordSize >= kBandRecordSize && count >= 0 && int64_t(count) * recordSize <= size - 8)
        loadBands(fx, bytes, size, recordSize, count);
    // The block is the whole instance: one saved without a second setting leaves none. The
    // other setting is kept only when it reads as a setting, and only its setting part: a
    // switch appends this one after it, where a trailer of its own would hide it.
    const StateBlockParts parts = splitStateBlock(bytes, size_t(size));
    const StateBlockParts other =
        parts.other ? splitStateBlock(parts.other, parts.otherSize) : StateBlockParts{0, false, 0, nullptr, 0};
    fx.activeSlot = other.complete ? parts.activeSlot : 0;
    try {
        if (other.complete)
            fx.otherSlot.assign(parts.other, parts.other + other.settingSize);
        else
            fx.otherSlot.clear();
    } catch (const std::bad_alloc&) {
        fx.otherSlot.clear();
        fx.activeSlot = 0;
    }

    storeRelaxed(fx.effect.numParams, fx.bandCount() * kParametersPerBand);
    fx.editorNeedsRefresh = 1;
}
