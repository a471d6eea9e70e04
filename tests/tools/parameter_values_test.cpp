// Parameter settings by name and display value: against a model parameter list whose mappings
// are written here from their formulas, and against the real plug-in through its effect record.
#include "host/parameter_values.h"
#include "host/plugin_session.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace {

std::string printed(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof(text), format, value);
    return text;
}

double ampToDb(double amplitude) {
    return amplitude < std::ldexp(1.0, -25) ? -150.0 : 20 * std::log10(amplitude);
}

double ratioOf(double v) {
    const double position = 250 + 750 * v;
    if (position < 250)
        return std::fmax(0.1, 1 - (250 - position) / 250 * 0.9);
    const double x = (position - 250) / 750;
    return std::fmin(100.0, x * x * 99 + 1);
}

// A parameter list with the compressor's documented displays, and a falling one.
class ModelParameters : public ParameterAccess {
  public:
    struct Parameter {
        std::string name, unit;
        std::function<std::string(double)> display;
        double low = 0, high = 1;
        float value = 0;
    };

    explicit ModelParameters(int bands) {
        for (int b = 1; b <= bands; ++b) {
            const std::string prefix = std::to_string(b) + "-";
            add(prefix + "Freq", "Hz", [](double v) {
                return printed(
                    "%.1f", std::fmin(24000.0, std::fmax(20.0, 20 + 23980 * (std::pow(401.0, v) - 1) / 400)));
            });
            add(prefix + "Thresh", "dB",
                [](double v) { return printed("%.1f", ampToDb(std::fmin(4 * v, 64.0))); });
            add(
                prefix + "Ratio", ":1", [](double v) { return printed("%.2f", ratioOf(v)); }, -1.0 / 3.0);
            add(prefix + "Attack", "ms",
                [](double v) { return printed("%.0f", std::trunc(float(v) * 250.0f)); });
            add(prefix + "Release", "ms", [](double v) {
                const double position = 1000 * v;
                return printed("%.0f", std::trunc(std::fmin(2000.0, position * position / 1000000 * 2000)));
            });
            add(prefix + "Active", "", [](double v) { return std::string(v > 0.5 ? "ON" : "OFF"); });
            add(prefix + "Ceiling", "dB", [](double v) { return printed("%.1f", -40 * v); });
        }
    }

    int32_t parameterCount() const override { return int32_t(parameters.size()); }
    // Names reach a host cut to eight characters.
    std::string parameterName(int32_t i) const override { return parameters[size_t(i)].name.substr(0, 8); }
    std::string parameterUnit(int32_t i) const override { return parameters[size_t(i)].unit; }
    std::string parameterDisplay(int32_t i) const override {
        return parameters[size_t(i)].display(parameters[size_t(i)].value);
    }
    float parameterValue(int32_t i) const override { return parameters[size_t(i)].value; }
    void setParameterValue(int32_t i, float v) override { parameters[size_t(i)].value = v; }
    std::string displayForValue(int32_t i, float v) override { return parameters[size_t(i)].display(v); }
    void valueRange(int32_t i, double& low, double& high) override {
        low = parameters[size_t(i)].low;
        high = parameters[size_t(i)].high;
    }

    std::vector<Parameter> parameters;

  private:
    void add(const std::string& name, const std::string& unit, std::function<std::string(double)> display,
             double low = 0) {
        parameters.push_back({name, unit, std::move(display), low, 1.0, 0.0f});
    }
};

ParameterSetting resolved(ParameterAccess& parameters, const std::string& assignment) {
    ParameterSetting setting;
    std::string error;
    EXPECT_TRUE(resolveParameterSetting(parameters, assignment, setting, error))
        << assignment << ": " << error;
    return setting;
}

std::string refusal(ParameterAccess& parameters, const std::string& assignment) {
    ParameterSetting setting;
    std::string error;
    EXPECT_FALSE(resolveParameterSetting(parameters, assignment, setting, error)) << assignment;
    return error;
}

