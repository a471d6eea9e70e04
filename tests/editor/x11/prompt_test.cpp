// The editor's in-window question without a display: where its parts go, how a long message
// wraps, which keys and clicks answer it and how, and that what is typed is the answer.
#include "editor/x11/x11_prompt.h"

#include "raster/pixo.h"

#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <string>

namespace {

X11KeyEvent key(uint32_t keysym, const char* typed = "") {
    X11KeyEvent event = {};
    event.keysym = keysym;
    std::snprintf(event.text, sizeof event.text, "%s", typed);
    return event;
}

int32_t middleX(const PixelRect& r) { return r.x + r.width / 2; }
int32_t middleY(const PixelRect& r) { return r.y + r.height / 2; }

class PromptTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(text.ok()); }
    WidgetText text{1.0};
    X11Prompt prompt{text, 1.0};
};

TEST_F(PromptTest, SitsInTheMiddleOfTheWindowWithItsButtonsAtTheRight) {
    prompt.open(PromptKind::Text, "Save the setting as a preset named:", "Glue", 567, 396);
    ASSERT_TRUE(prompt.isOpen());
    const PixelRect& panel = prompt.panel();
    EXPECT_EQ(panel.width, 360);
    EXPECT_NEAR(panel.x + panel.width / 2, 567 / 2, 1);
    EXPECT_NEAR(panel.y + panel.height / 2, 396 / 2, 1);
    // Message, line, buttons from top to bottom, all inside the panel.
    ASSERT_EQ(prompt.buttonCount(), 2);
    EXPECT_EQ(prompt.messageLines().size(), 1u);
    EXPECT_GT(prompt.line().y, panel.y + 12);
    EXPECT_GT(prompt.button(0).y, prompt.line().bottom());
    EXPECT_LE(prompt.button(1).right(), panel.right() - 12);
    EXPECT_LT(prompt.button(0).right(), prompt.button(1).x);
    EXPECT_LE(prompt.button(0).bottom(), panel.bottom() - 12);
    EXPECT_STREQ(prompt.buttonCaption(0), "OK");
    EXPECT_STREQ(prompt.buttonCaption(1), "Cancel");
    EXPECT_EQ(prompt.typed(), "Glue");
    // A window narrower than the panel's width keeps a margin either side.
    prompt.open(PromptKind::Message, "Short", "", 300, 200);
    EXPECT_EQ(prompt.panel().x, 12);
    EXPECT_EQ(prompt.panel().width, 300 - 24);
    ASSERT_EQ(prompt.buttonCount(), 1);
    EXPECT_STREQ(prompt.buttonCaption(0), "OK");
    EXPECT_TRUE(prompt.line().width == 0);
}

TEST_F(PromptTest, MessagesBreakAtNewLinesAndWrapAtSpacesToThePanel) {
    const std::string sentence = "The preset could not be imported because the file is not a program file of ours";
    prompt.open(PromptKind::Message, "First line:\n" + sentence, "", 567, 396);
    const auto& lines = prompt.messageLines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "First line:");
    std::string joined;
    for (size_t i = 1; i < lines.size(); ++i) {
        EXPECT_LE(text.width(lines[i].c_str()), 360 - 24) << lines[i];
        // Broken at spaces: no line starts or ends with one, no word is cut.
        EXPECT_NE(lines[i].front(), ' ');
        EXPECT_NE(lines[i].back(), ' ');
        joined += (i > 1 ? " " : "") + lines[i];
    }
    EXPECT_EQ(joined, sentence);
    // A path with no spaces is cut between characters, never inside one.
    const std::string path = "/home/user/.config/tarnwell/presets/" + std::string(60, 'x') + "\xC3\xA4\xC3\xA4\xC3\xA4.fxp";
    prompt.open(PromptKind::Message, path, "", 567, 396);
    std::string rejoined;
    for (const std::string& line : prompt.messageLines()) {
        EXPECT_LE(text.width(line.c_str()), 360 - 24);
        EXPECT_NE(uint8_t(line.front()) & 0xC0, 0x80) << "a line starts inside a character";
        rejoined += line;
    }
    EXPECT_GT(prompt.messageLines().size(), 1u);
    EXPECT_EQ(rejoined, path);
}

TEST_F(PromptTest, EnterAcceptsEscapeDeclinesAndTypingEditsTheAnswer) {
    prompt.open(PromptKind::Text, "Name:", "Glue", 567, 396);
    prompt.key(key(XK_BackSpace));
    prompt.key(key(XK_odiaeresis, "\xC3\xB6"));
    prompt.key(key(XK_Tab)); // not an answer
    EXPECT_EQ(prompt.answer(), PromptAnswer::Open);
    prompt.key(key(XK_Return));
    EXPECT_EQ(prompt.answer(), PromptAnswer::Accepted);
    EXPECT_EQ(prompt.typed(), "Glu\xC3\xB6");

    prompt.open(PromptKind::Text, "Name:", "Glue", 567, 396);
    EXPECT_EQ(prompt.answer(), PromptAnswer::Open);
    prompt.key(key(XK_Escape));
    EXPECT_EQ(prompt.answer(), PromptAnswer::Declined);

    prompt.open(PromptKind::YesNo, "Replace it?", "", 567, 396);
    prompt.key(key(XK_y, "y"));
    EXPECT_EQ(prompt.answer(), PromptAnswer::Open);
    prompt.key(key(XK_KP_Enter));
    EXPECT_EQ(prompt.answer(), PromptAnswer::Accepted);
    prompt.open(PromptKind::YesNo, "Replace it?", "", 567, 396);
    prompt.key(key(XK_Escape));
    EXPECT_EQ(prompt.answer(), PromptAnswer::Declined);
    // A message is only acknowledged, by either key.
    prompt.open(PromptKind::Message, "Failed.", "", 567, 396);
    prompt.key(key(XK_Escape));
    EXPECT_EQ(prompt.answer(), PromptAnswer::Accepted);
}

