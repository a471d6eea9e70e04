// The band lists the editor benchmarks paint: count bands spread evenly over the logarithmic
// frequency axis, thresholds stepping down 6 dB at a time over five bands, ratios from 1.5 up
// with every third band an expander.
#pragma once

#include "shell/compressor_effect.h"

#include <cmath>

// Replaces fx's bands with count such bands.
inline void spreadBands(CompressorEffect& fx, int32_t count) {
    LockHolder hold(fx.lock);
    fx.deleteAllBands();
    for (int32_t i = 0; i < count; ++i) {
        Band* band = createBand(20.0 * std::pow(1200.0, double(i + 1) / count));
        if (!band)
            return;
        setBandSampleRate(*band, fx.sampleRate);
        band->settings.threshold = std::exp(-6.0 * (i % 5) * 0.11512925464970228);
        band->settings.ratio = i % 3 == 2 ? 0.6 : 1.5 + i;
        if (!fx.appendBand(band))
            destroyBand(band);
    }
}
