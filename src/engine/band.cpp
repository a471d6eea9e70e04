#include "engine/band.h"

#include "engine/compressor.h"

#include <cmath>
#include <new>

Band* createBand(double f) {
    Band* band = new (std::nothrow) Band();
    if (!band)
        return nullptr;
    resetBandState(*band);
    designFilter(band->filter, f);
    updateBandCoefficients(*band, true);
    return band;
}

void destroyBand(Band* band) { delete band; }

void setBandSampleRate(Band& band, double sampleRate) {
    band.state.sampleRate = sampleRate;
    if (band.filter.sampleRate != sampleRate) {
        band.filter.sampleRate = sampleRate;
        designFilter(band.filter, -1);
    }
}

void setBandFrequency(Band& band, double f, bool snapshot) {
    if (std::isnan(f))
        return;
    designFilter(band.filter, clampBandFrequency(f));
    updateBandCoefficients(band, snapshot);
}

void copyBandSettings(Band& target, const Band& source) {
    target.settings = source.settings;
    resetBandState(target);
}
