#include "shell/compressor_effect.h"

#include "shell/module.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <initializer_list>
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
    meteringWanted = false;
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

    resetProcessingState();
    loadDefaultBands();

    currentBand = 0;
    showGrid = 1;
    showTabs = 1;
    soloCurrentBand = 0;

    resetProcessingState();
    // The first step starts from the instance as created.
    closeEditStep(*this);

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
    if (!insertSplitBand(currentBand, change))
        return;
    notifyParameterListChange(&effect, change);
    // The new band's index as the locked insertion saw it: the list may have changed since.
    currentBand = change.first / kParametersPerBand;
    notifyGeneralChange(&effect);
    closeEditStep(*this);
}

void CompressorEffect::deleteCurrentBand() {
    ParameterListChange change;
    lock.lock();
    ignoreParameterSets = true;
    bool removed = removeBand(currentBand, change);
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
    closeEditStep(*this);
}

void CompressorEffect::resetToDefaults() {
    int32_t before, after;
    {
        LockHolder hold(lock);
        before = loadRelaxed(effect.numParams);
        after = loadDefaultBands();
    }
    if (after != before)
        notifyParameterListChange(&effect, {before < after ? before : after, after - before});
    currentBand = 0;
    resetProcessingState();
    notifyGeneralChange(&effect);
    closeEditStep(*this);
}

bool CompressorEffect::changeSetting(int32_t index, int32_t kind, double value, SettingChange how) {
    LockHolder hold(lock);
    Band* target = band(index);
    return target && changeBandSetting(*target, kind, value, how);
}

namespace {

constexpr uint32_t kGainMeterHoldMs = 500;

void copyBandView(const Band& source, BandView& view) {
    const BandState& st = source.state;
    view.settings = source.settings;
    view.frequency = source.frequency();
    view.makeupGain = st.makeupGain;
    view.gainMeter = st.gainMeter;
    view.gainMeterHold = st.gainMeterHold;
    view.gainMeterHoldUntil = st.gainMeterHoldUntil;
    view.inputPeak = st.inputPeak;
    view.detectorPeak = st.detectorPeak;
    view.outputPeak = st.outputPeak;
    const CrossoverFilter& filter = source.filter;
    view.response = {filter.frequency, filter.b0, filter.b1,           filter.b2,
                     filter.a1,        filter.a2, bandGainNow(source), true};
}

// One editor frame's take of a band's meters: renew the hold, copy, decay.
void takeBandMeters(Band& band, uint32_t now, BandView& view) {
    BandState& st = band.state;
    const bool expander = band.settings.ratio < 1.0;
    const bool beyondHold = expander ? st.gainMeter > st.gainMeterHold : st.gainMeter < st.gainMeterHold;
    if (beyondHold || int32_t(now - st.gainMeterHoldUntil) > 0) {
        st.gainMeterHold = st.gainMeter;
        st.gainMeterHoldUntil = now + kGainMeterHoldMs;
    }
    copyBandView(band, view);
    st.gainMeter = expander ? std::max(st.gainMeter / 1.3, 1.0) : std::min(st.gainMeter * 1.3, 1.0);
    for (double* peak : {&st.inputPeak, &st.detectorPeak, &st.outputPeak}) {
        *peak *= 0.8;
        if (*peak < 1e-8)
            *peak = 0.0;
    }
}

} // namespace

bool CompressorEffect::viewBand(int32_t index, BandView& view) {
    LockHolder hold(lock);
    const Band* source = band(index);
    if (!source)
        return false;
    copyBandView(*source, view);
    return true;
}

int32_t CompressorEffect::viewBands(HeapBuffer& views, HeapBuffer* metered, const uint32_t* meterTime) {
    const int32_t recordSize = int32_t(sizeof(BandView));
    auto room = [&] {
        const int32_t records = views.getAllocated() / recordSize;
        return metered ? std::min(records, metered->getAllocated()) : records;
    };
    // The buffers grow outside the lock; a band list that grew meanwhile sends us round again.
    for (int32_t wanted = 0;;) {
        if (wanted > room()) {
            views.resize(wanted * recordSize);
            if (metered)
                metered->resize(wanted);
            if (wanted > room())
                return 0;
        }
        LockHolder hold(lock);
        const int32_t count = bandCount();
        if (count > room()) {
            wanted = count;
            continue;
        }
        auto* copies = static_cast<BandView*>(views.resize(count * recordSize));
        auto* taken = metered ? static_cast<bool*>(metered->resize(count)) : nullptr;
        const bool solo = soloCurrentBand != 0;
        const int32_t soloed = currentBand;
        for (int32_t i = 0; i < count; ++i) {
            const bool take = meterTime && !(solo && i != soloed);
            if (take)
                takeBandMeters(*band(i), *meterTime, copies[i]);
            else
                copyBandView(*band(i), copies[i]);
            if (taken)
                taken[i] = take;
        }
        return count;
    }
}

MeterPeaks CompressorEffect::takeMeterPeaks(double decay) {
    LockHolder hold(lock);
    const MeterPeaks peaks = {inputPeakLeft, inputPeakRight, outputPeakLeft, outputPeakRight};
    inputPeakLeft = peaks.inputLeft * decay;
    inputPeakRight = peaks.inputRight * decay;
    outputPeakLeft = peaks.outputLeft * decay;
    outputPeakRight = peaks.outputRight * decay;
    return peaks;
}

ResponseContext CompressorEffect::viewResponseContext() {
    LockHolder hold(lock);
    return {sampleRate, outputGain};
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

void CompressorEffect::process(const float* const* inputs, float* const* outputs, int32_t n) {
    soloedBand = int32_t(currentBand);
    soloing = soloCurrentBand != 0;
    // The input is taken before processing, which a host may do in place.
    const bool feeding = meteringWanted && showAnalyzer != 0 && inputs && inputs[0] && inputs[1] && outputs &&
                         outputs[0] && outputs[1];
    const int32_t fed = feeding ? analyzerFeed.begin(n) : 0;
    if (fed > 0)
        analyzerFeed.input(inputs[0], inputs[1], fed);
    processWithGlide(inputs, outputs, n);
    if (fed > 0) {
        analyzerFeed.output(outputs[0], outputs[1], fed);
        analyzerFeed.publish(fed);
    }
}

void VST_CALL processReplacing(AEffect* effect, float** inputs, float** outputs, int32_t sampleFrames) {
    if (CompressorEffect* fx = CompressorEffect::fromEffect(effect))
        fx->process(inputs, outputs, sampleFrames);
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
    fx->process(inputs, channels, sampleFrames);
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
