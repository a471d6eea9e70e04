// CompressorEffect: one plug-in instance. It owns the effect record handed to the host, the
// multiband engine (band list, lock, processing state), the selected band and the view
// options saved with it, and makes the changes that the host must hear about. Host
// notifications are sent after the lock is released, since the host may call back into the
// effect. An editor reaches the instance through the operations below and never takes the
// lock itself; what it keeps of its own hangs off editorState.
#pragma once

#include "engine/multiband.h"
#include "engine/response_curve.h"
#include "shell/analyzer_feed.h"
#include "shell/edit_steps.h"
#include "shell/vst_abi.h"
#include "support/heap_buffer.h"
#include "support/relaxed_atomic.h"

#include <atomic>
#include <cstdint>
#include <vector>

// What the editor shows of one band, copied under the lock so that drawing needs none.
struct BandView {
    BandSettings settings;
    double frequency = 0;
    double makeupGain = 1;
    double gainMeter = 1, gainMeterHold = 1;
    uint32_t gainMeterHoldUntil = 0;
    double inputPeak = 0, detectorPeak = 0, outputPeak = 0;
    // The band's split section as it filters now and its present gain (summed left true: the
    // viewer decides what solo mutes).
    ResponseBand response{};
};

// What the bank's response needs besides the bands.
struct ResponseContext {
    double sampleRate;
    double outputGain;
};

// The instance's input and output peaks, as the editor's level meters take them.
struct MeterPeaks {
    double inputLeft, inputRight, outputLeft, outputRight;
};

class CompressorEffect : public MultibandEngine {
public:
    CompressorEffect();
    ~CompressorEffect() override;

    // The instance behind an effect record, or null for a missing record or object.
    static CompressorEffect* fromEffect(AEffect* effect) {
        return effect ? static_cast<CompressorEffect*>(effect->object) : nullptr;
    }

    // Band-list operations of the editor, with their host notifications. A new band becomes
    // the current one; deleting removes the current band.
    void addBand();
    void deleteCurrentBand();
    void resetToDefaults();

    // Changes one setting of band `index` in the setting's own unit (changeBandSetting) under
    // the lock. False, with nothing changed, when the band does not exist or the value is not
    // finite. The caller tells the host.
    bool changeSetting(int32_t index, int32_t kind, double value, SettingChange how = SettingChange::ByKind);
    // The same with the new value worked out by edit(current value) under the one hold of the
    // lock that stores it, so that no other change slips in between.
    template <class Edit> bool changeSettingFrom(int32_t index, int32_t kind, Edit edit);
    // Copies band `index` under the lock; false when it does not exist.
    bool viewBand(int32_t index, BandView& view);
    // Copies every band, in list order, into views (grown outside the lock as needed) and
    // returns how many; 0 when out of memory. With meterTime (a tick count), the band meters
    // are taken as one frame of the editor takes them: the gain meter's hold renews when the
    // meter passes it or its 500 ms have run out, the copy gets the meters as they stand, and
    // the bands' meters then decay (peaks to 80 %, the gain meter 30 % back towards unity).
    // Bands muted by solo keep their meters untouched; metered[i] says whether band i's were
    // taken (when metered is given, it is grown alongside views).
    int32_t viewBands(HeapBuffer& views, HeapBuffer* metered = nullptr, const uint32_t* meterTime = nullptr);
    // Takes the input and output peaks and leaves them multiplied by decay; the audio thread
    // raises them again from its next sub-block.
    MeterPeaks takeMeterPeaks(double decay);
    // The sample rate and output gain, read under the lock.
    ResponseContext viewResponseContext();
    // The band count, read under the lock (a state block loaded on another thread replaces
    // the whole list).
    int32_t viewBandCount();
    // Switches band `index`'s frequency parameter between the logarithmic and the linear
    // mapping, under the lock; false when the band does not exist. Processing never reads it.
    bool setLogScaleAutomation(int32_t index, bool on);

