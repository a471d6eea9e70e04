// What the X11 view makes of raw input before its owner sees it: modifier and button bits
// from an event's state, the UTF-8 text a key types, and the double-click rule. Plain
// functions of their arguments, so they are tested without a display.
#pragma once

#include <cstdint>

// Modifier bits of mouse and key events.
constexpr uint32_t X11_MODIFIER_SHIFT = 1;
constexpr uint32_t X11_MODIFIER_CONTROL = 2;
constexpr uint32_t X11_MODIFIER_ALT = 4;

// Mouse buttons, and the bits of those held down during a move.
constexpr int32_t X11_BUTTON_LEFT = 1;
constexpr int32_t X11_BUTTON_MIDDLE = 2;
constexpr int32_t X11_BUTTON_RIGHT = 3;
constexpr uint32_t X11_HELD_LEFT = 1;
constexpr uint32_t X11_HELD_MIDDLE = 2;
constexpr uint32_t X11_HELD_RIGHT = 4;

// X11_MODIFIER_ bits of an X event state (Shift, Control, Mod1 as Alt).
uint32_t x11ModifiersOf(unsigned int state);
// X11_HELD_ bits of the buttons an X event state holds down.
uint32_t x11HeldButtonsOf(unsigned int state);

// The character a keysym types, as UTF-8 with a terminating zero in text; empty when it types
// nothing printable (Return, Tab, Escape, Delete, arrows, function keys) or when Control or
// Alt is among the modifiers (those chords are commands, not text).
void x11KeyText(uint32_t keysym, uint32_t modifiers, char (&text)[8]);

// Tells a double-click from two clicks as the system does: the same button pressed again less
// than kTimeMs after the first press, no more than kDistance pixels away from it either way.
// The second press of a pair is the double-click; a third press starts afresh.
class X11DoubleClickRule {
public:
    static constexpr uint32_t kTimeMs = 500;
    static constexpr int32_t kDistance = 2;

    // Records a press (timeMs: the server's millisecond clock, which wraps); true when it
    // completes a double-click.
    bool press(int32_t button, int32_t x, int32_t y, uint32_t timeMs);
    // Forgets the last press (a popup opened, the pointer was grabbed away).
    void reset() { armed_ = false; }

private:
    bool armed_ = false;
    int32_t button_ = 0;
    int32_t x_ = 0;
    int32_t y_ = 0;
    uint32_t timeMs_ = 0;
};
