#include "editor/core/preset_menu.h"

#include "shell/ab_slots.h"
#include "shell/compressor_effect.h"
#include "shell/edit_history.h"

namespace {

PresetMenuItem item(uint32_t command, std::string label, bool enabled = true, std::string shortcut = {}) {
    PresetMenuItem made;
    made.command = command;
    made.label = std::move(label);
    made.shortcut = std::move(shortcut);
    made.enabled = enabled;
    return made;
}

PresetMenuItem separator() { return PresetMenuItem{}; }

const char* slotName(int32_t slot) { return slot == 1 ? "B" : "A"; }

bool isUserPreset(const std::vector<PresetEntry>& presets, const std::string& name) {
    for (const PresetEntry& entry : presets)
        if (!entry.factory && entry.name == name)
            return true;
    return false;
}

// Library messages start in lower case, as parts of a sentence: the user reads the first part.
std::string failure(const std::string& what, const std::string& error) { return what + ":\n" + error + "."; }

bool loadListed(CompressorEffect& fx, const PresetLibrary& library, PresetPort& port, const std::string& name) {
    std::string error;
    if (!loadPreset(fx, library, name, error)) {
        port.showMessage(failure("The preset \"" + name + "\" could not be loaded", error));
        return false;
    }
    port.showWholeInstance();
    return true;
}

bool saveAsked(CompressorEffect& fx, PresetLibrary& library, const std::vector<PresetEntry>& presets,
               PresetPort& port) {
    const std::string current = currentPresetName(fx);
    std::string name;
    if (!port.askPresetName(isUserPreset(presets, current) ? current : std::string(), name))
        return false;
    if (isUserPreset(library.list(), name) &&
        !port.askYesNo("A preset named \"" + name + "\" exists already. Replace it?"))
        return false;
    std::string error;
    if (!savePreset(fx, library, name, error)) {
        port.showMessage(failure("The preset could not be saved", error));
        return false;
    }
    return true;
}

bool importAsked(CompressorEffect& fx, PresetLibrary& library, PresetPort& port) {
    std::string path, name, error;
    if (!port.askImportPath(path))
        return false;
    if (!library.importFile(path, name, error)) {
        port.showMessage(failure("The preset could not be imported", error));
        return false;
    }
    // An imported preset is one the user wants to hear.
    return loadListed(fx, library, port, name);
}

bool exportAsked(CompressorEffect& fx, PresetPort& port) {
    const std::string current = currentPresetName(fx);
    std::string path, error;
    if (!port.askExportPath((current.empty() ? std::string("Tarnwell preset") : current) + ".fxp", path))
        return false;
    if (!exportPreset(fx, path, error)) {
        port.showMessage(failure("The preset could not be exported", error));
        return false;
    }
    return true;
}

} // namespace

std::vector<PresetMenuItem> presetMenuItems(CompressorEffect& fx, const std::vector<PresetEntry>& presets) {
    const std::string current = currentPresetName(fx);
    const bool unchanged = !modifiedSincePreset(fx);
    std::vector<PresetMenuItem> items;
    bool anyUser = false;
    const size_t listed = std::min(presets.size(), size_t(kMostListedPresets));
    for (size_t i = 0; i < listed; ++i) {
        const PresetEntry& entry = presets[i];
        if (!entry.factory && !anyUser) {
            items.push_back(separator());
            anyUser = true;
        }
        PresetMenuItem preset = item(IDM_PRESET_FIRST + uint32_t(i), entry.name);
        preset.checked = unchanged && entry.name == current;
        items.push_back(preset);
    }
    if (!anyUser) {
        items.push_back(separator());
        items.push_back(item(0, "No presets of your own yet", false));
    }
    items.push_back(separator());
    items.push_back(item(IDM_PRESET_SAVE, "Save preset..."));
    items.push_back(item(IDM_PRESET_IMPORT, "Import preset..."));
    items.push_back(item(IDM_PRESET_EXPORT, "Export preset..."));
    items.push_back(separator());
    const int32_t active = activeAbSlot(fx);
    items.push_back(item(IDM_AB_SWITCH, std::string("Switch to ") + slotName(1 - active)));
    items.push_back(item(IDM_AB_COPY, std::string("Copy ") + slotName(active) + " to " + slotName(1 - active)));
    items.push_back(separator());
    items.push_back(item(IDM_UNDO, "Undo", canUndoEdit(fx), "Ctrl+Z"));
    items.push_back(item(IDM_REDO, "Redo", canRedoEdit(fx), "Ctrl+Shift+Z"));
    return items;
}

bool runPresetMenuCommand(CompressorEffect& fx, PresetLibrary& library, const std::vector<PresetEntry>& presets,
                          PresetPort& port, uint32_t command) {
    if (command >= IDM_PRESET_FIRST && command - IDM_PRESET_FIRST < std::min(presets.size(), size_t(kMostListedPresets)))
        return loadListed(fx, library, port, presets[command - IDM_PRESET_FIRST].name);
    switch (command) {
    case IDM_PRESET_SAVE:
        return saveAsked(fx, library, presets, port);
    case IDM_PRESET_IMPORT:
        return importAsked(fx, library, port);
    case IDM_PRESET_EXPORT:
        return exportAsked(fx, port);
    case IDM_AB_SWITCH:
        if (!switchAbSlot(fx)) {
            port.showMessage("The other setting could not be loaded (out of memory).");
            return false;
        }
        port.showWholeInstance();
        return true;
    case IDM_AB_COPY:
        if (!copyToOtherSlot(fx)) {
            port.showMessage("The setting could not be copied (out of memory).");
            return false;
        }
        return true;
    case IDM_UNDO:
    case IDM_REDO:
        if (!(command == IDM_UNDO ? undoEdit(fx) : redoEdit(fx)))
            return false;
        port.showWholeInstance();
        return true;
    default:
        return false;
    }
}

std::string presetControlLabel(CompressorEffect& fx) {
    const std::string name = currentPresetName(fx);
    std::string label = std::string(slotName(activeAbSlot(fx))) + ": " + (name.empty() ? "No preset" : name);
    if (!name.empty() && modifiedSincePreset(fx))
        label += " *";
    return label;
}

uint32_t editKeyCommand(uint32_t key, bool ctrl, bool shift, bool alt) {
    if (!ctrl || alt)
        return 0;
    switch (key) {
    case 'z':
    case 'Z':
        return shift ? IDM_REDO : IDM_UNDO;
    case 'y':
    case 'Y':
        return shift ? 0 : IDM_REDO;
    default:
        return 0;
    }
}