    RelaxedAtomic<bool> ignoreParameterSets{false}; // host setParameter calls are dropped while set
    ERect editorRect{};
    HeapBuffer accumulateScratch{4096};
    HeapBuffer stateBuffer{4096};
    int32_t stateReadOffset = 0;
    AEffect effect;
    // The editor's own per-instance record (its windows, gesture and back buffer), opaque to
    // the shell and released with the instance (releaseEditorState).
    void* editorState = nullptr;
    // Raised by state loads, and by host parameter writes while an editor is open; cleared by
    // the editor's refresh timer, which then reloads its controls.
    RelaxedAtomic<int32_t> editorNeedsRefresh{0};
    bool editorOpen() const { return meteringWanted; }
    // The band the editor shows, and whether only it is heard: saved in the state block, and
    // handed to the driver by the audio entries (solo follows the current band).
    RelaxedAtomic<int32_t> currentBand{0};
    RelaxedAtomic<int32_t> soloCurrentBand{0};
    // View options: the editor's, saved in the state block.
    RelaxedAtomic<int32_t> showGrid{1};
    RelaxedAtomic<int32_t> showTabs{1};
    // The response graph's spectrum analyzer and gain curve, saved after the solo field.
    RelaxedAtomic<int32_t> showAnalyzer{1};
    RelaxedAtomic<int32_t> showGainCurve{1};
    // What the audio entries hand the analyzer: only while an editor is open and shows it.
    AnalyzerFeed analyzerFeed;
    // The A/B compare: which slot the instance is (0 A, 1 B) and the other slot's setting as a
    // state block (empty until a second setting exists). Both under the lock; saved after the
    // view flags.
    int32_t activeSlot = 0;
    std::vector<uint8_t> otherSlot;
    // Undo and redo of the editor's edits, the band-list operations, presets and A/B
    // (edit_history.h works them).
    EditSteps editSteps;
    // The block size the host announced with effSetBlockSize (0: none), read at the resume,
    // which a host may send from another thread.
    RelaxedAtomic<int32_t> announcedBlockSize{0};

    // Sizes every buffer the audio entries need for blocks of n frames.
    void prepareForBlockSize(int32_t n);
    // One host block through the driver, with the current solo.
    void process(const float* const* inputs, float* const* outputs, int32_t n);

protected:
    void bandCountChanged(int32_t count) override {
        storeRelaxed(effect.numParams, count * kParametersPerBand);
    }
};

template <class Edit> bool CompressorEffect::changeSettingFrom(int32_t index, int32_t kind, Edit edit) {
    LockHolder hold(lock);
    const Band* target = band(index);
    return target && changeSetting(index, kind, edit(bandSettingValue(*target, kind)));
}

// Process-wide state shared by every instance of the loaded library. Hosts may create
// instances on several threads at once, so both are atomic.
extern std::atomic<audioMasterCallback> hostCallback;
extern std::atomic<int32_t> instanceCount;

// Calls the host back, when there is a host callback, and ignores its answer.
void notifyHost(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);
// Closes a step of the instance's edit history when the instance changed since the last one
// (edit_history.cpp). Not on the audio thread.
void closeEditStep(CompressorEffect& fx);
// The two notifications of the band-list operations.
void notifyParameterListChange(AEffect* effect, const ParameterListChange& change);
void notifyGeneralChange(AEffect* effect);

// The effect record's entries.
intptr_t VST_CALL dispatchEffect(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                 float opt);
void VST_CALL processAccumulating(AEffect* effect, float** inputs, float** outputs, int32_t sampleFrames);
void VST_CALL processReplacing(AEffect* effect, float** inputs, float** outputs, int32_t sampleFrames);
void VST_CALL setParameterEntry(AEffect* effect, int32_t index, float value);
float VST_CALL getParameterEntry(AEffect* effect, int32_t index);

constexpr int32_t kUniqueId = ('t' << 24) | ('r' << 16) | ('w' << 8) | 'S';
constexpr int32_t kEffectVersion = 1100;
constexpr int32_t kParameterListChangeIndex = int32_t(0xDEADBEEF);
// Announced block sizes above this are not prepared for (a block that long still works: its
// buffers grow when it arrives).
constexpr intptr_t kLongestAnnouncedBlock = 65536;
