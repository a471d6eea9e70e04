#include "editor/x11/edit_line.h"

#include <X11/keysym.h>

#include <algorithm>

namespace {

bool continuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

} // namespace

void EditLine::set(const char* text) {
    text_ = text ? text : "";
    caret_ = int32_t(text_.size());
    modified_ = false;
}

void EditLine::placeCaret(int32_t offset) {
    offset = std::max(0, std::min(offset, int32_t(text_.size())));
    while (offset > 0 && offset < int32_t(text_.size()) && continuationByte(text_[size_t(offset)]))
        --offset;
    caret_ = offset;
}

int32_t EditLine::previousCharacter(int32_t offset) const {
    do
        --offset;
    while (offset > 0 && continuationByte(text_[size_t(offset)]));
    return std::max(offset, 0);
}

int32_t EditLine::nextCharacter(int32_t offset) const {
    do
        ++offset;
    while (offset < int32_t(text_.size()) && continuationByte(text_[size_t(offset)]));
    return std::min(offset, int32_t(text_.size()));
}

EditKeyResult EditLine::key(const X11KeyEvent& event) {
    switch (event.keysym) {
    case XK_Return:
    case XK_KP_Enter:
        return EditKeyResult::Apply;
    case XK_Escape:
        return EditKeyResult::Cancel;
    case XK_Tab:
        return event.modifiers & X11_MODIFIER_SHIFT ? EditKeyResult::Previous : EditKeyResult::Next;
    case XK_ISO_Left_Tab:
        return EditKeyResult::Previous;
    case XK_Left:
    case XK_KP_Left:
        caret_ = caret_ > 0 ? previousCharacter(caret_) : 0;
        return EditKeyResult::Moved;
    case XK_Right:
    case XK_KP_Right:
        caret_ = caret_ < int32_t(text_.size()) ? nextCharacter(caret_) : caret_;
        return EditKeyResult::Moved;
    case XK_Home:
    case XK_KP_Home:
        caret_ = 0;
        return EditKeyResult::Moved;
    case XK_End:
    case XK_KP_End:
        caret_ = int32_t(text_.size());
        return EditKeyResult::Moved;
    case XK_BackSpace:
        if (caret_ == 0)
            return EditKeyResult::Moved;
        {
            const int32_t from = previousCharacter(caret_);
            text_.erase(size_t(from), size_t(caret_ - from));
            caret_ = from;
        }
        modified_ = true;
        return EditKeyResult::Edited;
    case XK_Delete:
    case XK_KP_Delete:
        if (caret_ >= int32_t(text_.size()))
            return EditKeyResult::Moved;
        text_.erase(size_t(caret_), size_t(nextCharacter(caret_) - caret_));
        modified_ = true;
        return EditKeyResult::Edited;
    default:
        break;
    }
    const size_t length = std::char_traits<char>::length(event.text);
    if (length == 0)
        return EditKeyResult::Ignored;
    if (text_.size() + length > limit_)
        return EditKeyResult::Moved;
    text_.insert(size_t(caret_), event.text, length);
    caret_ += int32_t(length);
    modified_ = true;
    return EditKeyResult::Edited;
}
