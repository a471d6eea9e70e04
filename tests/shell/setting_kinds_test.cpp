// Properties every kind of band setting keeps, checked over the whole table: the ends of the
// host range display as the extremes of each setting, fader positions and settings map back
// onto each other, a viewed band shows every setting the band holds, and the logarithmic
// frequency scale meets its anchors in every rounding the editor uses. (Host value -> setting
// -> host value is checked through the effect record, with the state block, by WriteBackTest.)
#include "shell/compressor_effect.h"
#include "shell/setting_kinds.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>

namespace {

struct BandDeleter {
    void operator()(Band* band) const { destroyBand(band); }
};
using BandPtr = std::unique_ptr<Band, BandDeleter>;

bool isSwitch(int32_t kind) {
    return settingKind(kind).faderPosition == nullptr;
}

std::string hostText(int32_t kind, double setting) {
    char text[64];
    settingKind(kind).format(text, sizeof(text), setting);
    return text;
}

TEST(SettingKindsTest, TheEndsOfTheHostRangeDisplayAsTheExtremes) {
    struct Ends {
        const char* low;
        const char* high;
    };
    const Ends ends[kBandSettingKinds] = {
        {"20.0", "24000.0"}, {"-150.0", "12.0"}, {"-150.0", "12.0"}, {"1.00", "100.00"},
        {"0.00", "24.00"},   {"0", "250"},       {"0", "2000"},      {"0", "250"},
        {"OFF", "ON"},       {"OFF", "ON"},      {"OFF", "ON"},      {"OFF", "ON"},
    };
    for (bool logScale : {true, false}) {
        BandSettings settings;
        settings.logScaleAutomation = logScale;
        for (int32_t kind = 0; kind < kBandSettingKinds; ++kind) {
            const SettingKind& rule = settingKind(kind);
            EXPECT_EQ(hostText(kind, rule.fromHost(0.0f, settings)), ends[kind].low) << rule.name;
            EXPECT_EQ(hostText(kind, rule.fromHost(1.0f, settings)), ends[kind].high) << rule.name;
        }
    }
    // The ratio's extended range reaches 0.1:1 at its lower end.
    const SettingKind& ratio = settingKind(kSettingRatio);
    ASSERT_EQ(ratio.extendedRange.written & 1u, 1u);
    EXPECT_EQ(hostText(kSettingRatio, ratio.fromHost(float(ratio.extendedRange.value[0]), BandSettings())),
              "0.10");
}

// The panel shows a stored setting at the fader position it maps to. That position never lies
// above the one the setting came from, and rises with it: a refresh after a drag never moves
// the fader up, and never reorders two settings. A setting comes back at its own position, the
// one below (rounding), or, where many positions store one setting (whole milliseconds), at a
// lower position that stores that same setting.
TEST(SettingKindsTest, FaderPositionsRoundTripThroughTheirSetting) {
    BandPtr band(createBand(1000));
    ASSERT_TRUE(band);
    for (int32_t kind = 0; kind < kBandSettingKinds; ++kind) {
        const SettingKind& rule = settingKind(kind);
        if (isSwitch(kind))
            continue;
        int32_t last = INT32_MIN;
        for (int32_t p = 0; p <= 1000; ++p) {
            ASSERT_TRUE(changeBandSetting(*band, kind, rule.atFaderPosition(p)));
            const double stored = bandSettingValue(*band, kind);
            const int32_t back = rule.faderPosition(stored);
            EXPECT_LE(back, p) << rule.name << " at " << p;
            EXPECT_GE(back, last) << rule.name << " at " << p;
            last = back;
            if (p == 0 && std::string(rule.unit) == "dB" && kind != kSettingKnee)
                continue; // the bottom is silence, below the scale's -90 dB: the fader pins it there
            if (back >= p - 1)
                continue;
            // The release's position is a truncated square root of a truncated square, so the
            // position shown for a short release may store one millisecond less.
            const double shown = rule.atFaderPosition(back);
            EXPECT_LE(shown, stored) << rule.name << " at " << p;
            EXPECT_GE(shown, stored - (kind == kSettingRelease ? 1 : 0)) << rule.name << " at " << p;
        }
    }
}

TEST(SettingKindsTest, EverySettingIsViewedAsTheBandHoldsIt) {
    BandPtr band(createBand(1234.5));
    ASSERT_TRUE(band);
    const double values[kBandSettingKinds] = {1234.5, 0.75, 0.125, 3.5, 9.25, 17, 321, 12, 0, 1, 1, 0};
    for (int32_t kind = 1; kind < kBandSettingKinds; ++kind)
        ASSERT_TRUE(changeBandSetting(*band, kind, values[kind]));
    BandView view;
    view.settings = band->settings;
    view.frequency = band->frequency();
    for (int32_t kind = 0; kind < kBandSettingKinds; ++kind) {
        EXPECT_EQ(viewedSetting(view, kind), values[kind]) << settingKind(kind).name;
        EXPECT_EQ(viewedSetting(view, kind), bandSettingValue(*band, kind)) << settingKind(kind).name;
    }
    // Flip every switch so a switch read from the wrong field shows.
    for (int32_t kind = kSettingAutoMakeup; kind < kBandSettingKinds; ++kind)
        ASSERT_TRUE(changeBandSetting(*band, kind, values[kind] != 0 ? 0 : 1));
    view.settings = band->settings;
    for (int32_t kind = kSettingAutoMakeup; kind < kBandSettingKinds; ++kind)
        EXPECT_EQ(viewedSetting(view, kind), values[kind] != 0 ? 0 : 1) << settingKind(kind).name;
}

TEST(SettingKindsTest, LogScaleMeetsItsAnchorsInEveryRounding) {
    EXPECT_EQ(logScaleFraction(20), 0.0);
    EXPECT_EQ(logScaleFractionByQuotient(20), 0.0);
    EXPECT_NEAR(logScaleFraction(24000), 1.0, 1e-15);
    EXPECT_NEAR(logScaleFractionByQuotient(24000), 1.0, 1e-15);
    EXPECT_EQ(logScaleFrequencyAtFraction(0), 20.0);
    EXPECT_NEAR(logScaleFrequencyAtFraction(1), 24000.0, 1e-9);
    // Half way up the scale: sqrt(401) - 1 of 23980 / 400, plus 20.
    EXPECT_NEAR(logScaleFrequencyAtFraction(0.5), (std::sqrt(401.0) - 1) * 59.95 + 20, 1e-9);
    for (double fullScale : {1000.0, 517.0}) {
        EXPECT_EQ(logScaleFrequencyAt(0, fullScale), 20.0);
        EXPECT_NEAR(logScaleFrequencyAt(fullScale, fullScale), 24000.0, 1e-9);
        EXPECT_NEAR(logScaleFrequencyAt(fullScale / 2, fullScale), logScaleFrequencyAtFraction(0.5), 1e-9);
    }
    // The two roundings of the fraction agree but for the last bits, and each inverts the scale.
    for (double f = 20; f <= 24000; f *= 1.37) {
        EXPECT_NEAR(logScaleFraction(f), logScaleFractionByQuotient(f), 1e-15) << f;
        EXPECT_NEAR(logScaleFrequencyAtFraction(logScaleFraction(f)), f, f * 1e-12) << f;
        EXPECT_NEAR(logScaleFrequencyAt(logScaleFractionByQuotient(f) * 640, 640), f, f * 1e-12) << f;
    }
}

} // namespace
