#include "editor/graph_bands.h"

#include "shell/compressor_effect.h"
#include "shell/conversions.h"

#include <algorithm>
#include <cstdlib>

namespace {

constexpr uint32_t kGainHoldMs = 500;

void copyBand(const Band& band, int32_t index, GraphBand& out) {
    const BandSettings& s = band.settings;
    out.index = index;
    out.frequency = band.frequency();
    out.gain = s.gain;
    out.threshold = s.threshold;
    out.ratio = s.ratio;
    out.active = s.active;
    out.autoMakeupGain = s.autoMakeupGain;
    out.makeupGain = band.state.makeupGain;
    out.metered = false;
    out.gainMeter = out.gainMeterHold = 1.0;
    out.inputPeak = out.detectorPeak = out.outputPeak = 0.0;
}

// One paint's worth of metering on a band: hold, copy, decay.
void meterBand(BandState& st, bool expander, uint32_t now, GraphBand& out) {
    bool beyondHold = expander ? st.gainMeter > st.gainMeterHold : st.gainMeter < st.gainMeterHold;
    if (beyondHold || int32_t(now - st.gainMeterHoldUntil) > 0) {
        st.gainMeterHold = st.gainMeter;
        st.gainMeterHoldUntil = now + kGainHoldMs;
    }
    out.metered = true;
    out.gainMeter = st.gainMeter;
    out.gainMeterHold = st.gainMeterHold;
    out.inputPeak = st.inputPeak;
    out.detectorPeak = st.detectorPeak;
    out.outputPeak = st.outputPeak;

    st.gainMeter = expander ? std::max(st.gainMeter / 1.3, 1.0) : std::min(st.gainMeter * 1.3, 1.0);
    for (double* peak : {&st.inputPeak, &st.detectorPeak, &st.outputPeak}) {
        *peak *= 0.8;
        if (*peak < 1e-8)
            *peak = 0.0;
    }
}

} // namespace

const GraphBand* GraphBands::byIndex(int32_t index) const {
    for (int32_t i = 0; i < count; ++i)
        if (sorted[i].index == index)
            return &sorted[i];
    return nullptr;
}

GraphBands copyGraphBands(CompressorEffect& fx, const uint32_t* meterTime) {
    GraphBands result;
    result.currentBand = fx.currentBand;
    result.solo = fx.soloCurrentBand != 0;
    HeapBuffer& scratch = fx.graphSortedBands;
    const int32_t recordSize = int32_t(sizeof(GraphBand));
    // The scratch grows outside the lock; a band list that grew meanwhile sends us round again.
    for (int32_t wanted = 0;;) {
        if (wanted > scratch.getAllocated() / recordSize) {
            scratch.resize(wanted * recordSize);
            if (wanted > scratch.getAllocated() / recordSize)
                return result; // out of memory: nothing to draw
        }
        LockHolder hold(fx.lock);
        int32_t count = fx.bandCount();
        if (count > scratch.getAllocated() / recordSize) {
            wanted = count;
            continue;
        }
        auto* copies = static_cast<GraphBand*>(scratch.resize(count * recordSize));
        for (int32_t i = 0; i < count; ++i) {
            Band& band = *fx.band(i);
            copyBand(band, i, copies[i]);
            if (meterTime && !result.muted(i))
                meterBand(band.state, band.settings.ratio < 1.0, *meterTime, copies[i]);
        }
        result.sorted = copies;
        result.count = count;
        break;
    }
    GraphBand* copies = static_cast<GraphBand*>(scratch.get());
    std::sort(copies, copies + result.count,
              [](const GraphBand& a, const GraphBand& b) { return a.frequency < b.frequency; });
    return result;
}

int32_t HitTestHandle(const GraphBands& bands, const GraphGeometry& geometry, int32_t x, int32_t y) {
    const double below = geometry.amplitudeOfY(y + 7), above = geometry.amplitudeOfY(y - 7);
    const double top = geometry.amplitudeOfY(0), bottom = geometry.amplitudeOfY(geometry.height);
    int32_t previousX = geometry.xOfFrequency(20.0);
    for (int32_t i = 0; i < bands.count; ++i) {
        const GraphBand& band = bands.sorted[i];
        int32_t bandX = geometry.xOfFrequency(band.frequency);
        int32_t centre = (bandX + previousX) / 2;
        previousX = bandX;
        if (std::abs(centre - x) >= 7)
            continue;
        double t = band.threshold;
        if ((t >= below && t <= above) || (t >= top && above >= top) || (t <= bottom && below <= bottom))
            return band.index;
    }
    return -1;
}

int32_t HitTestBand(const GraphBands& bands, const GraphGeometry& geometry, int32_t x, int32_t y,
                    GraphHitKind& kind) {
    int32_t handle = HitTestHandle(bands, geometry, x, y);
    if (handle >= 0) {
        kind = HIT_HANDLE;
        return handle;
    }
    const GraphBand* first = nullptr;
    for (int32_t i = 0; i < bands.count; ++i) {
        const GraphBand& band = bands.sorted[i];
        if ((!first || band.index < first->index) && std::abs(geometry.xOfFrequency(band.frequency) - x) < 3)
            first = &band;
    }
    if (!first)
        return -1;
    int32_t thresholdY = geometry.yOfDb(AmpToDb(first->threshold));
    kind = std::abs(y - thresholdY) < 12 ? HIT_LINE_AT_THRESHOLD : HIT_LINE;
    return first->index;
}
