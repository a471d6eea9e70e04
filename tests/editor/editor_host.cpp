#include "editor_host.h"

#include <cmath>
#include <cstring>
#include <mutex>

namespace editortest {

namespace {

std::mutex callsMutex;
std::vector<HostCall> calls;

intptr_t VST_CALL recordingHostCallback(AEffect*, int32_t opcode, int32_t index, intptr_t, void* ptr, float opt) {
    HostCall call = {opcode, index, opt, {0, 0}};
    if (opcode == audioMasterVendorSpecific && ptr)
        std::memcpy(call.payload, ptr, sizeof(call.payload));
    std::lock_guard<std::mutex> hold(callsMutex);
    calls.push_back(call);
    return 0;
}

// Wine maps the Unix root to drive Z:.
std::string windowsPath(const char* path) { return path[0] == '/' ? std::string("Z:") + path : path; }

int32_t readInt(const uint8_t* at) {
    int32_t v;
    std::memcpy(&v, at, 4);
    return v;
}

INPUT keyInput(wchar_t character, bool up) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wScan = WORD(character);
    input.ki.dwFlags = KEYEVENTF_UNICODE | (up ? KEYEVENTF_KEYUP : 0);
    return input;
}

} // namespace

std::vector<HostCall> recordedHostCalls() {
    std::lock_guard<std::mutex> hold(callsMutex);
    return calls;
}

void clearHostCalls() {
    std::lock_guard<std::mutex> hold(callsMutex);
    calls.clear();
}

EditorHost::EditorHost() {
    // Room for the whole editor.
    SetWindowPos(parent_.window(), nullptr, 0, 0, 640, 480, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    std::string error;
    if (!loadPluginLibrary(windowsPath(TARNWELL_PLUGIN_PATH), library, error))
        return;
    effect = library.entry(recordingHostCallback);
    if (effect) {
        dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
        dispatch(effMainsChanged, 0, 1);
    }
    clearHostCalls();
}

EditorHost::~EditorHost() {
    if (effect) {
        closeEditor();
        dispatch(effClose);
    }
    unloadPluginLibrary(library);
}

intptr_t EditorHost::dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}

bool EditorHost::openEditor() {
    const bool opened = dispatch(effEditOpen, 0, 0, parent_.window()) == 1;
    pumpMessages();
    return opened && editor();
}

void EditorHost::closeEditor() {
    dispatch(effEditClose);
    pumpMessages();
}

HWND EditorHost::editor() const { return FindWindowExA(parent_.window(), nullptr, "#32770", nullptr); }

HWND EditorHost::panel() const {
    HWND main = editor();
    return main ? FindWindowExA(main, nullptr, "#32770", nullptr) : nullptr;
}

std::vector<uint8_t> EditorHost::stateBlock() {
    void* block = nullptr;
    const intptr_t size = dispatch(effGetChunk, 0, 0, &block);
    if (!block || size <= 0)
        return {};
    const auto* bytes = static_cast<const uint8_t*>(block);
    return std::vector<uint8_t>(bytes, bytes + size);
}

void EditorHost::loadState(const std::vector<uint8_t>& block) {
    dispatch(effSetChunk, 0, intptr_t(block.size()), const_cast<uint8_t*>(block.data()));
}

// The block: record size, band count, the records, then grid, tabs, output gain and solo.
SavedState EditorHost::state() {
    SavedState saved;
    std::vector<uint8_t> block = stateBlock();
    if (block.size() < 8)
        return saved;
    const int32_t recordSize = readInt(block.data());
    saved.bandCount = readInt(block.data() + 4);
    const size_t tail = 8 + size_t(recordSize) * size_t(saved.bandCount);
    if (block.size() < tail + 20)
        return saved;
    saved.showGrid = readInt(&block[tail]);
    saved.showTabs = readInt(&block[tail + 4]);
    std::memcpy(&saved.outputGain, &block[tail + 8], 8);
    saved.solo = readInt(&block[tail + 16]);
    return saved;
}

std::string EditorHost::display(int32_t index) {
    char text[64] = {};
    dispatch(effGetParamDisplay, index, 0, text);
    return text;
}

std::string textOf(HWND dialog, int id) {
    char text[512] = {};
    GetDlgItemTextA(dialog, id, text, int(sizeof(text)));
    return text;
}

void typeInto(HWND dialog, int id, const char* text) {
    HWND box = GetDlgItem(dialog, id);
    SetForegroundWindow(GetAncestor(dialog, GA_ROOT));
    SetFocus(box);
    SendMessageA(box, EM_SETSEL, 0, -1);
    std::vector<INPUT> keys;
    for (const char* c = text; *c; ++c) {
        keys.push_back(keyInput(wchar_t(*c), false));
        keys.push_back(keyInput(wchar_t(*c), true));
    }
    SendInput(UINT(keys.size()), keys.data(), sizeof(INPUT));
    waitForText(dialog, id, text);
}

void clickAt(HWND window, int32_t x, int32_t y) {
    mouseMoveTo(window, x, y);
    mouseLeftDown();
    mouseLeftUp();
    pumpFor(50);
}

void clickControl(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    RECT client;
    GetClientRect(control, &client);
    clickAt(control, client.right / 2, client.bottom / 2);
}

bool waitForText(HWND dialog, int id, const std::string& text, DWORD timeoutMs) {
    return pumpUntil([&] { return textOf(dialog, id) == text; }, timeoutMs);
}

RECT rectInDialog(HWND dialog, int id) {
    RECT r = {};
    GetWindowRect(GetDlgItem(dialog, id), &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

std::vector<HostCall> callsOf(const std::vector<HostCall>& all, int32_t opcode, int32_t index) {
    std::vector<HostCall> found;
    for (const HostCall& call : all)
        if (call.opcode == opcode && (index == kAnyIndex || call.index == index))
            found.push_back(call);
    return found;
}

// 0 dB at 789, -90 dB at 0, +24 dB at 1000, with exponent 2.3 on both sides.
double decibelsToFaderPosition(double db) {
    if (db >= 0)
        return 789 + std::pow(db / 24 * std::pow(211.0, 2.3), 1 / 2.3);
    return 789 - std::pow(-db / 90 * std::pow(789.0, 2.3), 1 / 2.3);
}

double ratioToSliderPosition(double ratio) {
    if (ratio < 1)
        return 250 - (1 - ratio) * 250 / 0.9;
    return 250 + 750 * std::sqrt((ratio - 1) / 99);
}

} // namespace editortest
