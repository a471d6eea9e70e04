// The X11 view's rules that need no display: modifier and button bits, the text of a key, the
// double-click rule, the scale from the resource text, and the font fontconfig finds.
// Googletest comes first: X11's headers define None as a macro.
#include <gtest/gtest.h>

#include <X11/X.h>
#include <X11/keysym.h>

#include <string>

#include "editor/x11/display_scale.h"
#include "editor/x11/x11_input.h"
#include "editor/x11/x11_view.h"

namespace {

TEST(X11Input, StateBitsBecomeModifiersAndHeldButtons) {
    EXPECT_EQ(x11ModifiersOf(0), 0u);
    EXPECT_EQ(x11ModifiersOf(ShiftMask | ControlMask | Mod1Mask),
              X11_MODIFIER_SHIFT | X11_MODIFIER_CONTROL | X11_MODIFIER_ALT);
    // Caps Lock, Num Lock (Mod2) and the logo key (Mod4) are no modifiers of ours.
    EXPECT_EQ(x11ModifiersOf(LockMask | Mod2Mask | Mod4Mask | ControlMask), X11_MODIFIER_CONTROL);
    EXPECT_EQ(x11ModifiersOf(Button1Mask), 0u);
    EXPECT_EQ(x11HeldButtonsOf(Button1Mask | Button3Mask | ShiftMask), X11_HELD_LEFT | X11_HELD_RIGHT);
    EXPECT_EQ(x11HeldButtonsOf(Button2Mask | Button4Mask), X11_HELD_MIDDLE);
}

std::string textOf(uint32_t keysym, uint32_t modifiers = 0) {
    char text[8];
    x11KeyText(keysym, modifiers, text);
    return text;
}

TEST(X11Input, KeysTypeUtf8TextOrNothing) {
    EXPECT_EQ(textOf(XK_a), "a");
    EXPECT_EQ(textOf(XK_A, X11_MODIFIER_SHIFT), "A");
    EXPECT_EQ(textOf(XK_KP_5), "5");
    EXPECT_EQ(textOf(XK_KP_Decimal), ".");
    EXPECT_EQ(textOf(XK_eacute), "\xC3\xA9");
    EXPECT_EQ(textOf(XK_EuroSign), "\xE2\x82\xAC");
    // Keysyms named by their code point: U+1F3B5 takes all four bytes.
    EXPECT_EQ(textOf(0x0101F3B5), "\xF0\x9F\x8E\xB5");
    const uint32_t silent[] = {XK_Return, XK_KP_Enter, XK_Tab, XK_BackSpace, XK_Escape, XK_Delete, XK_Left, XK_F1,
                               XK_Shift_L, NoSymbol};
    for (uint32_t key : silent)
        EXPECT_EQ(textOf(key), "") << std::hex << key;
    EXPECT_EQ(textOf(XK_a, X11_MODIFIER_CONTROL), "");
    EXPECT_EQ(textOf(XK_5, X11_MODIFIER_ALT), "");
}

TEST(X11Input, DoubleClickIsTheSameButtonSoonAndNearby) {
    X11DoubleClickRule rule;
    EXPECT_FALSE(rule.press(1, 100, 100, 1000));
    EXPECT_TRUE(rule.press(1, 102, 98, 1499));
    // The pair is used up: a third press starts afresh, and a fourth completes a new pair.
    EXPECT_FALSE(rule.press(1, 102, 98, 1600));
    EXPECT_TRUE(rule.press(1, 102, 98, 1700));

    const struct {
        int32_t button, x, y;
        uint32_t time;
    } misses[] = {{1, 103, 100, 1100}, {1, 100, 97, 1100}, {1, 100, 100, 1500}, {3, 100, 100, 1100}};
    for (const auto& miss : misses) {
        X11DoubleClickRule fresh;
        EXPECT_FALSE(fresh.press(1, 100, 100, 1000));
        EXPECT_FALSE(fresh.press(miss.button, miss.x, miss.y, miss.time)) << miss.x << " " << miss.y;
    }
    // The server's clock wraps after 49.7 days.
    EXPECT_FALSE(rule.press(2, 0, 0, 0xFFFFFF00u));
    EXPECT_TRUE(rule.press(2, 0, 0, 0x80));
    // Forgotten presses pair with nothing.
    EXPECT_FALSE(rule.press(2, 0, 0, 0x100));
    rule.reset();
    EXPECT_FALSE(rule.press(2, 0, 0, 0x101));
}

TEST(X11Scale, XftDpiOverNinetySix) {
    EXPECT_DOUBLE_EQ(x11ScaleFromResources(nullptr), 1.0);
    EXPECT_DOUBLE_EQ(x11ScaleFromResources(""), 1.0);
    EXPECT_DOUBLE_EQ(x11ScaleFromResources("Xft.dpi:\t144\n"), 1.5);
    EXPECT_DOUBLE_EQ(x11ScaleFromResources("Xft.antialias:\t1\nXft.dpi:  120.0  \nXft.hinting:\t1\n"), 1.25);
    EXPECT_DOUBLE_EQ(x11ScaleFromResources("Xft.dpi:\t192"), 2.0);
    EXPECT_DOUBLE_EQ(x11ScaleFromResources("*dpi:\t72\n"), 0.75);
    // The exact name wins over a wildcard, wherever the two stand.
    EXPECT_DOUBLE_EQ(x11ScaleFromResources("Xft.dpi:\t144\n*dpi:\t96\n"), 1.5);
    EXPECT_DOUBLE_EQ(x11ScaleFromResources("Xft*dpi:\t96\nXft.dpi:\t192\n"), 2.0);
    // Comments, other names that merely contain it, and values that are no dpi count as unset.
    for (const char* unset : {"! Xft.dpi:\t144\n", "Xft.dpix:\t144\n", "MyXft.dpi:\t144\n", "Xft.dpi:\thigh\n",
                              "Xft.dpi:\t144 dots\n", "Xft.dpi:\t0\n", "Xft.dpi:\t-96\n", "Xft.dpi:\t5000\n",
                              "Xft.dpi:\tnan\n", "Xft.dpi:\n", "Xft.dpi 144\n"})
        EXPECT_DOUBLE_EQ(x11ScaleFromResources(unset), 1.0) << unset;
}

} // namespace
