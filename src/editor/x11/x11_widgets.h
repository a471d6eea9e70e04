// The standard controls of the editor's dialogs drawn with the raster library as the Win32
// editor shows them under Wine at 96 dpi: the dialog face, group box, push button, check box,
// label, edit box, band tab strip and popup menu, in the same greys and at the same offsets
// inside their rectangles. Only drawing and the geometry of their parts; what a click does is
// the editor's.
#pragma once

#include "editor/core/editor_layout.h"

#include <cstdint>
#include <memory>

class PIXO_IBitmap;
class PIXO_CachedFont;

namespace widget_colour {
constexpr uint32_t kFace = 0xFFF5F5F5;
constexpr uint32_t kWindow = 0xFFFFFFFF;
constexpr uint32_t kLight = 0xFFE3E3E3;
constexpr uint32_t kShadow = 0xFFA6A6A6;
constexpr uint32_t kDarkShadow = 0xFF6A6A6A;
constexpr uint32_t kText = 0xFF000000;
constexpr uint32_t kGreyText = 0xFFA0A0A0;
constexpr uint32_t kTabFrame = 0xFFAEAEAE;
constexpr uint32_t kTabOutline = 0xFFB1B1B1;
constexpr uint32_t kTabIdle = 0xFFF2F2F2;
constexpr uint32_t kHighlight = 0xFF0078D7;
constexpr uint32_t kHighlightText = 0xFFFFFFFF;
} // namespace widget_colour

// The dialog font's text, measured and drawn; made once per editor at its scale.
class WidgetText {
public:
    explicit WidgetText(double scale);
    ~WidgetText();
    bool ok() const { return font_ != nullptr; }
    int32_t width(const char* text, int32_t length = -1);
    int32_t lineHeight() const { return lineHeight_; }
    // Draws one line; rect's vertical placement follows flags (DT_ bits).
    void draw(PIXO_IBitmap& bitmap, const char* text, const PixelRect& rect, int32_t flags, uint32_t colour,
              int32_t length = -1);

private:
    std::unique_ptr<PIXO_CachedFont> font_;
    int32_t lineHeight_ = 0;
};

// The parts of a band tab strip: each tab's rectangle (unselected size) and the body below them;
// as many tabs as fit the strip's width.
struct TabStripGeometry {
    static constexpr int32_t kMaxTabs = 64;
    PixelRect tabs[kMaxTabs];
    int32_t count = 0;
    PixelRect body;
    // The tab at a point, -1 for none.
    int32_t tabAt(int32_t x, int32_t y) const;
};
TabStripGeometry tabStripGeometry(const PixelRect& strip, int32_t tabCount, double scale);

// A check box's square inside its control rectangle.
PixelRect checkBoxSquare(const PixelRect& control, double scale);

// Two-pixel edges as the system draws them: the outer and inner lines of the top-left sides, then
// of the bottom-right sides (each line one scaled pixel thick).
void paintEdge(PIXO_IBitmap& bitmap, const PixelRect& r, uint32_t outerTopLeft, uint32_t innerTopLeft,
               uint32_t innerBottomRight, uint32_t outerBottomRight, double scale);
// The system's check mark, 7 x 7 pixels at 96 dpi (a tick three pixels thick), from (x, y).
void paintCheckMark(PIXO_IBitmap& bitmap, int32_t x, int32_t y, uint32_t colour, double scale);
void paintFace(PIXO_IBitmap& bitmap, const PixelRect& rect);
void paintGroupBox(PIXO_IBitmap& bitmap, WidgetText& text, const PixelRect& rect, const char* caption, double scale);
void paintPushButton(PIXO_IBitmap& bitmap, WidgetText& text, const PixelRect& rect, const char* caption, bool pressed,
                     double scale);
void paintCheckBox(PIXO_IBitmap& bitmap, WidgetText& text, const PixelRect& rect, const char* caption, bool checked,
                   bool pressed, double scale);
// A label; one wider than its box grows to the left, keeping its right edge, as the Win32 dialog
// widens such labels.
void paintLabel(PIXO_IBitmap& bitmap, WidgetText& text, const PixelRect& rect, const char* caption, TextAlign align);
// An edit box with its text; with focus, its caret at byte caret.
void paintEditBox(PIXO_IBitmap& bitmap, WidgetText& text, const PixelRect& rect, const char* content, TextAlign align,
                  bool focused, int32_t caret, double scale);
// Where an edit box's text starts, and the byte of content nearest to a click at x.
int32_t editTextLeft(WidgetText& text, const PixelRect& rect, const char* content, TextAlign align, double scale);
int32_t editCaretAt(WidgetText& text, const PixelRect& rect, const char* content, TextAlign align, double scale,
                    int32_t x);
void paintTabStrip(PIXO_IBitmap& bitmap, WidgetText& text, const TabStripGeometry& geometry, int32_t selected,
                   double scale);
