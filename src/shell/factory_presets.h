// The factory presets: named settings for common jobs, kept as readable data (factory_presets.cpp)
// and turned into state blocks when used. Each band is written in the units a user reads on the
// band panel: Hz, dB, x:1, milliseconds and switches.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CompressorEffect;

struct FactoryBand {
    double frequencyHz; // the band's top edge
    double gainDb;
    double thresholdDb;
    double ratio;
    double kneeDb;
    int32_t attackMs, releaseMs, rmsMs;
    bool autoMakeup, programRelease, feedback, active;
};

constexpr int32_t kMostFactoryBands = 6;

struct FactoryPreset {
    const char* name;
    double outputGainDb;
    int32_t bandCount;
    FactoryBand bands[kMostFactoryBands];
};

int32_t factoryPresetCount();
// The preset at index (0..count-1), in the order a menu lists them.
const FactoryPreset& factoryPreset(int32_t index);
// The preset of that exact name, or null.
const FactoryPreset* findFactoryPreset(const std::string& name);

// The preset as a state block: default view options, no solo, no second A/B setting.
std::vector<uint8_t> factoryPresetBlock(const FactoryPreset& preset);
