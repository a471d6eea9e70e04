// An instance made through VSTPluginMain with a host that records what it is told, the graph's
// gestures over it, and a port that records what the gestures asked of their window, for the
// response graph's portable tests. The expected positions come from the graph's mapping
// written out here (not from GraphGeometry), so a fault in the geometry shows too.
#pragma once

#include "editor/core/graph_bands.h"
#include "editor/core/graph_gestures.h"
#include "editor/core/graph_port.h"
#include "engine/band_control.h"
#include "shell/compressor_effect.h"
#include "shell/conversions.h"
#include "support/recursive_lock.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace graphcore {

struct HostCall {
    int32_t opcode;
    int32_t index;
    float value;
};
inline std::vector<HostCall> hostCalls;

inline intptr_t VST_CALL recordingHost(AEffect*, int32_t opcode, int32_t index, intptr_t, void*, float value) {
    if (opcode == audioMasterAutomate || opcode == audioMasterEndEdit)
        hostCalls.push_back({opcode, index, value});
    return 0;
}

// What the gestures asked of the window, one line each ("capture", "select 2", "main Solo 1").
class RecordingPort final : public GraphPort {
public:
    GraphArea areaNow{465, 120, 1.0};
    bool captured = false;
    std::vector<std::string> calls;

    GraphArea area() override { return areaNow; }
    void capturePointer() override {
        captured = true;
        calls.push_back("capture");
    }
    void releasePointer() override {
        captured = false;
        calls.push_back("release");
    }
    bool holdsPointer() override { return captured; }
    void repaintGraph() override { calls.push_back("repaint"); }
    void showCurrentBand(int32_t index) override { calls.push_back("select " + std::to_string(index)); }
    void refreshBandPanel() override { calls.push_back("panel"); }
    void runMainCommand(GraphMainCommand command, bool on) override {
        static const char* const names[] = {"AddBand", "DeleteBand", "Solo", "ShowTabs", "ShowGrid"};
        calls.push_back(std::string("main ") + names[int32_t(command)] + (on ? " 1" : " 0"));
    }
    int32_t count(const std::string& call) const {
        int32_t n = 0;
        for (const std::string& c : calls)
            n += c == call ? 1 : 0;
        return n;
    }
};

class GraphCoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        hostCalls.clear();
        effect = VSTPluginMain(recordingHost);
        ASSERT_NE(effect, nullptr);
        fx = CompressorEffect::fromEffect(effect);
        ASSERT_NE(fx, nullptr);
    }
    void TearDown() override {
        if (effect)
            effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    }

    void set(int32_t band, int32_t kind, double value) { ASSERT_TRUE(fx->changeSetting(band, kind, value)); }
    double get(int32_t band, int32_t kind) {
        LockHolder hold(fx->lock);
        const Band* b = fx->band(band);
        return b ? bandSettingValue(*b, kind) : NAN;
    }
    double db(int32_t band, int32_t kind) { return ampToDb(get(band, kind)); }

    // The graph's mapping at the port's size: 20..24000 Hz logarithmically across the width,
    // -60..+6 dB up the height with tabs shown (-90..+12 without), positions truncated.
    int32_t width() const { return port.areaNow.width; }
    int32_t height() const { return port.areaNow.height; }
    int32_t xOf(double f) const {
        return int32_t(std::log((f - 20.0) / 23980.0 * 400.0 + 1.0) / std::log(401.0) * width());
    }
    double frequencyAt(int32_t x) const {
        return (std::exp(x * std::log(401.0) / width()) - 1.0) * 23980.0 * 0.0025 + 20.0;
    }
    int32_t yOfDb(double db) const {
        const double bottom = fx->showTabs ? -60.0 : -90.0, span = fx->showTabs ? 66.0 : 102.0;
        return height() - int32_t((db - bottom) * (height() / span));
    }
    double dbPerPixel() const { return (fx->showTabs ? 66.0 : 102.0) / height(); }
    // The handle centre of band index: halfway between its line and the next lower band's.
    int32_t handleX(int32_t index) {
        const double f = get(index, kSettingFrequency);
        double below = 20.0;
        for (int32_t i = 0; i < fx->viewBandCount(); ++i)
            if (get(i, kSettingFrequency) < f)
                below = std::max(below, get(i, kSettingFrequency));
        return (xOf(f) + xOf(below)) / 2;
    }
    int32_t handleY(int32_t index) { return yOfDb(db(index, kSettingThreshold)); }

    // The host reports of one kind, in order.
    static std::vector<HostCall> reports(int32_t opcode) {
        std::vector<HostCall> out;
        for (const HostCall& call : hostCalls)
            if (call.opcode == opcode)
                out.push_back(call);
        return out;
    }

    AEffect* effect = nullptr;
    CompressorEffect* fx = nullptr;
    RecordingPort port;
    GraphBandCopies copies;
    GraphGestures gestures{copies};
};

} // namespace graphcore
