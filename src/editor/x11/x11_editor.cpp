#include "editor/x11/x11_editor.h"

#include "editor/core/main_rules.h"
#include "editor/core/panel_rules.h"
#include "editor/core/ui_scale.h"
#include "raster/pixo.h"
#include "shell/edit_gesture.h"
#include "shell/setting_kinds.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr int32_t kFaderRange = 1000;

bool isEdit(const ControlLayout& layout) {
    return layout.kind == ControlKind::EditBox;
}

} // namespace

PixelRect X11Editor::windowSize(double scale) {
    return dialogPixels(mainWindowLayout(), scale);
}

X11Editor::X11Editor(CompressorEffect& fx, double scale)
    : fx_(fx), scale_(scale), size_(windowSize(scale)), text_(scale) {
    formatBanner(banner_, sizeof(banner_));
    const DialogLayout& main = mainWindowLayout();
    const DialogLayout& panel = bandPanelLayout();
    panelPlace_ = dialogUnitsToPixels(findControl(main, IDC_BAND_PANEL_PLACE)->units, scale);
    widgets_.reserve(size_t(main.count + panel.count));
    for (int32_t i = 0; i < main.count; ++i)
        widgets_.emplace_back(&main.controls[i], false, dialogUnitsToPixels(main.controls[i].units, scale));
    for (int32_t i = 0; i < panel.count; ++i) {
        PixelRect rect = dialogUnitsToPixels(panel.controls[i].units, scale);
        rect.x += panelPlace_.x;
        rect.y += panelPlace_.y;
        widgets_.emplace_back(&panel.controls[i], true, rect);
    }
    fx_.editorNeedsRefresh = 0;
    fx_.meteringWanted = true;
    refreshMain();
    refreshPanel(nullptr);
}

X11Editor::~X11Editor() {
    fx_.meteringWanted = false;
}

void X11Editor::attach(X11View* view) {
    view_ = view;
    view->setTimer(kRefreshTimer, kRefreshIntervalMs);
    view->setTimer(kMeterTimer, kMeterIntervalMs);
}

X11Editor::Widget* X11Editor::find(bool panel, int32_t id) {
    for (Widget& widget : widgets_)
        if (widget.panel == panel && widget.layout->id == id && id != kLabelControlId)
            return &widget;
    return nullptr;
}

const X11Editor::Widget* X11Editor::find(bool panel, int32_t id) const {
    return const_cast<X11Editor*>(this)->find(panel, id);
}

bool X11Editor::controlRect(bool panel, int32_t id, PixelRect& rect) const {
    const Widget* widget = find(panel, id);
    if (widget)
        rect = widget->rect;
    return widget != nullptr;
}

const char* X11Editor::editText(bool panel, int32_t id) const {
    const Widget* widget = find(panel, id);
    return widget && isEdit(*widget->layout) ? widget->edit.text().c_str() : nullptr;
}

bool X11Editor::checked(bool panel, int32_t id) const {
    const Widget* widget = find(panel, id);
    return widget && widget->checked;
}

bool X11Editor::visible(const Widget& widget) const {
    if (widget.layout->kind == ControlKind::PanelPlace)
        return false;
    if (widget.panel || widget.layout->kind == ControlKind::BandTabs)
        return showTabs_;
    return true;
}

// The topmost visible widget at a point: the panel's lie above the main window's, and later
// controls above earlier ones.
int32_t X11Editor::widgetAt(int32_t x, int32_t y) const {
    for (int32_t i = int32_t(widgets_.size()) - 1; i >= 0; --i) {
        const Widget& widget = widgets_[size_t(i)];
        if (visible(widget) && widget.rect.contains(x, y) && widget.layout->kind != ControlKind::GroupBox)
            return i;
    }
    return -1;
}

void X11Editor::repaint() {
    if (X11View* view = view_.load())
        view->requestRepaint();
}

// The graph stops above what lies under it: the tabs, or with them hidden the row of buttons.
void X11Editor::layOut() {
    Widget* graph = find(false, IDC_GRAPH);
    const Widget* below = find(false, showTabs_ ? IDC_BAND_TABS : IDC_ADD_BAND);
    const PixelRect units = dialogUnitsToPixels(graph->layout->units, scale_);
    graph->rect.height = graphHeight(showTabs_, below->rect.y - units.y, scale_);
}

