#include "editor/x11/x11_prompt.h"

#include "editor/core/ui_scale.h"
#include "raster/pixo.h"

#include <X11/keysym.h>

#include <algorithm>

using namespace widget_colour;

namespace {

// At 96 dpi: the panel 360 pixels wide (less on a narrower window) with 12 pixels of margin,
// message lines 15 apart, the line 21 tall, buttons 75 x 23 with 8 between, 10 pixels between
// the parts.
constexpr int32_t kPanelWidth = 360;
constexpr int32_t kMargin = 12;
constexpr int32_t kLineGap = 15;
constexpr int32_t kEditHeight = 21;
constexpr int32_t kButtonWidth = 75;
constexpr int32_t kButtonHeight = 23;
constexpr int32_t kButtonGap = 8;
constexpr int32_t kPartGap = 10;
constexpr uint32_t kPanelEdge = 0xFF404040;

bool continuationByte(char c) {
    return (uint8_t(c) & 0xC0) == 0x80;
}

// The longest start of text (whole characters) no wider than width, at least one character.
size_t fittingBytes(WidgetText& text, const std::string& line, size_t from, int32_t width) {
    size_t end = from;
    size_t best = 0;
    while (end < line.size()) {
        size_t next = end + 1;
        while (next < line.size() && continuationByte(line[next]))
            ++next;
        if (best > 0 && text.width(line.c_str() + from, int32_t(next - from)) > width)
            break;
        best = next - from;
        end = next;
    }
    return best;
}

} // namespace

int32_t X11Prompt::px(int32_t pixels96) const {
    return scaledPixels(pixels96, scale_);
}

const char* X11Prompt::buttonCaption(int32_t index) const {
    switch (kind_) {
    case PromptKind::Text:
        return index == 0 ? "OK" : "Cancel";
    case PromptKind::YesNo:
        return index == 0 ? "Yes" : "No";
    case PromptKind::Message:
        break;
    }
    return "OK";
}

// Paragraphs at '\n', each filled word by word; a word wider than the whole line (a path) is
// cut between characters.
void X11Prompt::wrap(const std::string& message, int32_t width) {
    lines_.clear();
    size_t start = 0;
    while (start <= message.size()) {
        size_t end = message.find('\n', start);
        if (end == std::string::npos)
            end = message.size();
        const std::string paragraph = message.substr(start, end - start);
        size_t from = 0;
        do {
            size_t take = fittingBytes(text_, paragraph, from, width);
            // Break after the last space that fits, unless the line is one long word.
            if (from + take < paragraph.size()) {
                const size_t space = paragraph.rfind(' ', from + take);
                if (space != std::string::npos && space > from)
                    take = space - from;
            }
            lines_.push_back(paragraph.substr(from, take));
            from += take;
            while (from < paragraph.size() && paragraph[from] == ' ')
                ++from;
        } while (from < paragraph.size());
        start = end + 1;
    }
}

void X11Prompt::open(PromptKind kind, const std::string& message, const std::string& answer, int32_t windowWidth,
                     int32_t windowHeight) {
    open_ = true;
    kind_ = kind;
    answer_ = PromptAnswer::Open;
    pressed_ = -1;
    line_.set(kind == PromptKind::Text ? answer.c_str() : "");
    const int32_t margin = px(kMargin);
    const int32_t width = std::min(px(kPanelWidth), windowWidth - 2 * margin);
    wrap(message, width - 2 * margin);
    int32_t height = margin + int32_t(lines_.size()) * px(kLineGap) + px(kPartGap);
    if (kind == PromptKind::Text)
        height += px(kEditHeight) + px(kPartGap);
    height += px(kButtonHeight) + margin;
    panel_ = {(windowWidth - width) / 2, (windowHeight - height) / 2, width, height};
    int32_t y = panel_.y + margin + int32_t(lines_.size()) * px(kLineGap) + px(kPartGap);
    lineRect_ = {};
    if (kind == PromptKind::Text) {
        lineRect_ = {panel_.x + margin, y, width - 2 * margin, px(kEditHeight)};
        y += px(kEditHeight) + px(kPartGap);
    }
    // The buttons at the right, the first on the left of the pair.
    int32_t right = panel_.right() - margin;
    for (int32_t i = buttonCount() - 1; i >= 0; --i) {
        buttons_[i] = {right - px(kButtonWidth), y, px(kButtonWidth), px(kButtonHeight)};
        right -= px(kButtonWidth) + px(kButtonGap);
    }
}

