#include "editor/core/graph_bands.h"

#include "shell/compressor_effect.h"
#include "shell/conversions.h"

#include <algorithm>
#include <cstdlib>

namespace {

void copyBand(const BandView& view, int32_t index, bool metered, GraphBand& out) {
    const BandSettings& s = view.settings;
    out.index = index;
    out.frequency = view.frequency;
    out.gain = s.gain;
    out.threshold = s.threshold;
    out.ratio = s.ratio;
    out.active = s.active;
    out.autoMakeupGain = s.autoMakeupGain;
    out.makeupGain = view.makeupGain;
    out.metered = metered;
    out.gainMeter = metered ? view.gainMeter : 1.0;
    out.gainMeterHold = metered ? view.gainMeterHold : 1.0;
    out.inputPeak = metered ? view.inputPeak : 0.0;
    out.detectorPeak = metered ? view.detectorPeak : 0.0;
    out.outputPeak = metered ? view.outputPeak : 0.0;
}

} // namespace

const GraphBand* GraphBands::byIndex(int32_t index) const {
    for (int32_t i = 0; i < count; ++i)
        if (sorted[i].index == index)
            return &sorted[i];
    return nullptr;
}

GraphBands copyGraphBands(CompressorEffect& fx, GraphBandCopies& copies, const uint32_t* meterTime) {
    GraphBands result;
    result.currentBand = fx.currentBand;
    result.solo = fx.soloCurrentBand != 0;
    const int32_t count = fx.viewBands(copies.bandViews, &copies.bandsMetered, meterTime);
    const int32_t bytes = count * int32_t(sizeof(GraphBand));
    auto* sorted = static_cast<GraphBand*>(copies.sortedBands.resize(bytes));
    if (!sorted || copies.sortedBands.getSize() != bytes)
        return result; // out of memory: nothing to draw
    const auto* views = static_cast<const BandView*>(copies.bandViews.get());
    const auto* metered = static_cast<const bool*>(copies.bandsMetered.get());
    for (int32_t i = 0; i < count; ++i)
        copyBand(views[i], i, metered[i], sorted[i]);
    std::sort(sorted, sorted + count,
              [](const GraphBand& a, const GraphBand& b) { return a.frequency < b.frequency; });
    result.sorted = sorted;
    result.count = count;
    return result;
}

int32_t hitTestHandle(const GraphBands& bands, const GraphGeometry& geometry, int32_t x, int32_t y) {
    const int32_t radius = geometry.handleRadius();
    const double below = geometry.amplitudeOfY(y + radius), above = geometry.amplitudeOfY(y - radius);
    const double top = geometry.amplitudeOfY(0), bottom = geometry.amplitudeOfY(geometry.height);
    int32_t previousX = geometry.xOfFrequency(20.0);
    for (int32_t i = 0; i < bands.count; ++i) {
        const GraphBand& band = bands.sorted[i];
        int32_t bandX = geometry.xOfFrequency(band.frequency);
        int32_t centre = GraphGeometry::handleX(previousX, bandX);
        previousX = bandX;
        if (std::abs(centre - x) >= radius)
            continue;
        double t = band.threshold;
        if ((t >= below && t <= above) || (t >= top && above >= top) || (t <= bottom && below <= bottom))
            return band.index;
    }
    return -1;
}

int32_t hitTestBand(const GraphBands& bands, const GraphGeometry& geometry, int32_t x, int32_t y,
                    GraphHitKind& kind) {
    int32_t handle = hitTestHandle(bands, geometry, x, y);
    if (handle >= 0) {
        kind = HIT_HANDLE;
        return handle;
    }
    const GraphBand* first = nullptr;
    for (int32_t i = 0; i < bands.count; ++i) {
        const GraphBand& band = bands.sorted[i];
        if ((!first || band.index < first->index) &&
            std::abs(geometry.xOfFrequency(band.frequency) - x) < geometry.lineReach())
            first = &band;
    }
    if (!first)
        return -1;
    int32_t thresholdY = geometry.yOfDb(ampToDb(first->threshold));
    kind = std::abs(y - thresholdY) < geometry.thresholdReach() ? HIT_LINE_AT_THRESHOLD : HIT_LINE;
    return first->index;
}