// ---- Main window ------------------------------------------------------------------------------

void X11Editor::refreshMain() {
    bandCount_ = fx_.viewBandCount();
    currentBand_ = fx_.currentBand;
    showTabs_ = fx_.showTabs != 0;
    find(false, IDC_SHOW_TABS)->checked = showTabs_;
    find(false, IDC_SHOW_GRID)->checked = fx_.showGrid != 0;
    find(false, IDC_SOLO_BAND)->checked = fx_.soloCurrentBand != 0;
    const double gain = fx_.outputGain;
    find(false, IDC_OUTPUT_GAIN_FADER)->faderPosition = outputFaderPosition(gain);
    Widget* box = find(false, IDC_OUTPUT_GAIN_EDIT);
    if (box != focused_ || !box->edit.modified()) {
        char text[32];
        formatOutputGain(text, sizeof(text), gain);
        writeEdit(*box, text);
    }
    layOut();
    repaint();
}

// After a band was added or deleted: the tabs follow the list, the panel shows the current band.
void X11Editor::showBandListChange() {
    bandCount_ = fx_.viewBandCount();
    currentBand_ = fx_.currentBand;
    refreshPanel(nullptr);
}

void X11Editor::clickButton(Widget& widget) {
    const bool on = !widget.checked;
    if (widget.panel) {
        if (widget.layout->kind == ControlKind::CheckBox)
            panelSwitchClicked(widget);
        return;
    }
    switch (widget.layout->id) {
    case IDC_ADD_BAND:
        fx_.addBand();
        showBandListChange();
        break;
    case IDC_DELETE_BAND:
        fx_.deleteCurrentBand();
        showBandListChange();
        break;
    case IDC_RESET_DEFAULTS:
        fx_.resetToDefaults();
        refreshMain();
        refreshPanel(nullptr);
        break;
    case IDC_SHOW_GRID:
        widget.checked = on;
        fx_.showGrid = on ? 1 : 0;
        break;
    case IDC_SHOW_TABS:
        widget.checked = on;
        fx_.showTabs = on ? 1 : 0;
        showTabs_ = on;
        if (!on && focused_ && focused_->panel)
            focusEdit(nullptr);
        layOut();
        break;
    case IDC_SOLO_BAND:
        widget.checked = on;
        fx_.soloCurrentBand = on ? 1 : 0;
        break;
    default:
        break;
    }
    repaint();
}

void X11Editor::selectTab(int32_t index) {
    if (index < 0 || index >= bandCount_)
        return;
    if (focused_ && focused_->panel)
        focusEdit(nullptr);
    fx_.currentBand = index;
    currentBand_ = index;
    refreshPanel(nullptr);
}

void X11Editor::outputFaderMoved(bool) {
    Widget& fader = *find(false, IDC_OUTPUT_GAIN_FADER);
    const double gain = outputGainAtFaderPosition(fader.faderPosition);
    fx_.setOutputGain(gain);
    char text[32];
    formatOutputGain(text, sizeof(text), gain);
    writeEdit(*find(false, IDC_OUTPUT_GAIN_EDIT), text);
    notifyGeneralChange(&fx_.effect);
}

// A typed output gain moves the fader and tells the host nothing; a gain that is not finite
// (10000 dB) is not stored.
void X11Editor::applyOutputGainText(Widget& widget) {
    const double gain = outputGainTyped(widget.edit.text().c_str());
    if (std::isfinite(gain)) {
        fx_.setOutputGain(gain);
        find(false, IDC_OUTPUT_GAIN_FADER)->faderPosition = outputFaderPosition(gain);
    }
    char text[32];
    formatOutputGain(text, sizeof(text), fx_.outputGain);
    writeEdit(widget, text);
}

// The peaks are taken and decayed under the lock; drawing follows without it.
void X11Editor::meterTick() {
    peaks_ = fx_.takeMeterPeaks(kMeterDecay);
    repaint();
}

void X11Editor::refreshTick() {
    if (!fx_.editorNeedsRefresh)
        return;
    fx_.editorNeedsRefresh = 0;
    refreshMain();
    refreshPanel(nullptr);
}

// ---- Band panel -------------------------------------------------------------------------------

