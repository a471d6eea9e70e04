// tarnwell-render's presets: --list-presets, --preset (after --load-state, before the --set
// options and --output-gain) and --save-preset into the user's folder ($XDG_CONFIG_HOME here).
#include "shell/factory_presets.h"
#include "shell/program_file.h"
#include "shell/state_block.h"
#include "tool_runner.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace {

constexpr int32_t kTarnwellId = ('t' << 24) | ('r' << 16) | ('w' << 8) | 'S';

int32_t readInt(const std::vector<uint8_t>& block, size_t at) {
    uint32_t bits = 0;
    for (int i = 0; i < 4; ++i)
        bits |= uint32_t(block[at + size_t(i)]) << (8 * i);
    return int32_t(bits);
}

double readReal(const std::vector<uint8_t>& block, size_t at) {
    uint64_t bits = 0;
    for (int i = 0; i < 8; ++i)
        bits |= uint64_t(block[at + size_t(i)]) << (8 * i);
    double value;
    std::memcpy(&value, &bits, sizeof(value));
    return value;
}

class PresetTool : public ::testing::Test {
protected:
    void SetUp() override { setenv("XDG_CONFIG_HOME", dir.path("config").c_str(), 1); }
    void TearDown() override { unsetenv("XDG_CONFIG_HOME"); }
    std::vector<std::string> withPlugin(std::vector<std::string> arguments) {
        arguments.push_back("--plugin");
        arguments.push_back(TARNWELL_PLUGIN_PATH);
        return arguments;
    }
    std::vector<uint8_t> savedChunk(const std::string& path) {
        const std::vector<unsigned char> file = fileBytes(path);
        std::vector<uint8_t> chunk;
        std::string error;
        EXPECT_TRUE(extractStateChunk(file, true, kTarnwellId, chunk, error)) << error;
        return chunk;
    }
    ScratchDirectory dir;
};

TEST_F(PresetTool, ListsTheFactoryPresetsThenTheUsersWithoutAPlugin) {
    ToolResult result = runRender({"--list-presets"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    std::ostringstream expected;
    for (int32_t i = 0; i < factoryPresetCount(); ++i)
        expected << "factory  " << factoryPreset(i).name << "\n";
    EXPECT_EQ(result.out, expected.str());

    ASSERT_EQ(runRender(withPlugin({"--save-preset", "Zebra"})).exitCode, 0);
    ASSERT_EQ(runRender(withPlugin({"--save-preset", u8"Ärger"})).exitCode, 0);
    ASSERT_EQ(runRender(withPlugin({"--save-preset", "Apple pie"})).exitCode, 0);
    result = runRender({"--list-presets"});
    EXPECT_EQ(result.out,
              expected.str() + "user     Apple pie\nuser     Zebra\nuser     " + u8"Ärger" + "\n");
}

TEST_F(PresetTool, APresetComesAfterLoadStateAndBeforeSetAndOutputGain) {
    // A five-band state loaded first is replaced by the one-band preset; --set and
    // --output-gain then change the preset's values.
    ASSERT_EQ(runRender(withPlugin({"--preset", "Mastering 5-band", "--save-state", dir.path("five.fxp")}))
                  .exitCode,
              0);
    ASSERT_EQ(readInt(savedChunk(dir.path("five.fxp")), 4), 5);
    const ToolResult result =
        runRender(withPlugin({"--load-state", dir.path("five.fxp"), "--preset", "Peak catcher", "--set",
                              "1-Thresh=-12", "--output-gain", "-3", "--save-state", dir.path("run.fxp")}));
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::vector<uint8_t> chunk = savedChunk(dir.path("run.fxp"));
    ASSERT_EQ(readInt(chunk, 4), 1);
    EXPECT_NEAR(20 * std::log10(readReal(chunk, 8 + 16)), -12.0, 0.01);     // threshold
    EXPECT_NEAR(readReal(chunk, 8 + 24), 20.0, 1e-12);                      // the preset's ratio
    EXPECT_NEAR(20 * std::log10(readReal(chunk, 8 + 56 + 8)), -3.0, 0.001); // output gain
}

TEST_F(PresetTool, SavedPresetsLoadBackWithTheirNames) {
    const std::string name = u8"Мой де-эссер";
    ToolResult result = runRender(withPlugin({"--preset", "De-esser", "--set", "2-Thresh=-30",
                                              "--save-preset", name, "--save-state", dir.path("a.fxp")}));
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find(u8"saved    preset \"Мой де-эссер\""), std::string::npos) << result.out;
    const std::string file = dir.path("config") + "/tarnwell/presets/" + name + ".fxp";
    ASSERT_TRUE(fileExists(file));
    EXPECT_EQ(programFileName(fileBytes(file)), name);

    result = runRender(withPlugin({"--preset", name, "--save-state", dir.path("b.fxp")}));
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(savedChunk(dir.path("b.fxp")), savedChunk(dir.path("a.fxp")));
}

TEST_F(PresetTool, UnknownPresetsAndUnwritableFoldersAreRefused) {
    ToolResult result =
        runRender(withPlugin({"--preset", "Nothing like it", "--save-state", dir.path("s.fxp")}));
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("no preset named \"Nothing like it\""), std::string::npos) << result.err;
    EXPECT_FALSE(fileExists(dir.path("s.fxp")));

    // The folder would have to be made inside a file.
    writeBytes(dir.path("plain"), {1, 2, 3});
    setenv("XDG_CONFIG_HOME", dir.path("plain").c_str(), 1);
    result = runRender(withPlugin({"--save-preset", "Mine"}));
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.err.find("cannot create the preset folder"), std::string::npos) << result.err;

    result = runRender(withPlugin({"--save-preset", "Bass control"}));
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.err.find("factory preset"), std::string::npos) << result.err;
    result = runRender(withPlugin({"--out-dir", dir.path("o"), "--save-preset", "X", "in.wav"}));
    EXPECT_EQ(result.exitCode, 1);
}

} // namespace