TEST(ParameterByName, NumericValuesLandInsideTheirDisplayStep) {
    ModelParameters model(2);
    // Thresh: 4v = 10^(-24/20); the middle of the -24.0 step is within a thousandth of a dB.
    EXPECT_NEAR(ampToDb(4 * resolved(model, "2-Thresh=-24").value), -24.0, 0.001);
    EXPECT_NEAR(ampToDb(4 * resolved(model, "1-thresh=+6.5 dB").value), 6.5, 0.001);
    EXPECT_EQ(resolved(model, "1-Thresh=-150").value, 0.0f);
    EXPECT_EQ(resolved(model, "1-Freq=24000").value, 1.0f);
    EXPECT_EQ(resolved(model, "1-Freq=20").value, 0.0f);
    // Ratio: 1 + 99v^2 = 3 gives v = sqrt(2/99); below 1:1 the value is negative.
    EXPECT_NEAR(resolved(model, "2-Ratio=3:1").value, std::sqrt(2.0 / 99), 1e-4);
    EXPECT_NEAR(resolved(model, "2-Ratio=0.5").value, -0.1852, 1e-4);
    EXPECT_NEAR(resolved(model, "2-Ratio=100").value, 1.0, 1e-4);
    // Whole milliseconds: 15 ms is v in [0.06, 0.064); the middle truncates back to 15.
    EXPECT_EQ(std::trunc(resolved(model, "1-Attack=15").value * 250.0f), 15.0f);
    EXPECT_EQ(resolved(model, "1-Attack=250").value, 1.0f);
    // Release = 2000 (1000v / 1000)^2: 500 ms is v = 0.5.
    EXPECT_NEAR(resolved(model, "1-Release=500ms").value, 0.5, 1e-3);
    // Log frequency: 1000 Hz is v = ln((1000 - 20) * 400 / 23980 + 1) / ln 401.
    EXPECT_NEAR(resolved(model, "1-Freq=1000").value, std::log(980.0 * 400 / 23980 + 1) / std::log(401.0),
                1e-5);
    // A display that falls as the value rises is searched the other way.
    EXPECT_NEAR(resolved(model, "1-Ceiling=-10").value, 0.25, 1e-3);
}

TEST(ParameterByName, ValuesBetweenDisplayStepsTakeTheNearerStep) {
    ModelParameters model(1);
    const float v = resolved(model, "1-Attack=15.2").value;
    EXPECT_EQ(model.displayForValue(3, v), "15");
    EXPECT_EQ(model.displayForValue(3, resolved(model, "1-Attack=15.8").value), "16");
}

TEST(ParameterByName, SwitchesTakeTheirTextsAndTheUsualSynonyms) {
    ModelParameters model(1);
    for (const char* on : {"on", "ON", "true", "yes", "1"})
        EXPECT_EQ(resolved(model, std::string("1-Active=") + on).value, 1.0f) << on;
    for (const char* off : {"off", "Off", "false", "no", "0"})
        EXPECT_EQ(resolved(model, std::string("1-Active=") + off).value, 0.0f) << off;
    EXPECT_EQ(refusal(model, "1-Active=maybe"),
              "--set 1-Active=maybe: value 'maybe' is not one 1-Active can show (it shows 'OFF' to 'ON')");
}

TEST(ParameterByName, NamesAreMatchedAsTheHostSeesThem) {
    ModelParameters model(10);
    // The tenth band's Release arrives as "10-Relea"; the full word finds it.
    const ParameterSetting setting = resolved(model, "10-Release=500");
    EXPECT_EQ(model.parameterName(setting.index), "10-Relea");
    EXPECT_EQ(resolved(model, "10-relea=500").index, setting.index);
    EXPECT_EQ(refusal(model, "10-Rel=500"), "--set 10-Rel=500: no parameter named '10-Rel' (see --list)");
    EXPECT_EQ(refusal(model, "11-Thresh=0"),
              "--set 11-Thresh=0: no parameter named '11-Thresh' (see --list)");
}

