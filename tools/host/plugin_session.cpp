#include "host/plugin_session.h"

#include <cstring>

bool PluginSession::open(const std::string& path, std::string& error, audioMasterCallback hostCallback) {
    close();
    if (!loadPluginLibrary(path, library_, error))
        return false;
    AEffect* effect = library_.entry(hostCallback);
    if (!effect || effect->magic != kEffectMagic) {
        error = path + ": VSTPluginMain returned no effect record with the 'VstP' magic";
        // A record with the wrong magic cannot be trusted with effClose either.
        unloadPluginLibrary(library_);
        return false;
    }
    effect_ = effect;
    path_ = path;
    if (effect->numInputs != 2 || effect->numOutputs != 2) {
        error = path + ": the plug-in has " + std::to_string(effect->numInputs) + " inputs and " +
                std::to_string(effect->numOutputs) + " outputs, only 2 in and 2 out are supported";
        close();
        return false;
    }
    if (!(effect->flags & effFlagsCanReplacing) || !effect->processReplacing) {
        error = path + ": the plug-in does not offer processReplacing";
        close();
        return false;
    }
    char capability[] = "hasVantorExtensions";
    hasVendorExtensions_ = effect->dispatcher(effect, effCanDo, 0, 0, capability, 0.0f) != 0;
    return true;
}

void PluginSession::close() {
    if (effect_) {
        stop();
        effect_->dispatcher(effect_, effClose, 0, 0, nullptr, 0.0f);
        effect_ = nullptr;
    }
    unloadPluginLibrary(library_);
}

std::string PluginSession::textOf(int32_t opcode, int32_t index) const {
    // The host convention is 8 characters plus the terminator; a generous buffer survives
    // plug-ins that write more.
    char text[256] = {};
    effect_->dispatcher(effect_, opcode, index, 0, text, 0.0f);
    text[sizeof(text) - 1] = '\0';
    return text;
}

std::vector<uint8_t> PluginSession::stateChunk() const {
    void* address = nullptr;
    intptr_t size = effect_->dispatcher(effect_, effGetChunk, 0, 0, &address, 0.0f);
    if (size <= 0 || !address)
        return {};
    const auto* bytes = static_cast<const uint8_t*>(address);
    return std::vector<uint8_t>(bytes, bytes + size);
}

void PluginSession::loadStateChunk(const std::vector<uint8_t>& chunk) {
    // The plug-in reads the block during the call only; it takes a non-const pointer.
    std::vector<uint8_t> copy = chunk;
    effect_->dispatcher(effect_, effSetChunk, 0, intptr_t(copy.size()), copy.data(), 0.0f);
}

void PluginSession::start(double sampleRate) {
    effect_->dispatcher(effect_, effSetSampleRate, 0, 0, nullptr, float(sampleRate));
    effect_->dispatcher(effect_, effMainsChanged, 0, 1, nullptr, 0.0f);
    running_ = true;
}

void PluginSession::stop() {
    if (!running_)
        return;
    effect_->dispatcher(effect_, effMainsChanged, 0, 0, nullptr, 0.0f);
    running_ = false;
}

namespace {
constexpr int32_t kDisplayForValueIndex = 7;
constexpr int32_t kValueRangeIndex = int32_t(0xdeadbef0);
constexpr intptr_t kVendorAnswered = 0xbeef;
} // namespace

std::string PluginSession::displayForValue(int32_t index, float value) {
    if (hasVendorExtensions_) {
        char text[256] = {};
        if (effect_->dispatcher(effect_, effVendorSpecific, kDisplayForValueIndex, index, text, value) ==
            kVendorAnswered) {
            text[sizeof(text) - 1] = '\0';
            return text;
        }
    }
    const float before = parameterValue(index);
    setParameterValue(index, value);
    std::string text = parameterDisplay(index);
    setParameterValue(index, before);
    return text;
}

void PluginSession::valueRange(int32_t index, double& low, double& high) {
    double range[3] = {0.0, 1.0, 0.0};
    if (hasVendorExtensions_ &&
        effect_->dispatcher(effect_, effVendorSpecific, kValueRangeIndex, index, range, 0.0f) ==
            kVendorAnswered &&
        range[0] < range[1]) {
        low = range[0];
        high = range[1];
        return;
    }
    low = 0.0;
    high = 1.0;
}