void X11Editor::refreshPanel(const Widget* untouched) {
    BandView view;
    if (!fx_.viewBand(currentBand_, view))
        return;
    band_ = view;
    int32_t count = 0;
    const PanelNumericControl* numeric = panelNumericControls(count);
    for (int32_t i = 0; i < count; ++i) {
        const SettingKind& kind = settingKind(numeric[i].kind);
        const double value = viewedSetting(view, numeric[i].kind);
        find(true, numeric[i].fader)->faderPosition = kind.faderPosition(value);
        Widget& box = *find(true, numeric[i].edit);
        if (&box == untouched || (&box == focused_ && box.edit.modified()))
            continue;
        char text[64];
        kind.editFormat(text, sizeof(text), value);
        writeEdit(box, text);
    }
    const PanelSwitchControl* switches = panelSwitchControls(count);
    for (int32_t i = 0; i < count; ++i)
        find(true, switches[i].box)->checked = viewedSetting(view, switches[i].kind) != 0;
    find(true, IDC_LOG_SCALE_AUTOMATION)->checked = view.settings.logScaleAutomation;
    repaint();
}

// A drag reports every move and then the end of the gesture; the edit box follows in its format.
// No move takes a new glide snapshot, whatever the setting.
void X11Editor::panelFaderMoved(Widget& widget, bool end) {
    const PanelNumericControl* control = panelControlWithFader(widget.layout->id);
    if (!control)
        return;
    const SettingKind& kind = settingKind(control->kind);
    const double value = kind.atFaderPosition(widget.faderPosition);
    if (editSetting(fx_, currentBand_, control->kind, value, end ? EditReport::End : EditReport::Move,
                    SettingChange::KeepSnapshot)) {
        char text[64];
        kind.editFormat(text, sizeof(text), value);
        writeEdit(*find(true, control->edit), text);
    }
}

// Stores what was typed (a value whose conversion is not finite is refused and the band keeps its
// setting), then shows the band again, the box included.
void X11Editor::applyPanelText(Widget& widget) {
    const PanelNumericControl* control = panelControlWithEdit(widget.layout->id);
    if (!control)
        return;
    editSetting(fx_, currentBand_, control->kind, panelTypedSetting(control->kind, widget.edit.text().c_str()),
                EditReport::Move);
    widget.edit.set(widget.edit.text().c_str());
    refreshPanel(nullptr);
}

void X11Editor::panelSwitchClicked(Widget& widget) {
    const bool on = !widget.checked;
    if (widget.layout->id == IDC_LOG_SCALE_AUTOMATION) {
        if (fx_.setLogScaleAutomation(currentBand_, on)) {
            widget.checked = on;
            notifyGeneralChange(&fx_.effect);
        }
    } else if (const PanelSwitchControl* control = panelSwitchWithBox(widget.layout->id)) {
        if (editSetting(fx_, currentBand_, control->kind, on ? 1 : 0, EditReport::End))
            widget.checked = on;
    }
    repaint();
}

// ---- Edit boxes -------------------------------------------------------------------------------

void X11Editor::writeEdit(Widget& widget, const char* text) {
    widget.edit.set(text);
    repaint();
}

// Focus leaves a box with its text applied when it was changed.
void X11Editor::focusEdit(Widget* widget) {
    if (focused_ == widget)
        return;
    Widget* leaving = focused_;
    focused_ = widget;
    if (leaving && leaving->edit.modified())
        applyEdit(*leaving);
    if (widget)
        if (X11View* view = view_.load())
            view->requestKeyboardFocus();
    repaint();
}

void X11Editor::applyEdit(Widget& widget) {
    if (widget.panel)
        applyPanelText(widget);
    else
        applyOutputGainText(widget);
}

void X11Editor::cancelEdit(Widget& widget) {
    widget.edit.set("");
    if (widget.panel) {
        refreshPanel(nullptr);
    } else {
        char text[32];
        formatOutputGain(text, sizeof(text), fx_.outputGain);
        writeEdit(widget, text);
    }
}

