#include "shell/edit_history.h"

#include "shell/compressor_effect.h"
#include "shell/instance_state.h"
#include "shell/state_block.h"

#include <cstring>

namespace {

// Whether two blocks sound alike: the same header and band records and the same output gain
// (the 8 bytes after grid and tabs). View options, solo and the other A/B setting do not count.
bool sameSound(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    const StateBlockParts pa = splitStateBlock(a.data(), a.size());
    const StateBlockParts pb = splitStateBlock(b.data(), b.size());
    if (!pa.complete || !pb.complete || pa.settingSize != pb.settingSize)
        return false;
    const size_t bands = pa.settingSize - (kStateBlockFixedBytes - 8);
    return std::memcmp(a.data(), b.data(), bands) == 0 &&
           std::memcmp(a.data() + bands + 8, b.data() + bands + 8, 8) == 0;
}

std::vector<uint8_t> blockOf(CompressorEffect& fx, bool& taken) {
    std::vector<uint8_t> block;
    taken = copyStateBlock(fx, block);
    return block;
}

} // namespace

void closeEditStep(CompressorEffect& fx) {
    bool taken;
    std::vector<uint8_t> now = blockOf(fx, taken);
    if (taken)
        fx.editSteps.closeStep(std::move(now));
}

void restartEditHistory(CompressorEffect& fx) {
    bool taken;
    std::vector<uint8_t> now = blockOf(fx, taken);
    fx.editSteps.restart(taken ? std::move(now) : std::vector<uint8_t>{});
}

bool canUndoEdit(CompressorEffect& fx) {
    return fx.editSteps.canUndo();
}

bool canRedoEdit(CompressorEffect& fx) {
    return fx.editSteps.canRedo();
}

namespace {

// An undo (back) or a redo: the instance as it stands kept for the way back, the target loaded.
bool travel(CompressorEffect& fx, bool back) {
    bool taken;
    std::vector<uint8_t> now = blockOf(fx, taken), target;
    if (!taken)
        return false;
    const bool found = back ? fx.editSteps.stepBack(std::move(now), target)
                            : fx.editSteps.stepForward(std::move(now), target);
    if (found)
        loadStateAndTellHost(fx, target);
    return found;
}

} // namespace

bool undoEdit(CompressorEffect& fx) {
    return travel(fx, true);
}

bool redoEdit(CompressorEffect& fx) {
    return travel(fx, false);
}

uint64_t editChangeCount(CompressorEffect& fx) {
    return fx.editSteps.changeCount();
}

std::string currentPresetName(CompressorEffect& fx) {
    return fx.editSteps.presetName();
}

bool modifiedSincePreset(CompressorEffect& fx) {
    std::vector<uint8_t> preset, current;
    fx.editSteps.presetAndCurrent(preset, current);
    return !preset.empty() && !sameSound(preset, current);
}

void notePresetLoaded(CompressorEffect& fx, const std::string& name) {
    bool taken;
    std::vector<uint8_t> now = blockOf(fx, taken);
    if (taken)
        fx.editSteps.presetLoaded(std::move(now), name);
}

void notePresetSaved(CompressorEffect& fx, const std::string& name) {
    bool taken;
    std::vector<uint8_t> now = blockOf(fx, taken);
    if (taken)
        fx.editSteps.presetSaved(std::move(now), name);
}
