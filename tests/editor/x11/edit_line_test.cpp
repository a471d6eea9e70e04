// An edit box's text and caret under the keys a user presses, without a display: typing at the
// caret, removing characters (whole UTF-8 characters), moving, and the keys that ask the box's
// owner to apply, cancel or move on.
#include "editor/x11/edit_line.h"

#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <cstring>

namespace {

X11KeyEvent keyOf(uint32_t keysym, const char* text = "", uint32_t modifiers = 0) {
    X11KeyEvent event = {};
    event.keysym = keysym;
    event.modifiers = modifiers;
    std::strncpy(event.text, text, sizeof(event.text) - 1);
    return event;
}

EditKeyResult typeText(EditLine& line, const char* text) {
    EditKeyResult last = EditKeyResult::Ignored;
    for (const char* c = text; *c; ++c) {
        const char one[2] = {*c, 0};
        last = line.key(keyOf(uint32_t(static_cast<unsigned char>(*c)), one));
    }
    return last;
}

TEST(EditLine, TypesAtTheCaretAndRemovesAroundIt) {
    EditLine line;
    line.set("150");
    EXPECT_EQ(line.caret(), 3);
    EXPECT_FALSE(line.modified());
    EXPECT_EQ(line.key(keyOf(XK_Home)), EditKeyResult::Moved);
    EXPECT_EQ(typeText(line, "-"), EditKeyResult::Edited);
    EXPECT_EQ(line.text(), "-150");
    EXPECT_TRUE(line.modified());
    line.key(keyOf(XK_Right));
    line.key(keyOf(XK_Right));
    EXPECT_EQ(line.key(keyOf(XK_BackSpace)), EditKeyResult::Edited); // the 5
    EXPECT_EQ(line.text(), "-10");
    EXPECT_EQ(line.key(keyOf(XK_Delete)), EditKeyResult::Edited); // the 0
    EXPECT_EQ(line.text(), "-1");
    EXPECT_EQ(line.key(keyOf(XK_Delete)), EditKeyResult::Moved); // nothing after the caret
    line.key(keyOf(XK_Home));
    EXPECT_EQ(line.key(keyOf(XK_BackSpace)), EditKeyResult::Moved); // nothing before it
    EXPECT_EQ(line.key(keyOf(XK_Left)), EditKeyResult::Moved);
    EXPECT_EQ(line.caret(), 0);
    line.key(keyOf(XK_End));
    typeText(line, ".5");
    EXPECT_EQ(line.text(), "-1.5");
    line.set("7");
    EXPECT_FALSE(line.modified());
}

TEST(EditLine, MovesOverWholeUtf8Characters) {
    EditLine line;
    line.set("a\xC3\xA9z"); // a, e acute (two bytes), z
    line.key(keyOf(XK_Left));
    EXPECT_EQ(line.caret(), 3);
    line.key(keyOf(XK_Left));
    EXPECT_EQ(line.caret(), 1);
    line.key(keyOf(XK_Delete));
    EXPECT_EQ(line.text(), "az");
    line.set("\xC3\xA9");
    line.key(keyOf(XK_BackSpace));
    EXPECT_EQ(line.text(), "");
    line.set("x\xC3\xA9");
    line.placeCaret(2); // inside the two bytes: back to the character's start
    EXPECT_EQ(line.caret(), 1);
    line.placeCaret(99);
    EXPECT_EQ(line.caret(), 3);
}

TEST(EditLine, AnswersEnterEscapeAndTabForItsOwner) {
    EditLine line;
    line.set("1");
    EXPECT_EQ(line.key(keyOf(XK_Return)), EditKeyResult::Apply);
    EXPECT_EQ(line.key(keyOf(XK_KP_Enter)), EditKeyResult::Apply);
    EXPECT_EQ(line.key(keyOf(XK_Escape)), EditKeyResult::Cancel);
    EXPECT_EQ(line.key(keyOf(XK_Tab)), EditKeyResult::Next);
    EXPECT_EQ(line.key(keyOf(XK_Tab, "", X11_MODIFIER_SHIFT)), EditKeyResult::Previous);
    EXPECT_EQ(line.key(keyOf(XK_ISO_Left_Tab, "", X11_MODIFIER_SHIFT)), EditKeyResult::Previous);
    // Keys that type nothing (a function key, Control chords the view gives no text) are not the box's.
    EXPECT_EQ(line.key(keyOf(XK_F5)), EditKeyResult::Ignored);
    EXPECT_EQ(line.key(keyOf(XK_a, "", X11_MODIFIER_CONTROL)), EditKeyResult::Ignored);
    EXPECT_EQ(line.text(), "1");
    EXPECT_FALSE(line.modified());
}

TEST(EditLine, RefusesTextBeyondOneNumbersLength) {
    EditLine line;
    line.set("");
    for (int i = 0; i < 100; ++i)
        typeText(line, "9");
    EXPECT_EQ(line.text().size(), 64u);
    EXPECT_EQ(line.caret(), 64);
    // A line for a path takes more; what the program sets is never cut.
    line.setLimit(80);
    for (int i = 0; i < 100; ++i)
        typeText(line, "9");
    EXPECT_EQ(line.text().size(), 80u);
    line.set(std::string(100, '7').c_str());
    typeText(line, "9");
    EXPECT_EQ(line.text(), std::string(100, '7'));
}

} // namespace