int32_t X11Prompt::buttonAt(int32_t x, int32_t y) const {
    for (int32_t i = 0; i < buttonCount(); ++i)
        if (buttons_[i].contains(x, y))
            return i;
    return -1;
}

// A line longer than the box shows its end nearest the caret: leading characters are left out
// until the caret fits.
size_t X11Prompt::firstShownByte() {
    const std::string& typed = line_.text();
    const int32_t room = lineRect_.width - px(8);
    size_t from = 0;
    while (from < size_t(line_.caret()) &&
           text_.width(typed.c_str() + from, int32_t(size_t(line_.caret()) - from)) > room) {
        ++from;
        while (from < typed.size() && continuationByte(typed[from]))
            ++from;
    }
    return from;
}

void X11Prompt::paint(PIXO_IBitmap& bitmap) {
    if (!open_)
        return;
    const int32_t t = scaledStroke(1, scale_);
    const PixelRect& p = panel_;
    PIXO_PaintRect(&bitmap, p.x, p.y, p.width, p.height, kPanelEdge, 1.0f, PIXO_BLEND_COPY);
    const PixelRect inner = {p.x + t, p.y + t, p.width - 2 * t, p.height - 2 * t};
    PIXO_PaintRect(&bitmap, inner.x, inner.y, inner.width, inner.height, kFace, 1.0f, PIXO_BLEND_COPY);
    paintEdge(bitmap, inner, kLight, kWindow, kShadow, kDarkShadow, scale_);
    const int32_t margin = px(kMargin);
    for (size_t i = 0; i < lines_.size(); ++i)
        text_.draw(bitmap, lines_[i].c_str(),
                   {p.x + margin, p.y + margin + int32_t(i) * px(kLineGap), p.width - 2 * margin, px(kLineGap)},
                   DT_LEFT | DT_VCENTER, kText);
    if (kind_ == PromptKind::Text) {
        const size_t from = firstShownByte();
        paintEditBox(bitmap, text_, lineRect_, line_.text().c_str() + from, TextAlign::Left, true,
                     line_.caret() - int32_t(from), scale_);
    }
    for (int32_t i = 0; i < buttonCount(); ++i)
        paintPushButton(bitmap, text_, buttons_[i], buttonCaption(i), i == pressed_ && pressedInside_, scale_);
}

void X11Prompt::mouseDown(int32_t x, int32_t y) {
    pressed_ = buttonAt(x, y);
    pressedInside_ = pressed_ >= 0;
    if (kind_ == PromptKind::Text && lineRect_.contains(x, y)) {
        const size_t from = firstShownByte();
        line_.placeCaret(int32_t(from) + editCaretAt(text_, lineRect_, line_.text().c_str() + from, TextAlign::Left,
                                                    scale_, x));
    }
}

void X11Prompt::mouseMove(int32_t x, int32_t y) {
    if (pressed_ >= 0)
        pressedInside_ = buttons_[pressed_].contains(x, y);
}

void X11Prompt::mouseUp(int32_t x, int32_t y) {
    const int32_t button = pressed_;
    pressed_ = -1;
    if (button >= 0 && buttons_[button].contains(x, y))
        answer_ = button == 0 ? PromptAnswer::Accepted : PromptAnswer::Declined;
}

void X11Prompt::key(const X11KeyEvent& event) {
    if (kind_ == PromptKind::Text) {
        switch (line_.key(event)) {
        case EditKeyResult::Apply:
            answer_ = PromptAnswer::Accepted;
            break;
        case EditKeyResult::Cancel:
            answer_ = PromptAnswer::Declined;
            break;
        default:
            break;
        }
        return;
    }
    switch (event.keysym) {
    case XK_Return:
    case XK_KP_Enter:
        answer_ = PromptAnswer::Accepted;
        break;
    case XK_Escape:
        answer_ = kind_ == PromptKind::Message ? PromptAnswer::Accepted : PromptAnswer::Declined;
        break;
    default:
        break;
    }
}
