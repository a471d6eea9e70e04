#include "editor/preset_menu_window.h"

#include "editor/editor_state.h"
#include "editor/preset_control_window.h"
#include "editor/resource.h"
#include "editor/core/preset_menu.h"
#include "shell/compressor_effect.h"
#include "shell/module.h"

#include <commdlg.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// The program name field of a preset file holds 27 bytes and its terminator.
constexpr size_t kPresetNameBytes = 27;
constexpr const wchar_t* kMessageTitle = L"Tarnwell";
constexpr wchar_t kPresetFilter[] = L"Tarnwell presets (*.fxp)\0*.fxp\0All files (*.*)\0*.*\0";

HINSTANCE module() { return static_cast<HINSTANCE>(libraryModule()); }

// A menu label as the menu shows it: '&' marks a mnemonic there, so a name's own is doubled.
std::wstring menuText(const PresetMenuItem& item) {
    std::wstring text;
    for (wchar_t c : wideOfUtf8(item.label)) {
        text += c;
        if (c == L'&')
            text += L'&';
    }
    if (!item.shortcut.empty())
        text += L'\t' + wideOfUtf8(item.shortcut);
    return text;
}

HMENU buildMenu(const std::vector<PresetMenuItem>& items) {
    HMENU menu = CreatePopupMenu();
    if (!menu)
        return nullptr;
    for (const PresetMenuItem& item : items) {
        if (item.separator()) {
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
            continue;
        }
        const UINT flags = MF_STRING | (item.enabled ? MF_ENABLED : MF_GRAYED) | (item.checked ? MF_CHECKED : 0);
        AppendMenuW(menu, flags, item.command, menuText(item).c_str());
    }
    return menu;
}

// The name dialog's record: the suggestion going in, the accepted name coming out.
struct NameAsked {
    std::wstring name;
};

bool acceptName(HWND dialog, NameAsked& asked) {
    std::wstring typed(kPresetNameBytes * 4 + 2, L'\0');
    typed.resize(size_t(GetDlgItemTextW(dialog, IDC_PRESET_NAME, typed.data(), int(typed.size()))));
    const size_t bytes = utf8OfWide(typed).size();
    const wchar_t* fault = bytes == 0 ? L"Please type a name for the preset."
                           : bytes > kPresetNameBytes
                               ? L"The name is too long: a preset's name holds at most 27 bytes "
                                 L"(27 letters without accents, fewer with them)."
                               : nullptr;
    if (fault) {
        MessageBoxW(dialog, fault, kMessageTitle, MB_OK | MB_ICONWARNING);
        SetFocus(GetDlgItem(dialog, IDC_PRESET_NAME));
        return false;
    }
    asked.name = typed;
    return true;
}

INT_PTR CALLBACK nameDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* asked = reinterpret_cast<NameAsked*>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        asked = reinterpret_cast<NameAsked*>(lParam);
        // A name of 27 bytes has at most 27 characters; the bytes are counted at OK.
        SendDlgItemMessageW(dialog, IDC_PRESET_NAME, EM_LIMITTEXT, kPresetNameBytes, 0);
        SetDlgItemTextW(dialog, IDC_PRESET_NAME, asked->name.c_str());
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK && asked && acceptName(dialog, *asked))
            EndDialog(dialog, IDOK);
        else if (LOWORD(wParam) == IDCANCEL)
            EndDialog(dialog, IDCANCEL);
        return TRUE;
    default:
        return FALSE;
    }
}

