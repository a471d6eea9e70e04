#include "shell/instance_state.h"

#include "shell/compressor_effect.h"
#include "shell/parameters.h"
#include "shell/state_block.h"

#include <algorithm>

namespace {

// Every parameter's normalised value; the buffer grows outside the lock, and a band list that
// changed meanwhile sends us round again.
std::vector<float> parameterValues(CompressorEffect& fx) {
    std::vector<float> values;
    for (;;) {
        values.resize(size_t(fx.viewBandCount() * kParametersPerBand));
        LockHolder hold(fx.lock);
        if (size_t(fx.bandCount() * kParametersPerBand) != values.size())
            continue;
        for (size_t i = 0; i < values.size(); ++i)
            values[i] = readParameter(fx, int32_t(i));
        return values;
    }
}

} // namespace

void loadStateAndTellHost(CompressorEffect& fx, const std::vector<uint8_t>& block) {
    const std::vector<float> before = parameterValues(fx);
    // As for a deleted band: host writes meant for the old list are dropped until the host has
    // heard of the new one.
    fx.ignoreParameterSets = true;
    setStateBlock(fx, block.data(), int64_t(block.size()));
    const std::vector<float> after = parameterValues(fx);
    const auto countBefore = int32_t(before.size()), countAfter = int32_t(after.size());
    if (countAfter != countBefore)
        notifyParameterListChange(&fx.effect, {std::min(countBefore, countAfter), countAfter - countBefore});
    fx.ignoreParameterSets = false;
    for (int32_t i = 0; i < countAfter; ++i)
        if (i >= countBefore || after[size_t(i)] != before[size_t(i)])
            notifyHost(&fx.effect, audioMasterAutomate, i, 0, nullptr, after[size_t(i)]);
    notifyGeneralChange(&fx.effect);
}
