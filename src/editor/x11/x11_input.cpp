#include "editor/x11/x11_input.h"

#include <X11/X.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdlib>

uint32_t x11ModifiersOf(unsigned int state) {
    return ((state & ShiftMask) ? X11_MODIFIER_SHIFT : 0) | ((state & ControlMask) ? X11_MODIFIER_CONTROL : 0) |
           ((state & Mod1Mask) ? X11_MODIFIER_ALT : 0);
}

uint32_t x11HeldButtonsOf(unsigned int state) {
    return ((state & Button1Mask) ? X11_HELD_LEFT : 0) | ((state & Button2Mask) ? X11_HELD_MIDDLE : 0) |
           ((state & Button3Mask) ? X11_HELD_RIGHT : 0);
}

void x11KeyText(uint32_t keysym, uint32_t modifiers, char (&text)[8]) {
    text[0] = 0;
    if (modifiers & (X11_MODIFIER_CONTROL | X11_MODIFIER_ALT))
        return;
    // The conversion counts the terminating zero; 0 means the keysym has no character.
    if (xkb_keysym_to_utf8(keysym, text, sizeof text) <= 1) {
        text[0] = 0;
        return;
    }
    // Return, Tab, Backspace, Escape and Delete convert to control characters: keys, not text.
    unsigned char first = static_cast<unsigned char>(text[0]);
    if (first < 0x20 || first == 0x7F)
        text[0] = 0;
}

bool X11DoubleClickRule::press(int32_t button, int32_t x, int32_t y, uint32_t timeMs) {
    bool isDouble = armed_ && button == button_ && timeMs - timeMs_ < kTimeMs && std::abs(x - x_) <= kDistance &&
                    std::abs(y - y_) <= kDistance;
    armed_ = !isDouble;
    button_ = button;
    x_ = x;
    y_ = y;
    timeMs_ = timeMs;
    return isDouble;
}
