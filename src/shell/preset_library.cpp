#include "shell/preset_library.h"

#include "shell/compressor_effect.h"
#include "shell/edit_history.h"
#include "shell/factory_presets.h"
#include "shell/instance_state.h"
#include "shell/program_file.h"
#include "shell/state_block.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

fs::path pathOf(const std::string& utf8) {
    return fs::u8path(utf8);
}

std::string utf8Of(const fs::path& path) {
    return path.u8string();
}

// The file name for a preset name: ASCII letters, digits, space, '-', '_', '.', '(' and ')'
// as they are, every byte of a non-ASCII character as it is (letters of any script stay
// readable), anything else as '_'; a leading '.' too, so no preset file is hidden.
std::string fileNameFor(const std::string& name) {
    std::string file;
    for (char c : name) {
        const auto byte = uint8_t(c);
        const bool safe = byte >= 0x80 || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                          (c >= '0' && c <= '9') || std::strchr(" -_.()", c);
        file += safe && !(file.empty() && c == '.') ? c : '_';
    }
    return file + ".fxp";
}

std::string systemReason(int error) {
    return std::strerror(error);
}

bool writeAll(FILE* file, const std::vector<uint8_t>& bytes) {
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size())
        return false;
    if (std::fflush(file) != 0)
        return false;
        // The rename must not land before the bytes do.
#ifdef _WIN32
    if (_commit(_fileno(file)) != 0)
        return false;
#else
    if (fsync(fileno(file)) != 0)
        return false;
#endif
    return true;
}

bool replaceFile(const std::string& from, const std::string& to) {
#ifdef _WIN32
    return MoveFileExW(pathOf(from).wstring().c_str(), pathOf(to).wstring().c_str(),
                       MOVEFILE_REPLACE_EXISTING) != 0;
#else
    return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

std::atomic<uint32_t> temporaryCount{0};

// The setting a preset keeps: the instance's active setting, without the other A/B one.
bool activeSetting(CompressorEffect& fx, std::vector<uint8_t>& block) {
    StateBlockParts parts;
    if (!copyStateBlockParts(fx, block, parts))
        return false;
    block.resize(parts.settingSize);
    return true;
}

} // namespace

std::string userPresetFolder() {
#ifdef _WIN32
    const wchar_t* appData = _wgetenv(L"APPDATA");
    if (!appData || !*appData)
        return {};
    return utf8Of(fs::path(appData) / "Tarnwell" / "Presets");
#else
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/')
        return utf8Of(fs::path(config) / "tarnwell" / "presets");
    const char* home = std::getenv("HOME");
    if (!home || !*home)
        return {};
    return utf8Of(fs::path(home) / ".config" / "tarnwell" / "presets");
#endif
}

bool writePresetFile(const std::string& path, const std::string& name, const std::vector<uint8_t>& block,
                     std::string& error) {
    const std::vector<uint8_t> file = buildProgramFile(block, {kUniqueId, kEffectVersion}, name);
    const fs::path target = pathOf(path);
    const std::string temporary =
        utf8Of(target.parent_path() / ("." + utf8Of(target.filename()) + "." +
                                       std::to_string(temporaryCount.fetch_add(1)) + ".tmp"));
    FILE* out = openFileUtf8(temporary, "wb");
    if (!out) {
        error = "cannot write in " + utf8Of(target.parent_path()) + ": " + systemReason(errno);
        return false;
    }
    const bool written = writeAll(out, file);
    const int writeError = errno;
    const bool closed = std::fclose(out) == 0;
    if (!written || !closed) {
        error = "cannot write " + path + ": " + systemReason(written ? errno : writeError);
        std::error_code ignored;
        fs::remove(pathOf(temporary), ignored);
        return false;
    }
    if (!replaceFile(temporary, path)) {
        error = "cannot put the preset in place at " + path + ": " + systemReason(errno);
        std::error_code ignored;
        fs::remove(pathOf(temporary), ignored);
        return false;
    }
    return true;
}

bool readPresetFile(const std::string& path, std::vector<uint8_t>& block, std::string& programName,
                    std::string& error) {
    std::vector<uint8_t> file;
    if (!readWholeFile(path, file, error))
        return false;
    std::string reason;
    if (!extractStateChunk(file, true, kUniqueId, block, reason)) {
        error = path + " is not a preset of this plug-in: " + reason;
        return false;
    }
    if (!splitStateBlock(block.data(), block.size()).complete) {
        error = path + " is damaged: its setting is incomplete (" + std::to_string(block.size()) + " bytes)";
        return false;
    }
    programName = programFileName(file);
    return true;
}

std::vector<PresetEntry> PresetLibrary::list() const {
    std::vector<PresetEntry> entries;
    for (int32_t i = 0; i < factoryPresetCount(); ++i)
        entries.push_back({factoryPreset(i).name, true});
    std::vector<PresetEntry> user;
    std::error_code failed;
    for (fs::directory_iterator it(pathOf(folder_), failed), end; !failed && it != end;
         it.increment(failed)) {
        const std::string path = utf8Of(it->path());
        if (!hasProgramFileExtension(path) || utf8Of(it->path().filename())[0] == '.')
            continue;
        std::vector<uint8_t> block;
        std::string name, error;
        if (readPresetFile(path, block, name, error))
            user.push_back({name.empty() ? utf8Of(it->path().stem()) : name, false});
    }
    std::sort(user.begin(), user.end(),
              [](const PresetEntry& a, const PresetEntry& b) { return a.name < b.name; });
    entries.insert(entries.end(), user.begin(), user.end());
    return entries;
}