bool folderExists(const std::wstring& folder) {
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The window system's side of the preset menu, owned by the editor's top-level window.
class WindowsPresetPort final : public PresetPort {
public:
    WindowsPresetPort(HWND mainWindow, CompressorEffect& fx)
        : main_(mainWindow), owner_(GetAncestor(mainWindow, GA_ROOT)), fx_(fx) {}

    bool askPresetName(const std::string& suggested, std::string& name) override {
        NameAsked asked{wideOfUtf8(suggested)};
        if (DialogBoxParamW(module(), MAKEINTRESOURCEW(IDD_SAVE_PRESET), owner_, nameDialogProc,
                            reinterpret_cast<LPARAM>(&asked)) != IDOK)
            return false;
        name = utf8OfWide(asked.name);
        return true;
    }
    bool askYesNo(const std::string& question) override {
        return MessageBoxW(owner_, wideOfUtf8(question).c_str(), kMessageTitle, MB_YESNO | MB_ICONQUESTION) == IDYES;
    }
    bool askImportPath(std::string& path) override { return askPath(false, L"", path); }
    bool askExportPath(const std::string& suggestedFileName, std::string& path) override {
        return askPath(true, wideOfUtf8(suggestedFileName), path);
    }
    void showMessage(const std::string& text) override {
        MessageBoxW(owner_, wideOfUtf8(text).c_str(), kMessageTitle, MB_OK | MB_ICONWARNING);
    }
    void showWholeInstance() override { ::showWholeInstance(main_, fx_); }

private:
    bool askPath(bool saving, const std::wstring& suggested, std::string& path) {
        std::vector<wchar_t> file(32768, L'\0');
        suggested.copy(file.data(), std::min(suggested.size(), file.size() - 1));
        const std::wstring folder = wideOfUtf8(userPresetFolder());
        OPENFILENAMEW dialog = {};
        dialog.lStructSize = sizeof(dialog);
        dialog.hwndOwner = owner_;
        dialog.lpstrFilter = kPresetFilter;
        dialog.lpstrFile = file.data();
        dialog.nMaxFile = DWORD(file.size());
        dialog.lpstrInitialDir = !folder.empty() && folderExists(folder) ? folder.c_str() : nullptr;
        dialog.lpstrDefExt = L"fxp";
        dialog.lpstrTitle = saving ? L"Export preset" : L"Import preset";
        dialog.Flags = OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST |
                       (saving ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST | OFN_HIDEREADONLY);
        if (!(saving ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog)))
            return false;
        path = utf8OfWide(file.data());
        return true;
    }

    HWND main_;
    HWND owner_;
    CompressorEffect& fx_;
};

} // namespace

void showPresetLabel(HWND mainWindow, CompressorEffect& fx) {
    HWND control = GetDlgItem(mainWindow, IDC_PRESET_CONTROL);
    if (!control)
        return;
    const std::wstring label = wideOfUtf8(presetControlLabel(fx));
    std::wstring shown(size_t(GetWindowTextLengthW(control)) + 1, L'\0');
    shown.resize(size_t(GetWindowTextW(control, shown.data(), int(shown.size()))));
    if (shown != label)
        SetWindowTextW(control, label.c_str());
}

void showWholeInstance(HWND mainWindow, CompressorEffect& fx) {
    SendMessageA(mainWindow, MSG_REFRESH_TABS, 0, 0);
    refreshBandPanel(fx);
    InvalidateRect(GetDlgItem(mainWindow, IDC_GRAPH), nullptr, FALSE);
    showPresetLabel(mainWindow, fx);
}

void openPresetMenu(HWND mainWindow, CompressorEffect& fx) {
    HWND control = GetDlgItem(mainWindow, IDC_PRESET_CONTROL);
    PresetLibrary library(userPresetFolder());
    const std::vector<PresetEntry> presets = library.list();
    HMENU menu = buildMenu(presetMenuItems(fx, presets));
    if (!control || !menu) {
        if (menu)
            DestroyMenu(menu);
        return;
    }
    RECT place;
    GetWindowRect(control, &place);
    SendMessageA(control, PRESET_SETPRESSED, 1, 0);
    UpdateWindow(control);
    const auto command = uint32_t(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON,
                                                 place.left, place.bottom, 0, mainWindow, nullptr));
    DestroyMenu(menu);
    SendMessageA(control, PRESET_SETPRESSED, 0, 0);
    WindowsPresetPort port(mainWindow, fx);
    runPresetMenuCommand(fx, library, presets, port, command);
    showPresetLabel(mainWindow, fx);
}

void runPresetCommand(HWND mainWindow, CompressorEffect& fx, uint32_t command) {
    // A value still being typed is a step of its own: the undo key takes back that value, not
    // it and the step before together. (A redo would find nothing after a new step.)
    if (command == IDM_UNDO)
        closeEditStep(fx);
    PresetLibrary library(userPresetFolder());
    WindowsPresetPort port(mainWindow, fx);
    runPresetMenuCommand(fx, library, {}, port, command);
    showPresetLabel(mainWindow, fx);
}
