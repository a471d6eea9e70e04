// Registration of the five control classes: what each class is registered with, the use
// count, the wheel message, and the built plug-in registering them while it is loaded, with
// the skins found next to it.
#include <gtest/gtest.h>

#include <string>

#include "editor/control_classes.h"
#include "editor/resource.h"
#include "editor_test_support.h"

using namespace editortest;

namespace {

const char* const kAllClasses[] = {kVerticalFaderClass, kHorizontalFaderClass, kHorizontalMeterClass,
                                   kVerticalMeterClass, kKnobClass};

bool registered(HINSTANCE module, const char* name) {
    WNDCLASSA info;
    return GetClassInfoA(module, name, &info) != 0;
}

TEST(ControlClasses, RegisteredWithTheirStylesAndWindowBytes) {
    HINSTANCE module = GetModuleHandleA(nullptr);
    registerControlClasses(module);
    struct Expected {
        const char* name;
        UINT style;
        int windowBytes;
    };
    const UINT redraw = CS_VREDRAW | CS_HREDRAW;
    for (const Expected& e : {Expected{kVerticalFaderClass, redraw | CS_DBLCLKS, 48},
                              Expected{kHorizontalFaderClass, redraw | CS_DBLCLKS, 48},
                              Expected{kHorizontalMeterClass, redraw, 0}, Expected{kVerticalMeterClass, redraw, 0},
                              Expected{kKnobClass, redraw, 0}}) {
        WNDCLASSA info;
        ASSERT_TRUE(GetClassInfoA(module, e.name, &info)) << e.name;
        EXPECT_EQ(info.style, e.style) << e.name;
        EXPECT_EQ(info.cbWndExtra, e.windowBytes) << e.name;
        EXPECT_EQ(info.cbClsExtra, 0) << e.name;
        EXPECT_EQ(info.hbrBackground, nullptr) << e.name;
        EXPECT_EQ(info.hCursor, LoadCursorA(nullptr, IDC_ARROW)) << e.name;
    }
    // The knob is a vertical meter under another name.
    WNDCLASSA knob, meter;
    GetClassInfoA(module, kKnobClass, &knob);
    GetClassInfoA(module, kVerticalMeterClass, &meter);
    EXPECT_EQ(knob.lpfnWndProc, meter.lpfnWndProc);
    unregisterControlClasses(module);
}

TEST(ControlClasses, CountedRegistrationAndTheWheelMessage) {
    HINSTANCE module = GetModuleHandleA(nullptr);
    ASSERT_FALSE(registered(module, kVerticalFaderClass));
    registerControlClasses(module);
    registerControlClasses(module);
    UINT wheel = wheelRollMessage();
    EXPECT_NE(wheel, 0u);
    EXPECT_EQ(wheel, RegisterWindowMessageA("MSWHEEL_ROLLMSG"));

    unregisterControlClasses(module);
    for (const char* name : kAllClasses)
        EXPECT_TRUE(registered(module, name)) << name << " went with the first of two unregistrations";
    unregisterControlClasses(module);
    for (const char* name : kAllClasses)
        EXPECT_FALSE(registered(module, name)) << name;

    // An unmatched unregistration must not swallow the next registration.
    unregisterControlClasses(module);
    registerControlClasses(module);
    EXPECT_TRUE(registered(module, kVerticalMeterClass));
    unregisterControlClasses(module);
    EXPECT_FALSE(registered(module, kVerticalMeterClass));
}

std::string windowsPath(const char* path) {
    std::string windows = path[0] == '/' ? std::string("Z:") + path : std::string(path);
    for (char& c : windows)
        if (c == '/')
            c = '\\';
    return windows;
}

TEST(PluginLibrary, RegistersTheClassesWhileLoaded) {
    std::string path = windowsPath(TARNWELL_PLUGIN_PATH);
    HMODULE library = LoadLibraryA(path.c_str());
    ASSERT_NE(library, nullptr) << path;
    for (const char* name : kAllClasses)
        EXPECT_TRUE(registered(library, name)) << name;
    {
        // The library took the roll message's id at load: its faders move by it, one notch of
        // 120 (in the low word) by 16 units, and tell the parent.
        TestParent parent;
        HWND fader = CreateWindowExA(0, kVerticalFaderClass, "", WS_CHILD | WS_VISIBLE, 10, 10, 30, 220,
                                     parent.window(), reinterpret_cast<HMENU>(intptr_t(7)), library, nullptr);
        ASSERT_NE(fader, nullptr);
        SendMessageA(fader, FADER_SETPOS, 0, 500);
        SendMessageA(fader, RegisterWindowMessageA("MSWHEEL_ROLLMSG"), 120, 0);
        EXPECT_EQ(SendMessageA(fader, FADER_GETPOS, 0, 0), 516);
        EXPECT_EQ(parent.scrolls(SB_THUMBTRACK).size(), 1u);
        DestroyWindow(fader);
    }
    ASSERT_TRUE(FreeLibrary(library));
    EXPECT_EQ(GetModuleHandleA(path.c_str()), nullptr);
    for (const char* name : kAllClasses)
        EXPECT_FALSE(registered(library, name)) << name;
}

// A copy of the plug-in in a folder of its own, with a skin beside it: its vertical faders draw
// that skin (a 10 x 20 blue block with magenta corners), their thumb 10 x 20 instead of 14 x 26.
TEST(PluginLibrary, LoadsTheSkinFromItsOwnFolder) {
    std::string folder = programFolder() + "\\skinned-plugin";
    CreateDirectoryA(folder.c_str(), nullptr);
    std::string copy = folder + "\\Tarnwell.dll";
    std::string skin = folder + "\\vantor_vslider.bmp";
    ASSERT_TRUE(CopyFileA(windowsPath(TARNWELL_PLUGIN_PATH).c_str(), copy.c_str(), FALSE));
    ASSERT_TRUE(writeBitmapFile(skin, 10, 20, [](int32_t x, int32_t y) {
        bool corner = (x == 0 || x == 9) && (y == 0 || y == 19);
        return corner ? RGB(255, 0, 255) : RGB(0, 0, 200);
    }));
    HMODULE library = LoadLibraryA(copy.c_str());
    ASSERT_NE(library, nullptr);
    {
        TestParent parent;
        parent.backgroundBrush = CreateSolidBrush(RGB(250, 250, 250));
        HWND fader = CreateWindowExA(0, kVerticalFaderClass, "", WS_CHILD | WS_VISIBLE, 10, 10, 30, 220,
                                     parent.window(), reinterpret_cast<HMENU>(intptr_t(7)), library, nullptr);
        ASSERT_NE(fader, nullptr);
        // Position 1000 puts the thumb at the top: x = (30 - 10) / 2 = 10, rows 0..19.
        SendMessageA(fader, FADER_SETPOS, 0, 1000);
        WindowPixels pixels = readWindow(fader);
        EXPECT_EQ(pixels.at(12, 10), RGB(0, 0, 200));
        EXPECT_EQ(pixels.at(19, 19 - 1), RGB(0, 0, 200));
        EXPECT_EQ(pixels.at(10, 0), RGB(250, 250, 250)) << "the magenta corner shows the background";
        EXPECT_NE(pixels.at(12, 21), RGB(0, 0, 200));
        // The thumb's centre row follows from its height: a click at row 25 misses it.
        SendMessageA(fader, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(15, 25));
        SendMessageA(fader, WM_LBUTTONUP, 0, MAKELPARAM(15, 25));
        // (25 - 20 / 2) * 1000 / (220 - 20) = 75 stored: external position 925.
        EXPECT_EQ(SendMessageA(fader, FADER_GETPOS, 0, 0), 925);
        DestroyWindow(fader);
        DeleteObject(parent.backgroundBrush);
    }
    FreeLibrary(library);
    DeleteFileA(skin.c_str());
    DeleteFileA(copy.c_str());
    RemoveDirectoryA(folder.c_str());
}

} // namespace