TEST_F(PromptTest, AButtonAnswersWhenReleasedOverIt) {
    prompt.open(PromptKind::YesNo, "Replace it?", "", 567, 396);
    const PixelRect yes = prompt.button(0), no = prompt.button(1);
    // Pressed on Yes, released on No: nothing.
    prompt.mouseDown(middleX(yes), middleY(yes));
    prompt.mouseMove(middleX(no), middleY(no));
    prompt.mouseUp(middleX(no), middleY(no));
    EXPECT_EQ(prompt.answer(), PromptAnswer::Open);
    // A press and release on the panel's face: nothing.
    prompt.mouseDown(prompt.panel().x + 4, prompt.panel().y + 4);
    prompt.mouseUp(prompt.panel().x + 4, prompt.panel().y + 4);
    EXPECT_EQ(prompt.answer(), PromptAnswer::Open);
    prompt.mouseDown(middleX(no), middleY(no));
    prompt.mouseUp(middleX(no), middleY(no));
    EXPECT_EQ(prompt.answer(), PromptAnswer::Declined);
    prompt.open(PromptKind::YesNo, "Replace it?", "", 567, 396);
    prompt.mouseDown(middleX(yes), middleY(yes));
    prompt.mouseUp(middleX(yes), middleY(yes));
    EXPECT_EQ(prompt.answer(), PromptAnswer::Accepted);
}

TEST_F(PromptTest, AClickInTheLinePutsTheCaretUnderThePointerEvenWhenItsStartIsOutOfSight) {
    const std::string path = "/tmp/" + std::string(120, 'w') + "/end.fxp";
    prompt.open(PromptKind::Text, "Export the setting to the file:", path, 567, 396);
    const PixelRect& line = prompt.line();
    // The caret at the end shows the end; the box's left edge shows a character far from the start.
    prompt.mouseDown(line.x + 4, middleY(line));
    prompt.mouseUp(line.x + 4, middleY(line));
    prompt.key(key(XK_X, "X"));
    const size_t at = prompt.typed().find('X');
    ASSERT_NE(at, std::string::npos);
    EXPECT_GT(at, 20u);
    EXPECT_LT(at, path.size() - 8);
    EXPECT_EQ(prompt.answer(), PromptAnswer::Open);
    // The box now shows the text up to the caret after the X at its right end: a click there
    // leaves the caret where it is.
    prompt.mouseDown(line.right() - 4, middleY(line));
    prompt.key(key(XK_Y, "Y"));
    EXPECT_EQ(prompt.typed().find('Y'), at + 1);
}

TEST_F(PromptTest, PaintsOverTheWindowOnlyWithinItsPanelAndShowsTheLineEndAtTheCaret) {
    PIXO_MemBitmap bitmap;
    ASSERT_TRUE(bitmap.setSize(567, 396));
    const uint32_t background = 0xFF123456;
    PIXO_PaintRect(&bitmap, 0, 0, 567, 396, background, 1.0f, PIXO_BLEND_COPY);
    // A path much longer than the line.
    const std::string path = "/tmp/" + std::string(120, 'w') + "/end.fxp";
    prompt.open(PromptKind::Text, "Export the setting to the file:", path, 567, 396);
    prompt.paint(bitmap);
    const PixelRect& panel = prompt.panel();
    int outside = 0, inside = 0;
    for (int32_t y = 0; y < 396; ++y)
        for (int32_t x = 0; x < 567; ++x) {
            const bool changed = bitmap.pixels()[y * bitmap.rowSpan() + x] != background;
            (panel.contains(x, y) ? inside : outside) += changed;
        }
    EXPECT_EQ(outside, 0);
    EXPECT_EQ(inside, panel.width * panel.height);
    // The caret (black, a line's height) is drawn inside the line although the text is wider.
    const PixelRect& line = prompt.line();
    int caretColumns = 0;
    for (int32_t x = line.x + 2; x < line.right() - 2; ++x) {
        int dark = 0;
        for (int32_t y = line.y + 2; y < line.bottom() - 2; ++y)
            dark += (bitmap.pixels()[y * bitmap.rowSpan() + x] & 0xFFFFFF) == 0;
        caretColumns += dark >= text.lineHeight() - 1;
    }
    EXPECT_GE(caretColumns, 1);
    // Closed, it paints nothing.
    PIXO_PaintRect(&bitmap, 0, 0, 567, 396, background, 1.0f, PIXO_BLEND_COPY);
    prompt.close();
    prompt.paint(bitmap);
    EXPECT_EQ(bitmap.pixels()[middleY(panel) * bitmap.rowSpan() + middleX(panel)], background);
}

} // namespace