// Tab order: the visible edit boxes in the dialogs' order, round.
void X11Editor::moveFocus(int32_t direction) {
    std::vector<Widget*> boxes;
    for (Widget& widget : widgets_)
        if (isEdit(*widget.layout) && visible(widget))
            boxes.push_back(&widget);
    if (boxes.empty())
        return;
    const auto at = std::find(boxes.begin(), boxes.end(), focused_);
    const int32_t count = int32_t(boxes.size());
    int32_t index = at == boxes.end() ? 0 : int32_t(at - boxes.begin()) + direction;
    index = (index % count + count) % count;
    focusEdit(boxes[size_t(index)]);
    boxes[size_t(index)]->edit.placeCaret(int32_t(boxes[size_t(index)]->edit.text().size()));
}

// ---- Faders -----------------------------------------------------------------------------------

int32_t X11Editor::faderPositionAt(const Widget& widget, int32_t x, int32_t y) const {
    const PixelRect& r = widget.rect;
    double fraction;
    if (widget.layout->kind == ControlKind::VerticalFader)
        fraction = r.height > 1 ? double(r.bottom() - 1 - y) / (r.height - 1) : 0;
    else
        fraction = r.width > 1 ? double(x - r.x) / (r.width - 1) : 0;
    return int32_t(std::lround(std::min(1.0, std::max(0.0, fraction)) * kFaderRange));
}

// ---- Events -----------------------------------------------------------------------------------

void X11Editor::onMouseDown(const X11MouseEvent& event) {
    if (event.button != X11_BUTTON_LEFT)
        return;
    const int32_t index = widgetAt(event.x, event.y);
    Widget* widget = index >= 0 ? &widgets_[size_t(index)] : nullptr;
    if (!widget || !isEdit(*widget->layout))
        focusEdit(nullptr);
    if (!widget)
        return;
    switch (widget->layout->kind) {
    case ControlKind::PushButton:
    case ControlKind::CheckBox:
        pressed_ = widget;
        pressedInside_ = true;
        repaint();
        break;
    case ControlKind::BandTabs:
        selectTab(tabStripGeometry(widget->rect, bandCount_, scale_).tabAt(event.x, event.y));
        break;
    case ControlKind::EditBox:
        focusEdit(widget);
        widget->edit.placeCaret(editCaretAt(text_, widget->rect, widget->edit.text().c_str(), widget->layout->align,
                                            scale_, event.x));
        repaint();
        break;
    case ControlKind::VerticalFader:
    case ControlKind::HorizontalFader:
        dragged_ = widget;
        onMouseMove(event);
        break;
    default:
        break;
    }
}

void X11Editor::onMouseMove(const X11MouseEvent& event) {
    if (pressed_) {
        const bool inside = pressed_->rect.contains(event.x, event.y);
        if (inside != pressedInside_) {
            pressedInside_ = inside;
            repaint();
        }
    }
    if (dragged_) {
        const int32_t position = faderPositionAt(*dragged_, event.x, event.y);
        if (position != dragged_->faderPosition) {
            dragged_->faderPosition = position;
            if (dragged_->panel)
                panelFaderMoved(*dragged_, false);
            else
                outputFaderMoved(false);
            repaint();
        }
    }
}

void X11Editor::onMouseUp(const X11MouseEvent& event) {
    if (event.button != X11_BUTTON_LEFT)
        return;
    if (Widget* widget = pressed_) {
        pressed_ = nullptr;
        if (widget->rect.contains(event.x, event.y))
            clickButton(*widget);
        repaint();
    }
    if (Widget* widget = dragged_) {
        dragged_ = nullptr;
        if (widget->panel)
            panelFaderMoved(*widget, true);
        repaint();
    }
}

void X11Editor::onDoubleClick(const X11MouseEvent& event) {
    // A second click is a click, as the system's buttons and boxes take it.
    onMouseDown(event);
}

void X11Editor::onWheel(const X11MouseEvent&, int32_t) {}

void X11Editor::onKeyDown(const X11KeyEvent& event) {
    if (!focused_)
        return;
    Widget& widget = *focused_;
    switch (widget.edit.key(event)) {
    case EditKeyResult::Apply:
        applyEdit(widget);
        break;
    case EditKeyResult::Cancel:
        cancelEdit(widget);
        break;
    case EditKeyResult::Next:
        moveFocus(1);
        break;
    case EditKeyResult::Previous:
        moveFocus(-1);
        break;
    case EditKeyResult::Ignored:
        return;
    default:
        break;
    }
    repaint();
}

