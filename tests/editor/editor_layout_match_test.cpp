// The portable layout against the Win32 editor it describes: every control of the main window
// and the band panel, as the dialog manager placed it under Wine at 96 dpi, sits exactly where
// the layout's table puts it in pixels. The X11 editor places its widgets from the same table,
// so the two editors cannot drift apart.
#include "editor_host.h"

#include "editor/core/editor_layout.h"
#include "editor/resource.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace editortest {
namespace {

RECT childRect(HWND dialog, HWND child) {
    RECT r = {};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// The dialog's labels in creation order (the order of the resource, and of the table).
std::vector<HWND> labelsOf(HWND dialog) {
    std::vector<HWND> labels;
    char className[16];
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (GetDlgCtrlID(child) == kLabelControlId && GetClassNameA(child, className, int(sizeof(className))) &&
            !std::strcmp(className, "Static"))
            labels.push_back(child);
    return labels;
}

// Controls by id match in all four numbers; the graph's height is the editor's to set, and
// labels may have grown to the left to fit their text (their right edge, top and height stay).
void expectDialogMatches(HWND dialog, const DialogLayout& layout) {
    const std::vector<HWND> labels = labelsOf(dialog);
    size_t label = 0;
    for (int32_t i = 0; i < layout.count; ++i) {
        const ControlLayout& control = layout.controls[i];
        const PixelRect expected = dialogUnitsToPixels(control.units, 1.0);
        HWND child = nullptr;
        if (control.id == kLabelControlId) {
            ASSERT_LT(label, labels.size()) << control.text;
            child = labels[label++];
        } else {
            child = GetDlgItem(dialog, control.id);
        }
        ASSERT_NE(child, nullptr) << control.id;
        const RECT r = childRect(dialog, child);
        SCOPED_TRACE(testing::Message() << "control " << control.id << " \"" << control.text << "\"");
        EXPECT_EQ(r.top, expected.y);
        EXPECT_EQ(r.right, expected.right());
        if (control.id == kLabelControlId) {
            EXPECT_LE(r.left, expected.x);
            EXPECT_EQ(r.bottom, expected.bottom());
            continue;
        }
        EXPECT_EQ(r.left, expected.x);
        if (control.kind != ControlKind::Graph) {
            EXPECT_EQ(r.bottom, expected.bottom());
        }
    }
    EXPECT_EQ(label, labels.size());
}

TEST(EditorLayoutMatch, EveryControlSitsWhereTheLayoutPutsIt) {
    EditorHost host;
    ASSERT_TRUE(host.loaded());
    ASSERT_TRUE(host.openEditor());
    HWND main = host.editor();
    HWND panel = host.panel();
    ASSERT_NE(main, nullptr);
    ASSERT_NE(panel, nullptr);
    RECT client = {};
    GetClientRect(main, &client);
    const PixelRect window = dialogPixels(mainWindowLayout(), 1.0);
    EXPECT_EQ(client.right, window.width);
    EXPECT_EQ(client.bottom, window.height);
    expectDialogMatches(main, mainWindowLayout());
    expectDialogMatches(panel, bandPanelLayout());
    // The panel lies on its placeholder.
    const RECT place = childRect(main, panel);
    const PixelRect expected = dialogUnitsToPixels(findControl(mainWindowLayout(), IDC_BAND_PANEL_PLACE)->units, 1.0);
    EXPECT_EQ(place.left, expected.x);
    EXPECT_EQ(place.top, expected.y);
    host.closeEditor();
}

} // namespace
} // namespace editortest
