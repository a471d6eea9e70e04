// User presets on disk: save, list, load, import and export round trips, names with spaces and
// non-ASCII letters, the per-user folder, and refusals (a damaged file, a stranger's file, a
// full or read-only folder) that leave every existing preset as it was.
#include "host_calls.h"
#include "shell/ab_slots.h"
#include "shell/edit_history.h"
#include "shell/factory_presets.h"
#include "shell/preset_library.h"
#include "shell/program_file.h"
#include "shell/state_block.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

intptr_t VST_CALL silentHost(AEffect*, int32_t, int32_t, intptr_t, void*, float) {
    return 0;
}

std::vector<uint8_t> fileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

class PresetLibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        root = fs::temp_directory_path() / (std::string("tarnwell-presets-") + test->name());
        fs::remove_all(root);
        folder = root / fs::u8path(u8"Prüf ordner") / "presets"; // created by the first save
        effect = VSTPluginMain(silentHost);
        fx = instanceOf(effect);
    }
    void TearDown() override {
        dispatch(effect, effClose);
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
    std::string folderText() const { return folder.u8string(); }
    std::vector<uint8_t> setting() {
        std::vector<uint8_t> block;
        EXPECT_TRUE(copyStateBlock(*fx, block));
        return block;
    }
    std::vector<std::string> userNames(const PresetLibrary& library) {
        std::vector<std::string> names;
        for (const PresetEntry& entry : library.list())
            if (!entry.factory)
                names.push_back(entry.name);
        return names;
    }
    fs::path root, folder;
    AEffect* effect = nullptr;
    CompressorEffect* fx = nullptr;
};

TEST_F(PresetLibraryTest, SaveListAndLoadRoundTripWithSpacesAndNonAsciiNames) {
    PresetLibrary library(folderText());
    const std::vector<std::string> names = {u8"Warm bass", u8"Größe Bühne", u8"Тёплый бас", "a/b: c?"};
    std::string error;
    for (size_t i = 0; i < names.size(); ++i) {
        fx->changeSetting(0, kSettingThreshold, 0.1 * double(i + 1));
        ASSERT_TRUE(savePreset(*fx, library, names[i], error)) << names[i] << ": " << error;
        EXPECT_EQ(currentPresetName(*fx), names[i]);
    }
    // Factory presets first in their order, then the user's sorted by name.
    const std::vector<PresetEntry> entries = library.list();
    ASSERT_EQ(entries.size(), size_t(factoryPresetCount()) + names.size());
    for (int32_t i = 0; i < factoryPresetCount(); ++i)
        EXPECT_TRUE(entries[size_t(i)].factory && entries[size_t(i)].name == factoryPreset(i).name);
    std::vector<std::string> sorted = names;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(userNames(library), sorted);
    // Unsafe characters are left out of the file name, not out of the preset's name.
    EXPECT_TRUE(fs::exists(folder / "a_b_ c_.fxp"));
    EXPECT_TRUE(fs::exists(folder / fs::u8path(u8"Größe Bühne.fxp")));

    for (size_t i = 0; i < names.size(); ++i) {
        ASSERT_TRUE(loadPreset(*fx, library, names[i], error)) << error;
        EXPECT_DOUBLE_EQ(fx->band(0)->settings.threshold, 0.1 * double(i + 1)) << names[i];
        EXPECT_EQ(currentPresetName(*fx), names[i]);
    }
    EXPECT_FALSE(loadPreset(*fx, library, "never saved", error));
    EXPECT_NE(error.find("no preset named \"never saved\""), std::string::npos) << error;
}

