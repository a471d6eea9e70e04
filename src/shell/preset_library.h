// Presets as the user sees them: the factory ones and the user's own, saved as program files
// (.fxp, the preset's name in the program name field) in a per-user folder. Every function
// here reads or writes files or allocates: call them only from non-audio threads.
#pragma once

#include <string>
#include <vector>

class CompressorEffect;

// The user's preset folder as UTF-8: %APPDATA%\Tarnwell\Presets on Windows;
// $XDG_CONFIG_HOME/tarnwell/presets (when set to an absolute path) or
// ~/.config/tarnwell/presets elsewhere. Empty when neither variable gives a place.
std::string userPresetFolder();

struct PresetEntry {
    std::string name;
    bool factory;
};

// One folder of user presets beside the factory ones. Failures return false with a message
// for the user in error; a failure never changes a preset that was already there.
class PresetLibrary {
public:
    // The library of folder (UTF-8); the folder is created when first written to.
    explicit PresetLibrary(std::string folder) : folder_(std::move(folder)) {}
    const std::string& folder() const { return folder_; }

    // The factory presets in their own order, then the user's sorted by name (byte order of
    // UTF-8, which is code-point order). Files that are not our presets are left out.
    std::vector<PresetEntry> list() const;
    // The state block of the preset of that name: a user preset of the name, else the factory one.
    bool load(const std::string& name, std::vector<uint8_t>& block, std::string& error) const;
    // Saves block under name, replacing a user preset of that name: written to a temporary
    // file in the folder and renamed into place. Names are 1 to 27 bytes of UTF-8 and may not
    // be a factory preset's name; the file name is the name with unsafe characters as '_'.
    bool save(const std::string& name, const std::vector<uint8_t>& block, std::string& error);
    // Copies the program file at path into the folder (after checking that it holds one of our
    // settings), under its program name or, without one, its file name; an existing preset of
    // that name is not replaced. name receives the preset's name.
    bool importFile(const std::string& path, std::string& name, std::string& error);

private:
    // The path of the user preset holding name, or "" when there is none.
    std::string findUserPreset(const std::string& name) const;
    std::string folder_;
};

// Writes block as a program file named name at path (temporary file, then renamed).
bool writePresetFile(const std::string& path, const std::string& name, const std::vector<uint8_t>& block,
                     std::string& error);
// Reads a program file and checks that it holds one of our complete settings.
bool readPresetFile(const std::string& path, std::vector<uint8_t>& block, std::string& programName,
                    std::string& error);

// The instance and the library: loading replaces the instance's sound (bands and output gain;
// its view options and other A/B setting stay), tells the host as a state load does and is a
// step of the edit history; saving and exporting write the instance's active setting.
bool loadPreset(CompressorEffect& fx, const PresetLibrary& library, const std::string& name,
                std::string& error);
bool savePreset(CompressorEffect& fx, PresetLibrary& library, const std::string& name, std::string& error);
bool exportPreset(CompressorEffect& fx, const std::string& path, std::string& error);
