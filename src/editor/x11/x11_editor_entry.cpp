#include "editor/x11/x11_editor_entry.h"

#include "editor/x11/display_scale.h"
#include "editor/x11/x11_editor.h"
#include "shell/compressor_effect.h"

#include <X11/Xlib.h>

#include <cstdint>
#include <cstdlib>
#include <new>

namespace {

// What the editor keeps for an instance: its view and the editor drawn into it while open, and
// the scale it was last measured at, which effEditGetRect answers before the view opens.
struct X11EditorRecord {
    X11View* view = nullptr;
    X11Editor* editor = nullptr;
    double scale = 0;
};

X11EditorRecord* recordOf(const CompressorEffect& fx) {
    return static_cast<X11EditorRecord*>(fx.editorState);
}

// Whether there is a display to connect to at all: Xlib's failed attempt without one keeps what
// it allocated, so a headless host pays nothing for asking.
bool displayNamed() {
    const char* name = std::getenv("DISPLAY");
    return name && *name;
}

// The display's scale, from a short-lived connection of its own (never the host's); 1.0 with no
// display.
double probeDisplayScale() {
    if (!displayNamed())
        return 1.0;
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return 1.0;
    const double scale = x11DisplayScale(display);
    XCloseDisplay(display);
    return scale;
}

void noClasses(void*) {}

// Stops the view's thread first (after which nothing calls the editor), then the editor.
void closeEditorView(CompressorEffect& fx) {
    X11EditorRecord* record = recordOf(fx);
    if (!record)
        return;
    delete record->view;
    record->view = nullptr;
    delete record->editor;
    record->editor = nullptr;
}

bool openEditorView(CompressorEffect& fx, void* parentWindow) {
    if (!parentWindow || !displayNamed())
        return false;
    if (!fx.editorState)
        fx.editorState = new (std::nothrow) X11EditorRecord;
    X11EditorRecord* record = recordOf(fx);
    if (!record)
        return false;
    closeEditorView(fx);
    const double scale = probeDisplayScale();
    record->scale = scale;
    X11Editor* editor = new (std::nothrow) X11Editor(fx, scale);
    if (!editor)
        return false;
    X11ViewOptions options;
    options.parentWindow = static_cast<unsigned long>(reinterpret_cast<uintptr_t>(parentWindow));
    options.width = editor->width();
    options.height = editor->height();
    X11View* view = X11View::open(options, editor);
    if (!view) {
        delete editor;
        return false;
    }
    record->view = view;
    record->editor = editor;
    editor->attach(view);
    return true;
}

bool editorViewSize(const CompressorEffect& fx, int32_t& width, int32_t& height) {
    X11EditorRecord* record = recordOf(fx);
    const double scale = record && record->scale > 0 ? record->scale : probeDisplayScale();
    const PixelRect size = X11Editor::windowSize(scale);
    width = size.width;
    height = size.height;
    return true;
}

void releaseEditorRecord(CompressorEffect& fx) {
    closeEditorView(fx);
    delete recordOf(fx);
    fx.editorState = nullptr;
}

const EditorEntryPoints kX11Editor = {
    noClasses,      noClasses,       noClasses,      noClasses,
    openEditorView, closeEditorView, editorViewSize, releaseEditorRecord,
};

} // namespace

const EditorEntryPoints& x11EditorEntryPoints() {
    return kX11Editor;
}
