// The preset control in the opened editor as a user drives it: its label and look, its menu
// opened by a click and a factory preset chosen there, saving through the name dialog,
// exporting and importing through the file dialogs, the undo keys pressed through the X server
// with the focus on a fader, an edit box or the main window, and the undo steps of typed values;
// with a picture of the open menu over the editor (preset-menu.png, docs/ keeps a copy).
#include "editor_host.h"

#include "editor/resource.h"
#include "editor/core/preset_menu.h"
#include "shell/preset_library.h"
#include "host/picture.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <memory>
#include <string>

namespace editortest {
namespace {

std::string utf8(const wchar_t* text) {
    char narrow[512] = {};
    WideCharToMultiByte(CP_UTF8, 0, text, -1, narrow, int(sizeof(narrow)), nullptr, nullptr);
    return narrow;
}

std::string windowText(HWND window) {
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return utf8(text);
}

// The screen's pixels in a rectangle of screen coordinates.
Picture captureScreen(const RECT& area) {
    Picture picture(area.right - area.left, area.bottom - area.top);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = picture.width;
    info.bmiHeader.biHeight = -picture.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (section && bits) {
        HGDIOBJ previous = SelectObject(memory, section);
        BitBlt(memory, 0, 0, picture.width, picture.height, screen, area.left, area.top, SRCCOPY);
        GdiFlush();
        const auto* words = static_cast<const uint32_t*>(bits);
        for (size_t i = 0; i < picture.pixels.size(); ++i)
            picture.pixels[i] = words[i] & 0xFFFFFF;
        SelectObject(memory, previous);
        DeleteObject(section);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return picture;
}

// What the open menu showed, read by a hook on this thread while the menu loop runs: each
// item's text and state by command, the menu window's place, the control as it looked, and
// the screen around both. Once the loop goes idle the hook clicks the item with the wanted
// text (or, without one, outside the menu).
struct MenuVisit {
    std::string choose;
    HWND control = nullptr;
    HWND editor = nullptr;
    HMENU popup = nullptr;
    std::map<UINT, std::string> texts;
    std::map<UINT, UINT> states;
    std::vector<std::string> labels; // every item's text in order, separators as ""
    RECT menuWindow = {};
    Picture controlWhileOpen;
    Picture screen;
    bool clicked = false;
    bool closed = false;
    // Called every 50 ms while the choice runs with the newest dialog it opened (a message box
    // before the dialog that owns it), from a thread timer that the dialogs' modal loops run.
    std::function<void(HWND)> dialogShown;
} visit;

void readOpenMenu() {
    for (int i = 0, n = GetMenuItemCount(visit.popup); i < n; ++i) {
        wchar_t text[128] = {};
        GetMenuStringW(visit.popup, UINT(i), text, 128, MF_BYPOSITION);
        visit.labels.push_back(utf8(text));
        const UINT id = GetMenuItemID(visit.popup, i);
        if (id == 0 || id == UINT(-1))
            continue;
        visit.texts[id] = utf8(text);
        visit.states[id] = GetMenuState(visit.popup, UINT(i), MF_BYPOSITION);
    }
}

void seeAndChoose() {
    if (HWND menu = FindWindowA("#32768", nullptr))
        GetWindowRect(menu, &visit.menuWindow);
    visit.controlWhileOpen = captureWindow(visit.control);
    RECT area;
    GetWindowRect(visit.editor, &area);
    UnionRect(&area, &area, &visit.menuWindow);
    InflateRect(&area, 4, 4);
    area.left = std::max<LONG>(area.left, 0);
    area.top = std::max<LONG>(area.top, 0);
    visit.screen = captureScreen(area);
    RECT box = {};
    for (int i = 0, n = GetMenuItemCount(visit.popup); i < n; ++i) {
        const UINT id = GetMenuItemID(visit.popup, i);
        if (!visit.choose.empty() && visit.texts.count(id) && visit.texts[id] == visit.choose)
            GetMenuItemRect(nullptr, visit.popup, UINT(i), &box);
    }
    if (box.right > box.left)
        mouseLeftClickAtScreen((box.left + box.right) / 2, (box.top + box.bottom) / 2);
    else
        mouseLeftClickAtScreen(visit.menuWindow.right + 40, visit.menuWindow.bottom + 40);
}

// The thread's visible top-level dialog, or the one it owns.
BOOL CALLBACK findDialog(HWND window, LPARAM found) {
    char name[16] = {};
    GetClassNameA(window, name, int(sizeof(name)));
    HWND& newest = *reinterpret_cast<HWND*>(found);
    if (IsWindowVisible(window) && std::string(name) == "#32770" && (!newest || GetWindow(window, GW_OWNER) == newest))
        newest = window;
    return TRUE;
}

void CALLBACK pollDialogs(HWND, UINT, UINT_PTR, DWORD) {
    HWND newest = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), findDialog, reinterpret_cast<LPARAM>(&newest));
    if (newest && visit.dialogShown)
        visit.dialogShown(newest);
}

LRESULT CALLBACK menuHook(int code, WPARAM wParam, LPARAM lParam) {
    const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION) {
        if (call->message == WM_INITMENUPOPUP && !visit.popup) {
            visit.popup = HMENU(call->wParam);
            readOpenMenu();
        } else if (call->message == WM_ENTERIDLE && call->wParam == MSGF_MENU && visit.popup && !visit.clicked) {
            visit.clicked = true;
            seeAndChoose();
        } else if (call->message == WM_EXITMENULOOP) {
            visit.closed = true;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

class PresetControl : public ::testing::Test {
protected:
    void SetUp() override {
        releaseAllModifiers();
        ASSERT_TRUE(host.loaded());
        ASSERT_TRUE(host.openEditor());
        main = host.editor();
        panel = host.panel();
        control = GetDlgItem(main, IDC_PRESET_CONTROL);
        ASSERT_NE(control, nullptr);
        clearHostCalls();
    }
    void TearDown() override { releaseAllModifiers(); }

    // Clicks the control, lets the hook read the menu and choose the item with that text
    // ("" chooses nothing), and waits for the menu to close.
    void useMenu(const std::string& choose, std::function<void(HWND)> dialogShown = {}) {
        RECT place;
        GetWindowRect(control, &place);
        openMenu(choose, [&] { mouseLeftClickAtScreen((place.left + place.right) / 2, (place.top + place.bottom) / 2); },
                 std::move(dialogShown));
    }
    // The same for the menu that a right click on the response graph opens.
    void useGraphMenu(const std::string& choose) {
        HWND graph = GetDlgItem(main, IDC_GRAPH);
        RECT client;
        GetClientRect(graph, &client);
        openMenu(choose, [&] { mouseRightClickAt(graph, 12, client.bottom / 2); }, {});
    }
    void openMenu(const std::string& choose, const std::function<void()>& click, std::function<void(HWND)> dialogShown) {
        visit = MenuVisit();
        visit.choose = choose;
        visit.control = control;
        visit.editor = main;
        visit.dialogShown = std::move(dialogShown);
        HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, menuHook, nullptr, GetCurrentThreadId());
        const UINT_PTR timer = visit.dialogShown ? SetTimer(nullptr, 0, 50, pollDialogs) : 0;
        click();
        pumpUntil([] { return visit.closed; }, 5000);
        pumpFor(50);
        if (timer)
            KillTimer(nullptr, timer);
        UnhookWindowsHookEx(hook);
        ASSERT_TRUE(visit.closed);
    }
    // Ctrl with a letter (Shift too when asked), through the X server; waits for the change.
    bool pressWithCtrl(const char* key, bool shift, const std::function<bool()>& changed) {
        HeldKey ctrl("ctrl", VK_CONTROL);
        std::unique_ptr<HeldKey> withShift = shift ? std::make_unique<HeldKey>("shift", VK_SHIFT) : nullptr;
        if (!ctrl.held() || (withShift && !withShift->held()))
            return false;
        tapKey(key);
        return pumpUntil(changed, 10000);
    }
    // A drag of a fader's thumb by dy pixels (vertical faders) or dx (horizontal).
    void dragFader(HWND dialog, int id, int32_t dx, int32_t dy) {
        HWND fader = GetDlgItem(dialog, id);
        RECT client;
        GetClientRect(fader, &client);
        const int32_t position = int32_t(SendMessageA(fader, FADER_GETPOS, 0, 0));
        POINT thumb = client.right > client.bottom
                          ? POINT{position * (client.right - 23) / 1000 + 11, client.bottom / 2}
                          : POINT{client.right / 2, (1000 - position) * (client.bottom - 26) / 1000 + 13};
        mouseMoveTo(fader, thumb.x, thumb.y);
        mouseLeftDown();
        mouseMoveTo(fader, thumb.x + dx / 2, thumb.y + dy / 2);
        mouseMoveTo(fader, thumb.x + dx, thumb.y + dy);
        pumpFor(30);
        mouseLeftUp();
        pumpFor(50);
    }
    int32_t tabCount() { return int32_t(SendDlgItemMessageA(main, IDC_BAND_TABS, TCM_GETITEMCOUNT, 0, 0)); }
    double thresholdDb() { return 20 * std::log10(double(host.parameter(2)) * 4); }
    double outputGainDb() { return 20 * std::log10(host.state().outputGain); }

    EditorHost host;
    HWND main = nullptr, panel = nullptr, control = nullptr;
};

TEST_F(PresetControl, ShowsTheLabelDrawnOnTheBannersLine) {
    EXPECT_EQ(windowText(control), "A: No preset");
    // On the banner's line, right of its caption and above the output fader.
    const RECT place = rectInDialog(main, IDC_PRESET_CONTROL);
    EXPECT_EQ(place.top, 0);
    EXPECT_LE(place.bottom, rectInDialog(main, IDC_OUTPUT_GAIN_FADER).top);
    EXPECT_TRUE(IsWindowVisible(control));

    // The painter's face, edge and dark label, seen through the screen.
    const WindowPixels pixels = readWindow(control);
    ASSERT_GT(pixels.width, 100);
    EXPECT_EQ(pixels.at(0, 0), RGB(0x8C, 0x8C, 0x8C));
    EXPECT_EQ(pixels.at(2, 2), RGB(0xF0, 0xF0, 0xF0));
    int32_t dark = 0;
    for (int32_t y = 0; y < pixels.height; ++y)
        for (int32_t x = 0; x < pixels.width / 2; ++x)
            dark += GetRValue(pixels.at(x, y)) < 0x60 ? 1 : 0;
    EXPECT_GT(dark, 20);
}

TEST_F(PresetControl, ClickOpensTheMenuBelowAndAFactoryPresetLoads) {
    useMenu("Mastering 5-band");
    // The menu: the factory presets, the user's line, the commands with their keys.
    EXPECT_EQ(visit.texts[IDM_PRESET_FIRST], "Mix bus glue");
    EXPECT_EQ(std::count(visit.labels.begin(), visit.labels.end(), "No presets of your own yet"), 1);
    EXPECT_EQ(visit.texts[IDM_UNDO], "Undo\tCtrl+Z");
    EXPECT_EQ(visit.texts[IDM_REDO], "Redo\tCtrl+Shift+Z");
    EXPECT_EQ(visit.texts[IDM_AB_SWITCH], "Switch to B");
    EXPECT_EQ(visit.texts[IDM_PRESET_SAVE], "Save preset...");
    EXPECT_TRUE(visit.states[IDM_UNDO] & MF_GRAYED);
    EXPECT_FALSE(visit.states[IDM_PRESET_SAVE] & MF_GRAYED);
    EXPECT_FALSE(visit.states[IDM_PRESET_FIRST] & MF_CHECKED);
    // Just below the control, its left edges on the control's, the control shown pressed.
    RECT place;
    GetWindowRect(control, &place);
    EXPECT_EQ(visit.menuWindow.left, place.left);
    EXPECT_EQ(visit.menuWindow.top, place.bottom);
    ASSERT_GT(visit.controlWhileOpen.width, 2);
    EXPECT_EQ(visit.controlWhileOpen.at(2, 2), 0xD8E6F2u);

    // The preset is loaded, shown and told to the host: the parameter list grew by a band.
    EXPECT_EQ(host.state().bandCount, 5);
    EXPECT_EQ(tabCount(), 5);
    EXPECT_EQ(windowText(control), "A: Mastering 5-band");
    EXPECT_EQ(readWindow(control).at(2, 2), RGB(0xF0, 0xF0, 0xF0));
    const std::vector<HostCall> calls = recordedHostCalls();
    const std::vector<HostCall> listChanges = callsOf(calls, audioMasterVendorSpecific, int32_t(0xDEADBEEF));
    ASSERT_EQ(listChanges.size(), 1u);
    EXPECT_EQ(listChanges[0].payload[0], 48);
    EXPECT_EQ(listChanges[0].payload[1], 12);
    EXPECT_FALSE(callsOf(calls, audioMasterAutomate).empty());
    EXPECT_EQ(host.effect->numParams, 60);

    // Opened again, the loaded preset is checked, and nothing chosen changes nothing.
    const std::vector<uint8_t> loaded = host.stateBlock();
    useMenu("");
    EXPECT_TRUE(visit.states[IDM_PRESET_FIRST + 2] & MF_CHECKED);
    EXPECT_FALSE(visit.states[IDM_UNDO] & MF_GRAYED);
    EXPECT_EQ(host.stateBlock(), loaded);
    EXPECT_TRUE(visit.screen.savePng("preset-menu.png"));

    // A change marks the label; undo from the menu takes the preset back out.
    typeInto(panel, IDC_THRESHOLD_EDIT, "-20");
    SetFocus(control);
    EXPECT_TRUE(pumpUntil([&] { return windowText(control) == "A: Mastering 5-band *"; }, 2000));
    useMenu("Undo\tCtrl+Z");
    EXPECT_EQ(windowText(control), "A: Mastering 5-band");
    EXPECT_EQ(host.stateBlock(), loaded);
}

std::wstring dialogText(HWND dialog, int id) {
    wchar_t text[256] = {};
    GetDlgItemTextW(dialog, id, text, 256);
    return text;
}

// Saving asks for the name in a dialog of its own, which refuses a name longer than a preset
// file holds (27 bytes of UTF-8: 14 letters with accents are 28) and keeps what was typed; the
// saved preset is then the one the control names and the menu lists among the user's own.
TEST_F(PresetControl, SaveAsksForANameThatFits) {
    const std::wstring saved = L"Unit test glue";
    const std::wstring tooLong(14, L'\u00C4');
    const std::string file = userPresetFolder() + "\\Unit test glue.fxp";
    DeleteFileA(file.c_str());
    int32_t stage = 0;
    std::wstring warning, keptAfterWarning;
    useMenu("Save preset...", [&](HWND dialog) {
        wchar_t title[64] = {};
        GetWindowTextW(dialog, title, 64);
        const std::wstring caption = title;
        if (stage == 0 && caption == L"Save preset") {
            stage = 1;
            SetDlgItemTextW(dialog, IDC_PRESET_NAME, tooLong.c_str());
            PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        } else if (stage == 1 && caption == L"Tarnwell") {
            stage = 2;
            warning = dialogText(dialog, 0xFFFF);
            PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        } else if (stage == 2 && caption == L"Save preset") {
            stage = 3;
            keptAfterWarning = dialogText(dialog, IDC_PRESET_NAME);
            SetDlgItemTextW(dialog, IDC_PRESET_NAME, saved.c_str());
            PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        }
    });
    EXPECT_EQ(stage, 3);
    EXPECT_NE(warning.find(L"27 bytes"), std::wstring::npos);
    EXPECT_EQ(keptAfterWarning, tooLong);
    EXPECT_NE(GetFileAttributesA(file.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(windowText(control), "A: Unit test glue");

    useMenu("");
    bool listed = false;
    for (const auto& item : visit.texts)
        listed = listed || (item.first >= IDM_PRESET_FIRST && item.second == "Unit test glue" &&
                            (visit.states[item.first] & MF_CHECKED));
    EXPECT_TRUE(listed);
    EXPECT_EQ(std::count(visit.labels.begin(), visit.labels.end(), "No presets of your own yet"), 0);
    EXPECT_TRUE(DeleteFileA(file.c_str()));
}

// The file a file dialog is to take, typed into its name box (edt1 or, in the explorer-style
// dialog, the combo box cmb13), then OK.
void answerFileDialog(HWND dialog, const std::string& path) {
    const std::wstring wide(path.begin(), path.end());
    SetDlgItemTextW(dialog, 0x480, wide.c_str());
    SetDlgItemTextW(dialog, 0x47c, wide.c_str());
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
}

// Export writes the active setting to a file the save dialog names; import takes such a file
// back among the user's presets (under the name inside it) and loads it.
TEST_F(PresetControl, ExportAndImportThroughTheFileDialogs) {
    const std::string exported = programFolder() + "\\unit-export.fxp";
    const std::string userFile = userPresetFolder() + "\\Unit test export.fxp";
    DeleteFileA(exported.c_str());
    DeleteFileA(userFile.c_str());
    bool answered = false;
    auto saveName = [&](HWND dialog) {
        if (answered)
            return;
        answered = true;
        SetDlgItemTextW(dialog, IDC_PRESET_NAME, L"Unit test export");
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    };
    useMenu("Save preset...", saveName);
    ASSERT_EQ(windowText(control), "A: Unit test export");
    dragFader(panel, IDC_THRESHOLD_FADER, -60, 0);
    const double exportedThreshold = thresholdDb();
    ASSERT_LT(exportedThreshold, -1);

    std::wstring exportTitle;
    answered = false;
    useMenu("Export preset...", [&](HWND dialog) {
        if (answered)
            return;
        answered = true;
        wchar_t title[64] = {};
        GetWindowTextW(dialog, title, 64);
        exportTitle = title;
        answerFileDialog(dialog, exported);
    });
    EXPECT_EQ(exportTitle, L"Export preset");
    std::vector<uint8_t> block;
    std::string programName, error;
    ASSERT_TRUE(readPresetFile(exported, block, programName, error)) << error;
    EXPECT_EQ(programName, "Unit test export");

    // The user preset gone and the setting changed, the import brings both back.
    ASSERT_TRUE(DeleteFileA(userFile.c_str()));
    clickControl(main, IDC_RESET_DEFAULTS);
    ASSERT_NEAR(thresholdDb(), 0, 0.01);
    answered = false;
    useMenu("Import preset...", [&](HWND dialog) {
        if (!answered) {
            answered = true;
            answerFileDialog(dialog, exported);
        }
    });
    EXPECT_EQ(windowText(control), "A: Unit test export");
    EXPECT_NEAR(thresholdDb(), exportedThreshold, 0.01);
    EXPECT_NE(GetFileAttributesA(userFile.c_str()), INVALID_FILE_ATTRIBUTES);
    DeleteFileA(exported.c_str());
    DeleteFileA(userFile.c_str());
}

// Whichever control has the focus, Ctrl+Z undoes the last gesture and Ctrl+Shift+Z and Ctrl+Y
// redo it; the host hears the restored values as automation.
TEST_F(PresetControl, UndoKeysFromAnyControl) {
    const double before = thresholdDb();
    dragFader(panel, IDC_THRESHOLD_FADER, -60, 0);
    const double dragged = thresholdDb();
    ASSERT_LT(dragged, before - 1);
    ASSERT_EQ(GetFocus(), GetDlgItem(panel, IDC_THRESHOLD_FADER));
    clearHostCalls();

    ASSERT_TRUE(pressWithCtrl("z", false, [&] { return std::fabs(thresholdDb() - before) < 1e-6; }));
    EXPECT_TRUE(waitForText(panel, IDC_THRESHOLD_EDIT, "0.0"));
    EXPECT_EQ(SendDlgItemMessageA(panel, IDC_THRESHOLD_FADER, FADER_GETPOS, 0, 0), 789);
    EXPECT_FALSE(callsOf(recordedHostCalls(), audioMasterAutomate, 2).empty());

    SetFocus(GetDlgItem(panel, IDC_RATIO_EDIT));
    EXPECT_TRUE(pressWithCtrl("y", false, [&] { return std::fabs(thresholdDb() - dragged) < 1e-6; }));
    SetFocus(GetDlgItem(main, IDC_OUTPUT_GAIN_EDIT));
    EXPECT_TRUE(pressWithCtrl("z", false, [&] { return std::fabs(thresholdDb() - before) < 1e-6; }));
    SetFocus(main);
    EXPECT_TRUE(pressWithCtrl("z", true, [&] { return std::fabs(thresholdDb() - dragged) < 1e-6; }));
    // The key went to the editor, not into the box as a character.
    EXPECT_EQ(textOf(main, IDC_OUTPUT_GAIN_EDIT), "0.0");
}

// A typed value is a step of its own: closed when the focus leaves its box (for the output
// fader's drag, or from the keyboard), at Return, at a press elsewhere in the editor that takes no focus (the graph),
// or by the undo key itself while still in the box; a drag of the output fader is one step too.
// So each undo takes back only what came after the step before it.
TEST_F(PresetControl, TypedValuesAndTheOutputFaderAreStepsOfTheirOwn) {
    typeInto(panel, IDC_THRESHOLD_EDIT, "-12");
    ASSERT_NEAR(thresholdDb(), -12, 0.01);
    dragFader(main, IDC_OUTPUT_GAIN_FADER, 0, -40);
    const double raised = outputGainDb();
    ASSERT_GT(raised, 0.5);
    const float ratio = host.parameter(3);
    dragFader(panel, IDC_RATIO_FADER, 40, 0);
    ASSERT_NE(host.parameter(3), ratio);

    ASSERT_TRUE(pressWithCtrl("z", false, [&] { return host.parameter(3) == ratio; }));
    EXPECT_NEAR(outputGainDb(), raised, 1e-9);
    ASSERT_TRUE(pressWithCtrl("z", false, [&] { return std::fabs(outputGainDb()) < 1e-9; }));
    EXPECT_NEAR(thresholdDb(), -12, 0.01);
    EXPECT_TRUE(waitForText(main, IDC_OUTPUT_GAIN_EDIT, "0.0"));
    ASSERT_TRUE(pressWithCtrl("z", false, [&] { return std::fabs(thresholdDb()) < 0.01; }));

    // The focus moving on from the keyboard (as Tab does in a host's dialog) ends it too.
    typeInto(panel, IDC_THRESHOLD_EDIT, "-15");
    SetFocus(GetDlgItem(panel, IDC_RATIO_EDIT));
    typeInto(panel, IDC_RATIO_EDIT, "3");
    ASSERT_TRUE(pressWithCtrl("z", false, [&] { return host.parameter(3) == ratio; }));
    EXPECT_NEAR(thresholdDb(), -15, 0.01);
    ASSERT_TRUE(pressWithCtrl("z", false, [&] { return std::fabs(thresholdDb()) < 0.01; }));

    // Return ends the typed value while the box keeps the focus.
    typeInto(main, IDC_OUTPUT_GAIN_EDIT, "-6");
    {
        HeldKey enter("Return", VK_RETURN); // down and up again, each seen by the system
        ASSERT_TRUE(enter.held());
    }
    typeInto(main, IDC_OUTPUT_GAIN_EDIT, "-3");
    ASSERT_NEAR(outputGainDb(), -3, 0.01);
    ASSERT_TRUE(pressWithCtrl("z", false, [&] { return std::fabs(outputGainDb() + 6) < 0.01; })) << outputGainDb();
    // Without Return the two typed values are one step.
    typeInto(main, IDC_OUTPUT_GAIN_EDIT, "-9");
    typeInto(main, IDC_OUTPUT_GAIN_EDIT, "-2");
    ASSERT_TRUE(pressWithCtrl("z", false, [&] { return std::fabs(outputGainDb() + 6) < 0.01; })) << outputGainDb();

    // A band added from the graph's menu while the box keeps the focus: undo takes back the band only.
    typeInto(main, IDC_OUTPUT_GAIN_EDIT, "-4");
    useGraphMenu("Add new band");
    ASSERT_EQ(host.state().bandCount, 5);
    ASSERT_EQ(GetFocus(), GetDlgItem(main, IDC_OUTPUT_GAIN_EDIT));
    ASSERT_TRUE(pressWithCtrl("z", false, [&] { return host.state().bandCount == 4; }));
    EXPECT_NEAR(outputGainDb(), -4, 0.01);
}

} // namespace
} // namespace editortest