TEST_F(PresetLibraryTest, SavingAgainReplacesAndRefusesBadNames) {
    PresetLibrary library(folderText());
    std::string error;
    ASSERT_TRUE(library.save("Mine", setting(), error)) << error;
    fx->addBand();
    ASSERT_TRUE(savePreset(*fx, library, "Mine", error)) << error;
    EXPECT_EQ(userNames(library), std::vector<std::string>{"Mine"});
    std::vector<uint8_t> loaded;
    ASSERT_TRUE(library.load("Mine", loaded, error));
    EXPECT_EQ(loaded, setting());
    // Nothing but the preset is left in the folder (no temporary files).
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);

    // Two names with one file name: the second gets a file of its own.
    ASSERT_TRUE(library.save("a?b", setting(), error)) << error;
    ASSERT_TRUE(library.save("a*b", setting(), error)) << error;
    EXPECT_TRUE(fs::exists(folder / "a_b.fxp"));
    EXPECT_TRUE(fs::exists(folder / "a_b (1).fxp"));
    EXPECT_EQ(userNames(library), (std::vector<std::string>{"Mine", "a*b", "a?b"}));

    EXPECT_FALSE(library.save("", setting(), error));
    EXPECT_FALSE(library.save(std::string(28, 'x'), setting(), error));
    EXPECT_NE(error.find("1 to 27 bytes"), std::string::npos) << error;
    EXPECT_FALSE(library.save("De-esser", setting(), error));
    EXPECT_NE(error.find("factory preset"), std::string::npos) << error;
}

TEST_F(PresetLibraryTest, LoadingAPresetKeepsTheViewAndTheOtherSetting) {
    PresetLibrary library(folderText());
    std::string error;
    fx->showGrid = 0;
    fx->showAnalyzer = 0;
    ASSERT_TRUE(copyToOtherSlot(*fx));
    const std::vector<uint8_t> before = setting();
    const StateBlockParts kept = splitStateBlock(before.data(), before.size());
    const std::vector<uint8_t> other(kept.other, kept.other + kept.otherSize);
    ASSERT_TRUE(loadPreset(*fx, library, "Peak catcher", error)) << error;
    const std::vector<uint8_t> after = setting();
    const StateBlockParts parts = splitStateBlock(after.data(), after.size());
    ASSERT_NE(parts.other, nullptr);
    EXPECT_EQ(std::vector<uint8_t>(parts.other, parts.other + parts.otherSize), other);
    EXPECT_EQ(fx->bandCount(), 1);
    EXPECT_EQ(effect->numParams, 12);
    EXPECT_EQ(fx->showGrid, 0);
    EXPECT_EQ(fx->showAnalyzer, 0);
    EXPECT_EQ(fx->showTabs, 1);
}

TEST_F(PresetLibraryTest, DamagedAndStrangersFilesAreRefusedAndTheOldPresetStays) {
    PresetLibrary library(folderText());
    std::string error;
    ASSERT_TRUE(library.save("Keep me", setting(), error)) << error;
    const fs::path kept = folder / "Keep me.fxp";
    const std::vector<uint8_t> keptBytes = fileBytes(kept);

    // A file cut short, and the same file with a stranger's plug-in id.
    std::vector<uint8_t> damaged = keptBytes;
    damaged.resize(damaged.size() - 40);
    writeBytes(root / "damaged.fxp", damaged);
    std::vector<uint8_t> stranger = keptBytes;
    stranger[16] = 'X';
    writeBytes(root / "stranger.fxp", stranger);
    // A whole program file whose setting stops before the view flags.
    std::vector<uint8_t> block = setting();
    block.resize(block.size() - 4);
    writeBytes(root / "short setting.fxp", buildProgramFile(block, {kUniqueId, kEffectVersion}, "Keep me"));

    std::string name;
    EXPECT_FALSE(library.importFile((root / "damaged.fxp").u8string(), name, error));
    EXPECT_NE(error.find("truncated program file"), std::string::npos) << error;
    EXPECT_FALSE(library.importFile((root / "stranger.fxp").u8string(), name, error));
    EXPECT_NE(error.find("belongs to plug-in 'XrwS'"), std::string::npos) << error;
    EXPECT_FALSE(library.importFile((root / "short setting.fxp").u8string(), name, error));
    EXPECT_NE(error.find("damaged"), std::string::npos) << error;
    EXPECT_FALSE(library.importFile((root / "missing.fxp").u8string(), name, error));
    EXPECT_NE(error.find("cannot open"), std::string::npos) << error;
    EXPECT_EQ(fileBytes(kept), keptBytes);

    // A damaged file in the folder itself is left out of the list and refused on load.
    writeBytes(folder / "Broken.fxp", damaged);
    EXPECT_EQ(userNames(library), std::vector<std::string>{"Keep me"});
    const std::vector<uint8_t> before = setting();
    EXPECT_FALSE(loadPreset(*fx, library, "Broken", error));
    EXPECT_EQ(setting(), before);
}

