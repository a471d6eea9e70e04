#include "editor/core/main_rules.h"

#include "editor/core/ui_scale.h"
#include "engine/decibels.h"
#include "shell/compressor_effect.h"
#include "shell/conversions.h"
#include "support/saturating_cast.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int32_t kGraphHeightWithTabs = 120;
constexpr int32_t kGraphHeightWithoutTabs = 370;
constexpr int32_t kGraphGapAboveButtons = 2;

} // namespace

void formatBanner(char* text, size_t size) {
    std::snprintf(text, size, "Tarnwell-STAND64  %d.%d  (build %d, x64)  -  multiband compressor by Vantor",
                  kEffectVersion / 1000, kEffectVersion / 100 % 10, kEffectVersion);
}

void formatTabLabel(char* text, size_t size, int32_t bandIndex) {
    std::snprintf(text, size, "%d", bandIndex + 1);
}

double outputGainForDb(double db) {
    const double gain = dbToAmp(db);
    return gain <= kSilentOutputGain ? 0 : gain;
}

void formatOutputGain(char* text, size_t size, double gain) {
    if (gain <= kSilentOutputGain)
        std::snprintf(text, size, "-inf");
    else
        std::snprintf(text, size, "%.1f", ampToDb(gain));
}

double outputGainTyped(const char* text) {
    return outputGainForDb(std::strtod(text, nullptr));
}

int32_t outputFaderPosition(double gain) {
    return truncateToInt32(dbToFaderPos(ampToDb(gain)));
}

double outputGainAtFaderPosition(int32_t position) {
    return outputGainForDb(faderPosToDb(double(position)));
}

int32_t meterLevelTenths(double peak) {
    return truncateToInt32(std::floor(ampToDb(peak) * 10));
}

int32_t graphHeight(bool showTabs, int32_t room, double scale) {
    const int32_t wanted = scaledPixels(showTabs ? kGraphHeightWithTabs : kGraphHeightWithoutTabs, scale);
    return std::min(wanted, room - scaledPixels(kGraphGapAboveButtons, scale));
}