TEST(ParameterByIndex, NormalisedValuesAreTakenAsTheyAreWithinTheRange) {
    ModelParameters model(1);
    EXPECT_EQ(resolved(model, "1=0.42").value, 0.42f);
    EXPECT_EQ(resolved(model, "2=-0.25").value, -0.25f); // the ratio's range reaches -1/3
    EXPECT_EQ(refusal(model, "1=1.5"), "--set 1=1.5: normalised value 1.5 is outside 0 .. 1");
    EXPECT_EQ(refusal(model, "7=0.5"), "--set 7=0.5: parameter index 7 is out of range (0..6)");
    EXPECT_EQ(refusal(model, "1=half"), "--set 1=half: 'half' is not a number");
}

TEST(ParameterByName, ValuesOutsideTheDisplayedRangeAreRefused) {
    ModelParameters model(1);
    EXPECT_EQ(refusal(model, "1-Thresh=13"),
              "--set 1-Thresh=13: value 13 for 1-Thresh is outside -150 .. 12 dB");
    EXPECT_EQ(refusal(model, "1-Ratio=0.05"),
              "--set 1-Ratio=0.05: value 0.05 for 1-Ratio is outside 0.1 .. 100 :1");
    EXPECT_EQ(refusal(model, "1-Thresh=-2x"), "--set 1-Thresh=-2x: '-2x' is not a number");
    EXPECT_EQ(refusal(model, "1-Thresh="), "--set 1-Thresh=: expected NAME=VALUE or INDEX=NORMALISED");
}

// The real plug-in: every kind set by its display text shows that text afterwards.
TEST(ParameterByNameOnThePlugin, SettingsShowTheRequestedText) {
    PluginSession plugin;
    std::string error;
    ASSERT_TRUE(plugin.open(TARNWELL_PLUGIN_PATH, error)) << error;
    const std::pair<const char*, const char*> cases[] = {
        {"1-Freq=1000", "1000.0"}, {"2-Gain=-6", "-6.0"},       {"2-Thresh=-24", "-24.0"},
        {"3-Ratio=3", "3.00"},     {"3-Ratio=0.5", "0.50"},     {"4-Knee=6", "6.00"},
        {"1-Attack=15", "15"},     {"1-Release=500", "500"},    {"1-RMS=20", "20"},
        {"1-MakeUp=off", "OFF"},   {"2-AutoRel=on", "ON"},      {"2-FeedBk=1", "ON"},
        {"4-Active=off", "OFF"},   {"4-Freq=24000", "24000.0"},
    };
    for (const auto& [assignment, shown] : cases) {
        ParameterSetting setting;
        ASSERT_TRUE(resolveParameterSetting(plugin, assignment, setting, error))
            << assignment << ": " << error;
        plugin.setParameterValue(setting.index, setting.value);
        EXPECT_EQ(plugin.parameterDisplay(setting.index), shown) << assignment;
    }
    const std::string described = describeParameter(plugin, 2 + 12);
    EXPECT_EQ(described.substr(0, 21), "2-Thresh = -24.0 dB (") << described;
    EXPECT_NEAR(std::stod(described.substr(21)), std::pow(10.0, -24.0 / 20) / 4, 2e-5) << described;
}

TEST(ParameterByNameOnThePlugin, ListShowsEveryParameterWithItsUnit) {
    PluginSession plugin;
    std::string error;
    ASSERT_TRUE(plugin.open(TARNWELL_PLUGIN_PATH, error)) << error;
    const std::string list = formatParameterList(plugin);
    EXPECT_EQ(std::count(list.begin(), list.end(), '\n'), 1 + 48);
    EXPECT_NE(list.find("    2  1-Thresh         0.0  dB    0.25\n"), std::string::npos) << list;
    EXPECT_NE(list.find("   47  4-Active          ON        1\n"), std::string::npos) << list;
}

} // namespace
