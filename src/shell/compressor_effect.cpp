#include "shell/compressor_effect.h"

#include "shell/module.h"

#include <cfloat>
#include <cmath>
#include <cstring>
#include <mutex>
#include <new>

std::atomic<audioMasterCallback> hostCallback{nullptr};
std::atomic<int32_t> instanceCount{0};

namespace {
// Orders the count change and the class registration of instances created and destroyed on
// different threads, so the class exists exactly while an instance lives.
std::mutex instanceRegistration;
} // namespace

CompressorEffect::CompressorEffect() {
    ignoreParameterSets = false;
    outputGain = outputGainPrevious = 1.0;
    editorNeedsRefresh = 0;

    std::memset(&effect, 0, sizeof(effect));
    sampleRate = 44100.0;
    editorWindow = nullptr;
    effect.magic = kEffectMagic;
    effect.dispatcher = dispatchEffect;
    effect.process = processAccumulating;
    effect.setParameter = setParameterEntry;
    effect.getParameter = getParameterEntry;
    effect.numPrograms = 1;
    effect.numInputs = 2;
    effect.numOutputs = 2;
    effect.flags =
        effFlagsCanReplacing | effFlagsProgramChunks | (platformHasEditor() ? effFlagsHasEditor : 0);
    effect.object = this;
    effect.uniqueID = kUniqueId;
    effect.version = kEffectVersion;
    effect.processReplacing = ::processReplacing;

    ResetProcessingState();
    LoadDefaultBands();

    currentBand = 0;
    graphDragBand = -1;
    graphDragMode = 0;
    showGrid = 1;
    showTabs = 1;
    soloCurrentBand = 0;

    ResetProcessingState();

    std::lock_guard<std::mutex> registering(instanceRegistration);
    if (instanceCount.fetch_add(1) == 0)
        registerInstanceClasses();
}

CompressorEffect::~CompressorEffect() {
    // The editor goes first: its windows read the bands until they are destroyed.
    closeEditor(*this);
    releaseEditorState(*this);
    deleteAllBands();
    std::lock_guard<std::mutex> registering(instanceRegistration);
    if (instanceCount.fetch_sub(1) == 1)
        unregisterInstanceClasses();
}

void CompressorEffect::addBand() {
    ParameterListChange change;
    if (!insertSplitBand(change))
        return;
    notifyParameterListChange(&effect, change);
    // The new band's index as the locked insertion saw it: the list may have changed since.
    currentBand = change.first / kParametersPerBand;
    notifyGeneralChange(&effect);
}

void CompressorEffect::deleteCurrentBand() {
    ParameterListChange change;
    lock.lock();
    ignoreParameterSets = true;
    bool removed = removeCurrentBand(change);
    if (!removed)
        ignoreParameterSets = false;
    lock.unlock();
    if (!removed)
        return;
    notifyParameterListChange(&effect, change);
    ignoreParameterSets = false;
    {
        LockHolder hold(lock);
        if (currentBand >= bandCount())
            currentBand = bandCount() - 1;
    }
    notifyGeneralChange(&effect);
}

void CompressorEffect::resetToDefaults() {
    int32_t before, after;
    {
        LockHolder hold(lock);
        before = loadRelaxed(effect.numParams);
        after = LoadDefaultBands();
    }
    if (after != before)
        notifyParameterListChange(&effect, {before < after ? before : after, after - before});
    currentBand = 0;
    ResetProcessingState();
    notifyGeneralChange(&effect);
}

bool CompressorEffect::changeSetting(int32_t index, int32_t kind, double value, SettingChange how) {
    LockHolder hold(lock);
    Band* target = band(index);
    return target && changeBandSetting(*target, kind, value, how);
}

bool CompressorEffect::viewBand(int32_t index, BandView& view) {
    LockHolder hold(lock);
    const Band* source = band(index);
    if (!source)
        return false;
    const BandState& st = source->state;
    view.settings = source->settings;
    view.frequency = source->frequency();
    view.makeupGain = st.makeupGain;
    view.gainMeter = st.gainMeter;
    view.gainMeterHold = st.gainMeterHold;
    view.gainMeterHoldUntil = st.gainMeterHoldUntil;
    view.inputPeak = st.inputPeak;
    view.detectorPeak = st.detectorPeak;
    view.outputPeak = st.outputPeak;
    return true;
}

int32_t CompressorEffect::viewBandCount() {
    LockHolder hold(lock);
    return bandCount();
}

bool CompressorEffect::setLogScaleAutomation(int32_t index, bool on) {
    LockHolder hold(lock);
    Band* target = band(index);
    if (!target)
        return false;
    target->settings.logScaleAutomation = on;
    return true;
}

void notifyHost(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    if (audioMasterCallback callback = hostCallback)
        callback(effect, opcode, index, value, ptr, opt);
}

void notifyParameterListChange(AEffect* effect, const ParameterListChange& change) {
    int32_t message[2] = {change.first, change.count};
    notifyHost(effect, audioMasterVendorSpecific, kParameterListChangeIndex, 0, message, 0.0f);
}

void notifyGeneralChange(AEffect* effect) {
    notifyHost(effect, audioMasterAutomate, -1, 0, nullptr, 0.0f);
}

void VST_CALL processReplacing(AEffect* effect, float** inputs, float** outputs, int32_t sampleFrames) {
    if (CompressorEffect* fx = CompressorEffect::fromEffect(effect))
        fx->processWithGlide(inputs, outputs, sampleFrames);
}

void CompressorEffect::prepareForBlockSize(int32_t n) {
    LockHolder hold(lock);
    reserveScratch(n);
    if (n > 0 && accumulateScratch.getSize() < n * 8)
        accumulateScratch.resize(n * 8);
}

namespace {
// Float addition that a sum of two finite values cannot push to infinity.
inline float saturatedSum(float a, float b) {
    const float sum = a + b;
    if (std::fabs(sum) > FLT_MAX && std::isfinite(a) && std::isfinite(b))
        return std::copysign(FLT_MAX, sum);
    return sum;
}
} // namespace

void VST_CALL processAccumulating(AEffect* effect, float** inputs, float** outputs, int32_t sampleFrames) {
    CompressorEffect* fx = CompressorEffect::fromEffect(effect);
    if (!fx || sampleFrames <= 0 || !outputs || !outputs[0] || !outputs[1])
        return;
    const int64_t bytes = int64_t(sampleFrames) * 8;
    if (bytes > INT32_MAX)
        return;
    // The scratch is the instance's: a resume on another thread resizes it under the lock.
    LockHolder hold(fx->lock);
    // Grows only for a block longer than any before (or than the announced one).
    if (fx->accumulateScratch.getSize() < bytes)
        fx->accumulateScratch.resize(int32_t(bytes));
    auto* scratch = static_cast<float*>(fx->accumulateScratch.get());
    if (!scratch || fx->accumulateScratch.getSize() < bytes)
        return;
    float* channels[2] = {scratch, scratch + sampleFrames};
    fx->processWithGlide(inputs, channels, sampleFrames);
    for (int c = 0; c < 2; ++c) {
        float* out = outputs[c];
        const float* add = channels[c];
        for (int32_t i = 0; i < sampleFrames; ++i)
            out[i] = saturatedSum(out[i], add[i]);
    }
}

extern "C" VST_EXPORT AEffect* VSTPluginMain(audioMasterCallback callback) {
    hostCallback = callback;
    auto* fx = new (std::nothrow) CompressorEffect();
    return fx ? &fx->effect : nullptr;
}
