// The preset control's menu as a model, for both editors: the factory presets, the user's own,
// saving, importing and exporting, the A/B compare and undo/redo, with their states as the menu
// opens and what choosing one does. What only a window system can do (asking for a name or a
// file, telling the user why something failed) goes through a PresetPort. Everything here runs
// on the editor's thread, never under the instance lock (it reads and writes files).
#pragma once

#include "shell/preset_library.h"

#include <cstdint>
#include <string>
#include <vector>

class CompressorEffect;

// Command ids of the menu's fixed items, and the first of the presets' (one id per listed preset,
// in list order). They follow the graph menu's ids without meeting them.
constexpr uint32_t IDM_PRESET_SAVE = 40101;
constexpr uint32_t IDM_PRESET_IMPORT = 40102;
constexpr uint32_t IDM_PRESET_EXPORT = 40103;
constexpr uint32_t IDM_AB_SWITCH = 40104;
constexpr uint32_t IDM_AB_COPY = 40105;
constexpr uint32_t IDM_UNDO = 40106;
constexpr uint32_t IDM_REDO = 40107;
constexpr uint32_t IDM_PRESET_FIRST = 41000;
constexpr uint32_t kMostListedPresets = 4000;

struct PresetMenuItem {
    uint32_t command = 0; // 0 for a separator or a line that only informs
    std::string label;    // UTF-8; empty for a separator
    std::string shortcut; // the keys that do the same ("Ctrl+Z"), shown at the right; may be empty
    bool enabled = true;
    bool checked = false;
    bool separator() const { return command == 0 && label.empty(); }
};

// The menu for a list of presets (PresetLibrary::list()): the factory presets, a separator, the
// user's presets (or a disabled line saying there are none), then save, import and export, the
// A/B items and undo and redo. The preset loaded last is checked while its sound is unchanged.
std::vector<PresetMenuItem> presetMenuItems(CompressorEffect& fx, const std::vector<PresetEntry>& presets);

// What the menu asks of the window it lives in. Strings are UTF-8; each ask returns false when
// the user cancels.
class PresetPort {
public:
    virtual ~PresetPort() = default;
    // A name to save the setting under, suggested filled in.
    virtual bool askPresetName(const std::string& suggested, std::string& name) = 0;
    // Whether to go on, after a question such as replacing a preset.
    virtual bool askYesNo(const std::string& question) = 0;
    // A program file (.fxp) to import.
    virtual bool askImportPath(std::string& path) = 0;
    // Where to export to, the file name suggested.
    virtual bool askExportPath(const std::string& suggestedFileName, std::string& path) = 0;
    // Tells the user why something failed.
    virtual void showMessage(const std::string& text) = 0;
    // The instance was replaced as a whole (a preset, A/B, undo): every control shows it again.
    virtual void showWholeInstance() = 0;
};

// Runs a chosen command (0 or an unknown id: nothing) with the library and the list the menu was
// made from. False when the command failed (the user was told) or was cancelled.
bool runPresetMenuCommand(CompressorEffect& fx, PresetLibrary& library, const std::vector<PresetEntry>& presets,
                          PresetPort& port, uint32_t command);

// The preset control's text: the active A/B slot, the preset's name ("No preset" before one is
// loaded or saved) and " *" once the sound has changed since.
std::string presetControlLabel(CompressorEffect& fx);

// The edit history's keys: Ctrl+Z undoes, Ctrl+Shift+Z and Ctrl+Y redo. key is the letter in
// either case; the answer is IDM_UNDO, IDM_REDO or 0 for any other key.
uint32_t editKeyCommand(uint32_t key, bool ctrl, bool shift, bool alt);
