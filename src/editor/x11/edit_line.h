// The text of one edit box and its caret, and what a key does to them: typing inserts at the
// caret, Backspace and Delete remove a character, Left/Right/Home/End move, and Enter, Escape
// and Tab are answered as requests for the box's owner (apply, cancel, move on). Characters are
// UTF-8; the caret always sits between whole characters. No display needed.
#pragma once

#include "editor/x11/x11_view.h"

#include <cstddef>
#include <cstdint>
#include <string>

enum class EditKeyResult : int32_t {
    Ignored, // not a key of edit boxes
    Edited,  // the text changed
    Moved,   // only the caret moved (or nothing changed: Backspace at the start)
    Apply,   // Enter
    Cancel,  // Escape
    Next,    // Tab
    Previous // Shift+Tab
};

class EditLine {
public:
    // Text from the program (a setting shown again): the caret goes to the end and the line counts
    // as untouched.
    void set(const char* text);
    const std::string& text() const { return text_; }
    int32_t caret() const { return caret_; }
    // Whether the user changed the text since the last set.
    bool modified() const { return modified_; }
    // Puts the caret at a byte offset, moved back to the start of the character it falls in.
    void placeCaret(int32_t offset);
    // The most bytes typing may make the text (text set by the program may be longer).
    void setLimit(size_t bytes) { limit_ = bytes; }
    EditKeyResult key(const X11KeyEvent& event);

private:
    int32_t previousCharacter(int32_t offset) const;
    int32_t nextCharacter(int32_t offset) const;

    std::string text_;
    int32_t caret_ = 0;
    bool modified_ = false;
    // An edit box holds one number: longer text is refused.
    size_t limit_ = 64;
};