std::string PresetLibrary::findUserPreset(const std::string& name) const {
    if (folder_.empty())
        return {};
    const std::string expected = utf8Of(pathOf(folder_) / pathOf(fileNameFor(name)));
    std::vector<uint8_t> block;
    std::string inside, error;
    if (readPresetFile(expected, block, inside, error) && (inside == name || inside.empty()))
        return expected;
    // An imported or renamed file: look for the name inside.
    std::error_code failed;
    for (fs::directory_iterator it(pathOf(folder_), failed), end; !failed && it != end;
         it.increment(failed)) {
        const std::string path = utf8Of(it->path());
        if (hasProgramFileExtension(path) && readPresetFile(path, block, inside, error) &&
            (inside.empty() ? utf8Of(it->path().stem()) : inside) == name)
            return path;
    }
    return {};
}

bool PresetLibrary::load(const std::string& name, std::vector<uint8_t>& block, std::string& error) const {
    const std::string path = findUserPreset(name);
    if (!path.empty()) {
        std::string inside;
        return readPresetFile(path, block, inside, error);
    }
    if (const FactoryPreset* preset = findFactoryPreset(name)) {
        block = factoryPresetBlock(*preset);
        return true;
    }
    error = "there is no preset named \"" + name + "\"";
    return false;
}

bool PresetLibrary::save(const std::string& name, const std::vector<uint8_t>& block, std::string& error) {
    if (name.empty() || name.size() > kProgramNameLimit) {
        error = "a preset name takes 1 to " + std::to_string(kProgramNameLimit) + " bytes; \"" + name +
                "\" has " + std::to_string(name.size());
        return false;
    }
    if (findFactoryPreset(name)) {
        error = "\"" + name + "\" is a factory preset; choose another name";
        return false;
    }
    if (folder_.empty()) {
        error = "there is no folder for user presets (neither variable for it is set)";
        return false;
    }
    std::error_code failed;
    fs::create_directories(pathOf(folder_), failed);
    if (failed) {
        error = "cannot create the preset folder " + folder_ + ": " + failed.message();
        return false;
    }
    std::string path = findUserPreset(name);
    // Names that differ only in unsafe characters ("a?b", "a*b") share a file name: a new one
    // takes a numbered name rather than replace the other preset.
    const std::string file = fileNameFor(name);
    const std::string stem = file.substr(0, file.size() - 4);
    for (int number = 0; path.empty(); ++number) {
        const fs::path candidate =
            pathOf(folder_) / pathOf(number == 0 ? file : stem + " (" + std::to_string(number) + ").fxp");
        if (!fs::exists(candidate, failed))
            path = utf8Of(candidate);
    }
    return writePresetFile(path, name, block, error);
}

bool PresetLibrary::importFile(const std::string& path, std::string& name, std::string& error) {
    std::vector<uint8_t> block;
    std::string inside;
    if (!readPresetFile(path, block, inside, error))
        return false;
    name = inside.empty() ? utf8Of(pathOf(path).stem()) : inside;
    if (name.size() > kProgramNameLimit)
        name.resize(kProgramNameLimit);
    while (!name.empty() && (uint8_t(name.back()) & 0x80) && !(uint8_t(name.back()) & 0x40))
        name.pop_back(); // a character cut by the limit
    if (!findUserPreset(name).empty()) {
        error = "a preset named \"" + name + "\" exists already; it is left as it is";
        return false;
    }
    return save(name, block, error);
}

bool loadPreset(CompressorEffect& fx, const PresetLibrary& library, const std::string& name,
                std::string& error) {
    std::vector<uint8_t> block, sound;
    if (!library.load(name, block, error))
        return false;
    if (!soundOfInstanceKeepingItsView(fx, block.data(), block.size(), sound)) {
        error = "the preset \"" + name + "\" could not be loaded (out of memory)";
        return false;
    }
    loadStateAndTellHost(fx, sound);
    notePresetLoaded(fx, name);
    return true;
}

bool savePreset(CompressorEffect& fx, PresetLibrary& library, const std::string& name, std::string& error) {
    std::vector<uint8_t> block;
    if (!activeSetting(fx, block)) {
        error = "out of memory";
        return false;
    }
    if (!library.save(name, block, error))
        return false;
    notePresetSaved(fx, name);
    return true;
}

bool exportPreset(CompressorEffect& fx, const std::string& path, std::string& error) {
    std::vector<uint8_t> block;
    if (!activeSetting(fx, block)) {
        error = "out of memory";
        return false;
    }
    const std::string name = currentPresetName(fx);
    return writePresetFile(path, name.empty() ? utf8Of(pathOf(path).stem()) : name, block, error);
}
