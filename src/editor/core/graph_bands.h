// The bands as the response graph sees them: a copy of every band (the shell's viewBands),
// sorted by ascending frequency, then drawn and hit-tested without the lock. Taking a copy for
// a paint also takes the band meters (their hold and decay run on the bands themselves), so
// the copy shows the meters as they were before this paint decayed them.
#pragma once

#include "editor/core/graph_geometry.h"
#include "support/heap_buffer.h"

#include <cstdint>

class CompressorEffect;

struct GraphBand {
    int32_t index; // position in the band list (creation order), the host parameter order
    double frequency;
    double gain, threshold, ratio;
    bool active, autoMakeupGain;
    double makeupGain;
    // Meters; only read for bands that show them (metered).
    bool metered;
    double gainMeter, gainMeterHold;
    double inputPeak, detectorPeak, outputPeak;

    bool expander() const { return ratio < 1.0; }
};

struct GraphBands {
    const GraphBand* sorted = nullptr; // count bands, ascending frequency
    int32_t count = 0;
    int32_t currentBand = 0;
    bool solo = false;

    // Whether the band at list position index is muted by solo.
    bool muted(int32_t index) const { return solo && index != currentBand; }
    // The sorted band with list position index, or null.
    const GraphBand* byIndex(int32_t index) const;
};

// Where an editor keeps its copies of the bands between paints (they only ever grow): a
// BandView per band in list order and whether its meters were taken
// (CompressorEffect::viewBands), and a GraphBand per band in ascending frequency.
struct GraphBandCopies {
    HeapBuffer bandViews{4096};
    HeapBuffer bandsMetered{64};
    HeapBuffer sortedBands{4096};
};

// Copies the bands into copies.sortedBands. With meterTime, the meters are taken too, as one
// paint at that tick count takes them (CompressorEffect::viewBands); bands muted by solo keep
// their meters untouched and show none. Empty when out of memory.
GraphBands copyGraphBands(CompressorEffect& fx, GraphBandCopies& copies, const uint32_t* meterTime);

enum GraphHitKind : int32_t { HIT_HANDLE = 0, HIT_LINE_AT_THRESHOLD = 1, HIT_LINE = 2 };

// The band whose handle lies at (x, y), or -1: the first in frequency order, as list position.
int32_t hitTestHandle(const GraphBands& bands, const GraphGeometry& geometry, int32_t x, int32_t y);
// A handle, else the first band in list order whose frequency line lies within 3 pixels of x.
int32_t hitTestBand(const GraphBands& bands, const GraphGeometry& geometry, int32_t x, int32_t y,
                    GraphHitKind& kind);
