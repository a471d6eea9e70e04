// The editor at 96, 120, 144 and 192 dpi. Wine takes the display's DPI from the prefix's
// LogPixels value when a process starts, so this program sets the value, runs itself once per
// DPI to open the editor in a host window and measure it as a user would see and use it
// (pixels, cursor shapes, real mouse drags), and puts the value back. The measurements are
// then compared with the ones at 96 dpi.
#include "editor_host.h"

#include "editor/resource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace editortest {
namespace {

constexpr const char* kMeasureFlag = "--measure";
constexpr int32_t kDpis[] = {96, 120, 144, 192};
// A drag covers this part of the graph's height, or of the fader's: the same hand movement
// on an editor that grew with the display.
constexpr int32_t kHandleDragDivisor = 6;
constexpr int32_t kFaderDragDivisor = 4;

using Measures = std::map<std::string, double>;

// ---------------------------------------------------------------------------------------------
// The measuring run (a child process at one DPI)

struct Box {
    int32_t left = INT32_MAX, top = INT32_MAX, right = -1, bottom = -1; // right and bottom inclusive
    bool empty() const { return right < 0; }
    int32_t width() const { return right - left + 1; }
    int32_t height() const { return bottom - top + 1; }
    int32_t centreX() const { return (left + right) / 2; }
    int32_t centreY() const { return (top + bottom) / 2; }
};

Box boxOfColour(const WindowPixels& pixels, COLORREF colour) {
    Box box;
    for (int32_t y = 0; y < pixels.height; ++y)
        for (int32_t x = 0; x < pixels.width; ++x)
            if (pixels.at(x, y) == colour) {
                box.left = std::min(box.left, x);
                box.right = std::max(box.right, x);
                box.top = std::min(box.top, y);
                box.bottom = std::max(box.bottom, y);
            }
    return box;
}

RECT rectInWindow(HWND window, HWND child) {
    RECT r = {};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

bool intersects(const RECT& a, const RECT& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

bool inside(const RECT& inner, const RECT& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

bool isGroupBox(HWND window) {
    char name[32] = {};
    GetClassNameA(window, name, sizeof name);
    return _stricmp(name, "Button") == 0 && (GetWindowLongA(window, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX;
}

std::vector<HWND> visibleControls(HWND dialog) {
    std::vector<HWND> controls;
    for (HWND w = GetWindow(dialog, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT))
        if (IsWindowVisible(w) && !isGroupBox(w))
            controls.push_back(w);
    return controls;
}

// Pairs of a dialog's visible controls that overlap (the band panel lies on the tabs by design)
// and controls reaching outside the dialog's client area.
void countLayoutFaults(HWND dialog, HWND panel, HWND tabs, Measures& out) {
    RECT client;
    GetClientRect(dialog, &client);
    const std::vector<HWND> controls = visibleControls(dialog);
    for (size_t i = 0; i < controls.size(); ++i) {
        const RECT a = rectInWindow(dialog, controls[i]);
        if (!inside(a, client))
            out["outside"] += 1;
        for (size_t j = i + 1; j < controls.size(); ++j) {
            const bool panelOnTabs = (controls[i] == panel && controls[j] == tabs) ||
                                     (controls[i] == tabs && controls[j] == panel);
            if (!panelOnTabs && intersects(a, rectInWindow(dialog, controls[j]))) {
                out["overlaps"] += 1;
                char pair[64];
                std::snprintf(pair, sizeof pair, "overlap %d %d", GetDlgCtrlID(controls[i]),
                              GetDlgCtrlID(controls[j]));
                out[pair] = 1;
            }
        }
    }
}

bool cursorIsHand() {
    return GetCursor() == LoadCursorA(nullptr, IDC_HAND);
}

// Steps from the handle's centre until the cursor is no longer the hand: the hit radius met
// on that side (the centre as measured may be a pixel off; the two sides' mean is not).
int32_t handleReach(HWND graph, const Box& handle, int32_t direction) {
    for (int32_t d = 0; d < 60; ++d) {
        mouseMoveTo(graph, handle.centreX() + direction * d, handle.centreY());
        pumpFor(20);
        if (!cursorIsHand())
            return d;
    }
    return -1;
}

double numberIn(HWND dialog, int id) {
    return std::strtod(textOf(dialog, id).c_str(), nullptr);
}

void drag(HWND window, int32_t x, int32_t y, int32_t dy) {
    mouseMoveTo(window, x, y);
    pumpFor(50);
    mouseLeftDown();
    pumpFor(50);
    for (int32_t step = 1; step <= 4; ++step) {
        mouseMoveTo(window, x, y + dy * step / 4);
        pumpFor(30);
    }
    mouseLeftUp();
    pumpFor(100);
}

int32_t screenDpi() {
    HDC screen = GetDC(nullptr);
    const int32_t dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

// The editor as opened at the current DPI.
Measures measureEditor() {
    Measures out;
    out["screenDpi"] = screenDpi();
    EditorHost host;
    if (!host.loaded() || !host.openEditor())
        return out;
    HWND main = host.editor();
    HWND panel = host.panel();
    // A host sizes its window to the editor's rectangle.
    ERect* rect = nullptr;
    host.dispatch(effEditGetRect, 0, 0, &rect);
    if (rect) {
        out["rectWidth"] = rect->right - rect->left;
        out["rectHeight"] = rect->bottom - rect->top;
    }
    RECT client;
    GetClientRect(main, &client);
    out["clientWidth"] = client.right;
    out["clientHeight"] = client.bottom;
    SetWindowPos(host.host(), nullptr, 0, 0, client.right + 40, client.bottom + 60,
                 SWP_NOMOVE | SWP_NOZORDER);
    setKeyTargetWindow(host.host());
    pumpFor(300);

    HWND graph = GetDlgItem(main, IDC_GRAPH);
    const RECT graphRect = rectInDialog(main, IDC_GRAPH);
    out["graphWidth"] = graphRect.right - graphRect.left;
    out["graphHeight"] = graphRect.bottom - graphRect.top;
    out["roomBelowGraph"] = rectInDialog(main, IDC_BAND_TABS).top - graphRect.bottom;

    HWND fader = GetDlgItem(main, IDC_OUTPUT_GAIN_FADER);
    const Box thumb = boxOfColour(readWindow(fader), RGB(16, 16, 16));
    out["thumbWidth"] = thumb.width();
    out["thumbHeight"] = thumb.height();
    out["meterReadoutHeight"] = topWhiteRunHeight(readWindow(GetDlgItem(main, IDC_INPUT_METER)));

    countLayoutFaults(main, panel, GetDlgItem(main, IDC_BAND_TABS), out);
    if (panel)
        countLayoutFaults(panel, nullptr, nullptr, out);
    out["panelInside"] = panel && inside(rectInWindow(main, panel), client);

    // The current band's handle, read with the pointer away from the graph (no info box).
    mouseMoveTo(main, client.right - 2, client.bottom - 2);
    pumpFor(100);
    const Box handle = boxOfColour(readWindow(graph), RGB(200, 0, 0));
    out["handleWidth"] = handle.width();
    const int32_t left = handleReach(graph, handle, -1), right = handleReach(graph, handle, 1);
    out["handleHitRadius"] = (left + right) / 2.0;

    const double thresholdBefore = numberIn(panel, IDC_THRESHOLD_EDIT);
    drag(graph, handle.centreX(), handle.centreY(), (graphRect.bottom - graphRect.top) / kHandleDragDivisor);
    out["thresholdMoved"] = numberIn(panel, IDC_THRESHOLD_EDIT) - thresholdBefore;

    const double gainBefore = numberIn(main, IDC_OUTPUT_GAIN_EDIT);
    RECT faderClient;
    GetClientRect(fader, &faderClient);
    drag(fader, thumb.centreX(), thumb.centreY(), faderClient.bottom / kFaderDragDivisor);
    out["gainMoved"] = numberIn(main, IDC_OUTPUT_GAIN_EDIT) - gainBefore;
    host.closeEditor();
    return out;
}

int runMeasurement(const char* path) {
    const Measures measures = measureEditor();
    std::ofstream file(path);
    for (const auto& [key, value] : measures)
        file << key << '\t' << value << '\n';
    return measures.empty() ? 1 : 0;
}

// ---------------------------------------------------------------------------------------------
// The test run: one child per DPI

const char* kDesktopKey = "Control Panel\\Desktop";

std::optional<DWORD> readLogPixels() {
    DWORD value = 0, size = sizeof value, type = 0;
    if (RegGetValueA(HKEY_CURRENT_USER, kDesktopKey, "LogPixels", RRF_RT_REG_DWORD, &type, &value, &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

bool writeLogPixels(std::optional<DWORD> value) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kDesktopKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return false;
    LONG result = value ? RegSetValueExA(key, "LogPixels", 0, REG_DWORD,
                                         reinterpret_cast<const BYTE*>(&*value), sizeof(DWORD))
                        : RegDeleteValueA(key, "LogPixels");
    RegCloseKey(key);
    return result == ERROR_SUCCESS || (!value && result == ERROR_FILE_NOT_FOUND);
}

std::string programPath() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}

Measures readMeasures(const std::string& path) {
    Measures measures;
    std::ifstream file(path);
    std::string line;
    while (std::getline(file, line)) {
        const size_t tab = line.find('\t');
        if (tab != std::string::npos)
            measures[line.substr(0, tab)] = std::strtod(line.c_str() + tab + 1, nullptr);
    }
    return measures;
}

// Runs this program's measuring mode as a new process (which reads the DPI afresh).
Measures measureAt(int32_t dpi) {
    const std::string output = programFolder() + "\\dpi-" + std::to_string(dpi) + ".txt";
    DeleteFileA(output.c_str());
    if (!writeLogPixels(DWORD(dpi)))
        return {};
    std::string command = "\"" + programPath() + "\" " + kMeasureFlag + " \"" + output + "\"";
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return {};
    WaitForSingleObject(process.hProcess, 120000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return readMeasures(output);
}

class EditorAtDpi : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const std::optional<DWORD> saved = readLogPixels();
        for (int32_t dpi : kDpis)
            results()[dpi] = measureAt(dpi);
        writeLogPixels(saved);
    }
    static std::map<int32_t, Measures>& results() {
        static std::map<int32_t, Measures> measured;
        return measured;
    }
    // The value at a DPI, failing the test when the run did not measure it.
    static double at(int32_t dpi, const char* key) {
        const Measures& m = results()[dpi];
        const auto found = m.find(key);
        EXPECT_NE(found, m.end()) << key << " not measured at " << dpi << " dpi";
        return found == m.end() ? -1e9 : found->second;
    }
};

// Each run saw the DPI its LogPixels value asked for.
TEST_F(EditorAtDpi, EveryDpiWasMeasured) {
    for (int32_t dpi : kDpis)
        EXPECT_EQ(at(dpi, "screenDpi"), dpi);
}

// The graph keeps its share of the editor, whose size follows the dialog font (in whole
// pixels, so not exactly in proportion to the DPI: 120 dpi gives a third more width); the
// thumb, the meter's readout, the handle and its hit radius grow with the scale.
TEST_F(EditorAtDpi, SizesGrowByTheScale) {
    const double widthShare = at(96, "graphWidth") / at(96, "clientWidth");
    const double heightShare = at(96, "graphHeight") / at(96, "clientHeight");
    for (int32_t dpi : kDpis) {
        const double scale = dpi / 96.0;
        SCOPED_TRACE(testing::Message() << dpi << " dpi");
        EXPECT_NEAR(at(dpi, "graphWidth"), at(dpi, "clientWidth") * widthShare, 1.0);
        EXPECT_NEAR(at(dpi, "graphHeight"), at(dpi, "clientHeight") * heightShare, 1.0);
        EXPECT_LE(at(dpi, "graphHeight"), std::lround(120 * scale));
        EXPECT_NEAR(at(dpi, "thumbWidth"), at(96, "thumbWidth") * scale, 1.0);
        EXPECT_NEAR(at(dpi, "thumbHeight"), at(96, "thumbHeight") * scale, 1.0);
        EXPECT_NEAR(at(dpi, "handleWidth"), at(96, "handleWidth") * scale, 1.0);
        EXPECT_NEAR(at(dpi, "handleHitRadius"), at(96, "handleHitRadius") * scale, 1.0);
        EXPECT_NEAR(at(dpi, "meterReadoutHeight"), at(96, "meterReadoutHeight") * scale, 1.0);
    }
    EXPECT_EQ(at(96, "thumbWidth"), 14);
    EXPECT_EQ(at(96, "thumbHeight"), 26);
    EXPECT_EQ(at(96, "handleHitRadius"), 7);
}

TEST_F(EditorAtDpi, NothingOverlapsAndEverythingFits) {
    for (int32_t dpi : kDpis) {
        SCOPED_TRACE(testing::Message() << dpi << " dpi");
        const Measures& m = results()[dpi];
        EXPECT_EQ(m.count("overlaps"), 0u);
        for (const auto& [key, value] : m)
            EXPECT_NE(key.rfind("overlap ", 0), 0u) << key;
        EXPECT_EQ(m.count("outside"), 0u);
        EXPECT_EQ(at(dpi, "panelInside"), 1);
        // The graph reaches down to the tabs as at 96 dpi: no gap opens under it.
        EXPECT_GT(at(dpi, "roomBelowGraph"), 0);
        EXPECT_LE(at(dpi, "roomBelowGraph"), std::lround(at(96, "roomBelowGraph") * dpi / 96.0));
        EXPECT_EQ(at(dpi, "rectWidth"), at(dpi, "clientWidth"));
        EXPECT_EQ(at(dpi, "rectHeight"), at(dpi, "clientHeight"));
    }
}

// The same movement over the grown editor edits the same amount: a sixth of the graph's height
// is a sixth of its 66 dB, and a quarter of the output fader moves the gain as at 96 dpi
// (one pixel there is 0.6 dB of threshold and under 0.1 dB of gain).
TEST_F(EditorAtDpi, DragsEditAsAt96Dpi) {
    EXPECT_NEAR(at(96, "thresholdMoved"), -66.0 / kHandleDragDivisor, 0.6);
    EXPECT_LT(at(96, "gainMoved"), -3.0);
    for (int32_t dpi : kDpis) {
        SCOPED_TRACE(testing::Message() << dpi << " dpi");
        EXPECT_NEAR(at(dpi, "thresholdMoved"), at(96, "thresholdMoved"), 0.6);
        EXPECT_NEAR(at(dpi, "gainMoved"), at(96, "gainMoved"), 0.3);
    }
}

} // namespace
} // namespace editortest

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], editortest::kMeasureFlag) == 0)
        return editortest::runMeasurement(argv[2]);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