TEST_F(PresetLibraryTest, ExportAndImportRoundTrip) {
    std::string error;
    fx->addBand();
    fx->changeSetting(4, kSettingRatio, 7.0);
    const fs::path exported = root / fs::u8path(u8"Éxport test.fxp");
    fs::create_directories(root);
    ASSERT_TRUE(exportPreset(*fx, exported.u8string(), error)) << error;

    PresetLibrary other((root / "other").u8string());
    std::string name;
    ASSERT_TRUE(other.importFile(exported.u8string(), name, error)) << error;
    EXPECT_EQ(name, u8"Éxport test");
    std::vector<uint8_t> imported;
    ASSERT_TRUE(other.load(name, imported, error)) << error;
    EXPECT_EQ(imported, setting());
    // A second import of the same name leaves the first alone.
    EXPECT_FALSE(other.importFile(exported.u8string(), name, error));
    EXPECT_NE(error.find("exists already"), std::string::npos) << error;
}

TEST_F(PresetLibraryTest, ThePerUserFolder) {
#ifdef _WIN32
    _wputenv_s(L"APPDATA", L"C:\\Users\\Zoë\\AppData\\Roaming");
    EXPECT_EQ(userPresetFolder(), u8"C:\\Users\\Zoë\\AppData\\Roaming\\Tarnwell\\Presets");
#else
    const char* savedHome = std::getenv("HOME");
    const std::string home = savedHome ? savedHome : "";
    setenv("XDG_CONFIG_HOME", "/config/here", 1);
    EXPECT_EQ(userPresetFolder(), "/config/here/tarnwell/presets");
    setenv("XDG_CONFIG_HOME", "relative", 1); // not a place: the variable is ignored
    setenv("HOME", "/home/zoë", 1);
    EXPECT_EQ(userPresetFolder(), "/home/zoë/.config/tarnwell/presets");
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(userPresetFolder(), "/home/zoë/.config/tarnwell/presets");
    setenv("HOME", home.c_str(), 1);
#endif
}

#ifndef _WIN32
// Runs save in a child process that cannot write (run as root, the test drops to an
// unprivileged user; or its files may not grow), and returns its message.
std::string saveInRestrictedChild(PresetLibrary& library, const std::vector<uint8_t>& block, bool readOnly) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return "no pipe";
    const pid_t child = fork();
    if (child == 0) {
        close(pipeEnds[0]);
        if (readOnly) {
            if (geteuid() == 0 && setuid(65534) != 0)
                _exit(2);
        } else {
            signal(SIGXFSZ, SIG_IGN);
            rlimit limit{16, 16};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        std::string error;
        const bool saved = library.save("Keep me", block, error);
        if (write(pipeEnds[1], error.data(), error.size()) < 0)
            _exit(3);
        _exit(saved ? 1 : 0);
    }
    close(pipeEnds[1]);
    std::string message;
    char buffer[256];
    ssize_t got;
    while ((got = read(pipeEnds[0], buffer, sizeof(buffer))) > 0)
        message.append(buffer, size_t(got));
    close(pipeEnds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? message : "the save did not fail";
}

TEST_F(PresetLibraryTest, AReadOnlyOrFullFolderIsReportedAndThePresetStays) {
    PresetLibrary library(folderText());
    std::string error;
    ASSERT_TRUE(library.save("Keep me", setting(), error)) << error;
    const fs::path kept = folder / "Keep me.fxp";
    const std::vector<uint8_t> keptBytes = fileBytes(kept);
    fx->addBand();
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    const std::string readOnly = saveInRestrictedChild(library, setting(), true);
    EXPECT_NE(readOnly.find("cannot write in"), std::string::npos) << readOnly;
    EXPECT_NE(readOnly.find("ermission denied"), std::string::npos) << readOnly;
    fs::permissions(folder, fs::perms::owner_all);

    const std::string full = saveInRestrictedChild(library, setting(), false);
    EXPECT_NE(full.find("cannot write"), std::string::npos) << full;
    EXPECT_NE(full.find("too large"), std::string::npos) << full;
    EXPECT_EQ(fileBytes(kept), keptBytes);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}
#endif

} // namespace
