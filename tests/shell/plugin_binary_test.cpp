// Loads the built plug-in library itself (Tarnwell.dll under Wine, Tarnwell.so natively) the
// way a host does, and checks that the Windows build computes what the Linux build computes.
//   plugin_binary_tests --write-reference FILE   writes this build's output for the test signal
#include "host/plugin_host.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Wine maps the Unix root to drive Z:.
std::string hostPath(const char* path) {
#ifdef _WIN32
    if (path[0] == '/')
        return std::string("Z:") + path;
#endif
    return path;
}

const int kSeconds = 4;
const double kSampleRate = 44100;

// The output of a fresh instance for the fixed test signal: left channel, then right.
std::vector<float> renderTestSignal(AEffect* effect) {
    effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, float(kSampleRate));
    effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
    const int frames = kSeconds * int(kSampleRate);
    std::vector<float> inLeft, inRight;
    generateTestSignal(inLeft, inRight, frames, kSampleRate);
    std::vector<float> out(size_t(frames) * 2);
    processStereo(effect, inLeft.data(), inRight.data(), out.data(), out.data() + frames, frames, 512);
    return out;
}

class PluginBinary : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(loadPluginLibrary(hostPath(TARNWELL_PLUGIN_PATH), library, error)) << error;
        effect = library.entry(quietHostCallback);
        ASSERT_NE(effect, nullptr);
    }
    void TearDown() override {
        if (effect)
            effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
        unloadPluginLibrary(library);
    }
    PluginLibrary library;
    AEffect* effect = nullptr;
};

TEST_F(PluginBinary, ExportsTheEntryAndFillsTheRecord) {
    EXPECT_EQ(effect->magic, kEffectMagic);
    EXPECT_EQ(effect->uniqueID, int32_t(0x74727753));
    EXPECT_EQ(effect->version, 1100);
    EXPECT_EQ(effect->numParams, 48);
    EXPECT_EQ(effect->numInputs, 2);
    EXPECT_EQ(effect->numOutputs, 2);
    // Both plug-ins advertise their editor (the Win32 one, the X11 one).
    EXPECT_EQ(effect->flags, 49);
    // Two instances of one library are independent.
    AEffect* other = library.entry(quietHostCallback);
    ASSERT_NE(other, nullptr);
    EXPECT_NE(other->object, effect->object);
    other->dispatcher(other, effClose, 0, 0, nullptr, 0.0f);
}

#ifndef _WIN32
// Without an X display the .so loads, processes and sizes its editor; only opening it fails.
TEST_F(PluginBinary, RunsHeadlessWithTheEditorClosed) {
    const char* display = std::getenv("DISPLAY");
    const std::string saved = display ? display : "";
    unsetenv("DISPLAY");
    ERect* rect = nullptr;
    EXPECT_EQ(effect->dispatcher(effect, effEditGetRect, 0, 0, &rect, 0.0f), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->right - rect->left, 567);
    EXPECT_EQ(rect->bottom - rect->top, 396);
    const uintptr_t someWindow = 0x200001;
    EXPECT_EQ(effect->dispatcher(effect, effEditOpen, 0, 0, reinterpret_cast<void*>(someWindow), 0.0f), 0);
    effect->dispatcher(effect, effEditClose, 0, 0, nullptr, 0.0f);
    if (display)
        setenv("DISPLAY", saved.c_str(), 1);
    EXPECT_EQ(renderTestSignal(effect).size(), size_t(kSeconds * int(kSampleRate) * 2));
}
#endif

TEST_F(PluginBinary, ProcessesAudio) {
    std::vector<float> out = renderTestSignal(effect);
    double energy = 0;
    for (float v : out) {
        ASSERT_TRUE(std::isfinite(v));
        energy += double(v) * v;
    }
    EXPECT_GT(energy, 1000.0);
}

#ifdef TARNWELL_REFERENCE_PATH
TEST_F(PluginBinary, MatchesTheLinuxBuild) {
    std::vector<float> out = renderTestSignal(effect);
    std::vector<float> reference(out.size());
    FILE* file = std::fopen(hostPath(TARNWELL_REFERENCE_PATH).c_str(), "rb");
    ASSERT_NE(file, nullptr) << "no reference output from the Linux build at " << TARNWELL_REFERENCE_PATH;
    size_t read = std::fread(reference.data(), sizeof(float), reference.size(), file);
    std::fclose(file);
    ASSERT_EQ(read, reference.size());
    double largest = 0;
    for (size_t i = 0; i < out.size(); ++i)
        largest = std::max(largest, double(std::fabs(out[i] - reference[i])));
    EXPECT_LE(largest, 1e-6);
}
#endif

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && !std::strcmp(argv[1], "--write-reference")) {
        PluginLibrary library;
        std::string error;
        if (!loadPluginLibrary(hostPath(TARNWELL_PLUGIN_PATH), library, error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
        AEffect* effect = library.entry(quietHostCallback);
        std::vector<float> out = renderTestSignal(effect);
        effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
        FILE* file = std::fopen(argv[2], "wb");
        bool ok = file && std::fwrite(out.data(), sizeof(float), out.size(), file) == out.size();
        if (file)
            std::fclose(file);
        return ok ? 0 : 1;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
