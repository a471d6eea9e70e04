// A question the editor asks inside its own window, as a small dialog box would: a panel in
// the middle of the window with a message (its lines broken at '\n' and wrapped to the panel),
// a line to type the answer into when one is wanted, and its buttons: OK and Cancel, Yes and
// No, or OK alone. Enter answers as the first button, Escape as the last; a click on a button
// answers when the button is released over it. The editor paints it over everything else and
// sends it all its input while it is open (X11View::runModal waits for the answer). Drawing and
// geometry only; no display needed.
#pragma once

#include "editor/x11/edit_line.h"
#include "editor/x11/x11_widgets.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class PromptKind : int32_t {
    Text,   // a typed answer, OK or Cancel
    YesNo,  // Yes or No
    Message // OK only
};

enum class PromptAnswer : int32_t { Open, Accepted, Declined };

class X11Prompt {
public:
    // The line takes as much as a path may hold.
    static constexpr size_t kLongestAnswer = 4096;

    X11Prompt(WidgetText& text, double scale) : text_(text), scale_(scale) { line_.setLimit(kLongestAnswer); }

    // Opens over a window of that size; answer fills the line (Text only), caret at its end.
    void open(PromptKind kind, const std::string& message, const std::string& answer, int32_t windowWidth,
              int32_t windowHeight);
    void close() { open_ = false; }
    bool isOpen() const { return open_; }
    PromptAnswer answer() const { return answer_; }
    const std::string& typed() const { return line_.text(); }

    // Where its parts are in the window.
    const PixelRect& panel() const { return panel_; }
    const PixelRect& line() const { return lineRect_; }
    int32_t buttonCount() const { return kind_ == PromptKind::Message ? 1 : 2; }
    const PixelRect& button(int32_t index) const { return buttons_[index]; }
    const char* buttonCaption(int32_t index) const;
    // The message as drawn, one entry per line.
    const std::vector<std::string>& messageLines() const { return lines_; }

    void paint(PIXO_IBitmap& bitmap);
    void mouseDown(int32_t x, int32_t y);
    void mouseMove(int32_t x, int32_t y);
    void mouseUp(int32_t x, int32_t y);
    void key(const X11KeyEvent& event);

private:
    int32_t buttonAt(int32_t x, int32_t y) const;
    size_t firstShownByte();
    void wrap(const std::string& message, int32_t width);
    int32_t px(int32_t pixels96) const;

    WidgetText& text_;
    double scale_;
    bool open_ = false;
    PromptKind kind_ = PromptKind::Message;
    PromptAnswer answer_ = PromptAnswer::Open;
    std::vector<std::string> lines_;
    EditLine line_;
    PixelRect panel_;
    PixelRect lineRect_;
    PixelRect buttons_[2];
    int32_t pressed_ = -1;      // the button held down, -1 for none
    bool pressedInside_ = false;
};
