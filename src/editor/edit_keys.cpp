#include "editor/edit_keys.h"

#include "editor/instance_dialog.h"
#include "editor/resource.h"
#include "editor/core/preset_menu.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace {

struct WatchedEditor {
    HWND window;
    DWORD thread;
};

struct ThreadHook {
    DWORD thread;
    HHOOK hook;
};

// Hosts may open editors of several instances on several threads: each thread has one hook,
// shared by its editors.
std::mutex watchMutex;
std::vector<WatchedEditor> watched;
std::vector<ThreadHook> hooks;

// The watched editor of this thread that holds window (or is it); null for any other window.
HWND editorHolding(HWND window) {
    if (!window)
        return nullptr;
    const DWORD thread = GetCurrentThreadId();
    std::lock_guard<std::mutex> hold(watchMutex);
    for (const WatchedEditor& editor : watched)
        if (editor.thread == thread && (editor.window == window || IsChild(editor.window, window)))
            return editor.window;
    return nullptr;
}

bool isEditBox(HWND window) {
    char name[16];
    return window && GetClassNameA(window, name, int(sizeof(name))) > 0 && lstrcmpiA(name, "Edit") == 0;
}

bool held(int virtualKey) { return GetKeyState(virtualKey) < 0; }

void closeStepOf(HWND editor) {
    if (CompressorEffect* fx = instanceOfDialog(editor))
        closeEditStep(*fx);
}

void onKeyDown(MSG& message) {
    HWND editor = editorHolding(message.hwnd);
    if (!editor)
        return;
    const uint32_t command =
        editKeyCommand(uint32_t(message.wParam), held(VK_CONTROL), held(VK_SHIFT), held(VK_MENU));
    if (command != 0) {
        PostMessageA(editor, MSG_EDIT_KEY, WPARAM(command), 0);
        message.message = WM_NULL;
    } else if (message.wParam == VK_RETURN && isEditBox(message.hwnd)) {
        closeStepOf(editor);
    }
}

// A press anywhere else in the editor while an edit box has the focus ends what was typed
// there, even where the press takes no focus (the graph).
void onButtonDown(const MSG& message) {
    HWND focus = GetFocus();
    if (focus == message.hwnd || !isEditBox(focus))
        return;
    HWND editor = editorHolding(focus);
    if (editor && editorHolding(message.hwnd) == editor)
        closeStepOf(editor);
}

LRESULT CALLBACK getMessageHook(int code, WPARAM removal, LPARAM lParam) {
    if (code == HC_ACTION && removal == PM_REMOVE) {
        MSG& message = *reinterpret_cast<MSG*>(lParam);
        if (message.message == WM_KEYDOWN)
            onKeyDown(message);
        else if (message.message == WM_LBUTTONDOWN || message.message == WM_RBUTTONDOWN ||
                 message.message == WM_MBUTTONDOWN)
            onButtonDown(message);
    }
    return CallNextHookEx(nullptr, code, removal, lParam);
}

} // namespace

void watchEditKeys(HWND mainWindow) {
    const DWORD thread = GetCurrentThreadId();
    std::lock_guard<std::mutex> hold(watchMutex);
    watched.push_back({mainWindow, thread});
    const bool hooked =
        std::any_of(hooks.begin(), hooks.end(), [&](const ThreadHook& hook) { return hook.thread == thread; });
    if (!hooked)
        if (HHOOK hook = SetWindowsHookExA(WH_GETMESSAGE, getMessageHook, nullptr, thread))
            hooks.push_back({thread, hook});
}

void unwatchEditKeys(HWND mainWindow) {
    const DWORD thread = GetCurrentThreadId();
    std::lock_guard<std::mutex> hold(watchMutex);
    watched.erase(std::remove_if(watched.begin(), watched.end(),
                                 [&](const WatchedEditor& editor) { return editor.window == mainWindow; }),
                  watched.end());
    const bool stillWatched = std::any_of(watched.begin(), watched.end(),
                                          [&](const WatchedEditor& editor) { return editor.thread == thread; });
    if (stillWatched)
        return;
    for (auto hook = hooks.begin(); hook != hooks.end(); ++hook)
        if (hook->thread == thread) {
            UnhookWindowsHookEx(hook->hook);
            hooks.erase(hook);
            return;
        }
}