void X11Editor::onFocus(bool gained) {
    if (!gained)
        focusEdit(nullptr);
}

void X11Editor::onTimer(int32_t timerId) {
    if (timerId == kMeterTimer)
        meterTick();
    else if (timerId == kRefreshTimer)
        refreshTick();
}

// ---- Painting ---------------------------------------------------------------------------------

void X11Editor::onPaint(PIXO_IBitmap& bitmap) {
    paintFace(bitmap, {0, 0, bitmap.width(), bitmap.height()});
    for (const Widget& widget : widgets_) {
        if (widget.panel && &widget == &widgets_[size_t(mainWindowLayout().count)] && showTabs_)
            paintFace(bitmap, panelPlace_);
        if (visible(widget))
            paintWidget(bitmap, widget);
    }
}

void X11Editor::paintWidget(PIXO_IBitmap& bitmap, const Widget& widget) {
    const ControlLayout& layout = *widget.layout;
    const bool held = &widget == pressed_ && pressedInside_;
    switch (layout.kind) {
    case ControlKind::GroupBox:
        paintGroupBox(bitmap, text_, widget.rect, banner_, scale_);
        break;
    case ControlKind::BandTabs:
        paintTabStrip(bitmap, text_, tabStripGeometry(widget.rect, bandCount_, scale_), currentBand_, scale_);
        break;
    case ControlKind::PushButton:
        paintPushButton(bitmap, text_, widget.rect, layout.text, held, scale_);
        break;
    case ControlKind::CheckBox:
        paintCheckBox(bitmap, text_, widget.rect, layout.text, widget.checked, held, scale_);
        break;
    case ControlKind::Label:
        paintLabel(bitmap, text_, widget.rect, layout.text, layout.align);
        break;
    case ControlKind::EditBox:
        paintEditBox(bitmap, text_, widget.rect, widget.edit.text().c_str(), layout.align, &widget == focused_,
                     widget.edit.caret(), scale_);
        break;
    case ControlKind::VerticalFader:
    case ControlKind::HorizontalFader:
        paintFader(bitmap, widget);
        break;
    case ControlKind::Meter:
        paintMeter(bitmap, widget);
        break;
    case ControlKind::Graph:
        paintGraph(bitmap, widget);
        break;
    case ControlKind::PanelPlace:
        break;
    }
}

void X11Editor::paintFader(PIXO_IBitmap& bitmap, const Widget& widget) {
    const PixelRect& r = widget.rect;
    const double fraction = widget.faderPosition / double(kFaderRange);
    const int32_t thumb = scaledPixels(10, scale_);
    if (widget.layout->kind == ControlKind::VerticalFader) {
        PIXO_PaintRect(&bitmap, r.x + r.width / 2 - 1, r.y, 3, r.height, widget_colour::kShadow, 1.0f,
                       PIXO_BLEND_COPY);
        const int32_t y = r.y + int32_t((1 - fraction) * (r.height - thumb));
        PIXO_PaintRect(&bitmap, r.x, y, r.width, thumb, 0xFF505050, 1.0f, PIXO_BLEND_COPY);
    } else {
        PIXO_PaintRect(&bitmap, r.x, r.y + r.height / 2 - 1, r.width, 3, widget_colour::kShadow, 1.0f,
                       PIXO_BLEND_COPY);
        const int32_t x = r.x + int32_t(fraction * (r.width - thumb));
        PIXO_PaintRect(&bitmap, x, r.y, thumb, r.height, 0xFF505050, 1.0f, PIXO_BLEND_COPY);
    }
}

void X11Editor::paintMeter(PIXO_IBitmap& bitmap, const Widget& widget) {
    PIXO_PaintRect(&bitmap, widget.rect.x, widget.rect.y, widget.rect.width, widget.rect.height, 0xFF102010, 1.0f,
                   PIXO_BLEND_COPY);
}

void X11Editor::paintGraph(PIXO_IBitmap& bitmap, const Widget& widget) {
    PIXO_PaintRect(&bitmap, widget.rect.x, widget.rect.y, widget.rect.width, widget.rect.height, 0xFF000000, 1.0f,
                   PIXO_BLEND_COPY);
}
