#include "editor/x11/x11_editor.h"

#include "editor/core/fader_drawing.h"
#include "editor/core/graph_menu.h"
#include "editor/core/main_rules.h"
#include "editor/core/panel_rules.h"
#include "editor/core/preset_menu.h"
#include "editor/core/ui_scale.h"
#include "raster/pixo.h"
#include "shell/ab_slots.h"
#include "shell/edit_gesture.h"
#include "shell/edit_history.h"
#include "shell/preset_library.h"
#include "shell/setting_kinds.h"

#include <X11/keysym.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

bool isEdit(const ControlLayout& layout) {
    return layout.kind == ControlKind::EditBox;
}

bool isFader(const ControlLayout& layout) {
    return layout.kind == ControlKind::VerticalFader || layout.kind == ControlKind::HorizontalFader;
}

GraphModifiers graphModifiersOf(uint32_t modifiers) {
    GraphModifiers keys;
    keys.control = (modifiers & X11_MODIFIER_CONTROL) != 0;
    keys.shift = (modifiers & X11_MODIFIER_SHIFT) != 0;
    keys.alt = (modifiers & X11_MODIFIER_ALT) != 0;
    return keys;
}

// The system's colours for a fader on the dialog's face.
FaderColours faderColours() {
    FaderColours colours;
    colours.background = widget_colour::kFace;
    colours.trackFill = widget_colour::kShadow;
    colours.trackEdge = widget_colour::kWindow;
    colours.defaultLine = widget_colour::kText;
    return colours;
}

} // namespace

std::vector<PopupMenuItem> graphPopupItems(CompressorEffect& fx, bool onHandle) {
    std::vector<PopupMenuItem> items;
    for (const GraphMenuItem& entry : kGraphMenuItems) {
        PopupMenuItem item;
        if (entry.label) {
            const GraphMenuItemState state = graphMenuItemState(fx, entry.command, onHandle);
            item.label = entry.label;
            item.command = int32_t(entry.command);
            item.checked = state.checked;
            item.enabled = state.enabled;
        }
        items.push_back(item);
    }
    return items;
}

std::vector<PopupMenuItem> presetPopupItems(CompressorEffect& fx, const std::vector<PresetEntry>& presets) {
    std::vector<PopupMenuItem> items;
    for (const PresetMenuItem& entry : presetMenuItems(fx, presets)) {
        PopupMenuItem item;
        item.label = entry.label;
        item.command = int32_t(entry.command);
        item.checked = entry.checked;
        item.enabled = entry.enabled;
        item.shortcut = entry.shortcut;
        items.push_back(item);
    }
    return items;
}

PixelRect X11Editor::windowSize(double scale) {
    return dialogPixels(mainWindowLayout(), scale);
}

X11Editor::X11Editor(CompressorEffect& fx, double scale)
    : fx_(fx), scale_(scale), size_(windowSize(scale)), text_(scale), menu_(text_, scale, *this), prompt_(text_, scale) {
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
    for (Widget& widget : widgets_) {
        if (isFader(*widget.layout)) {
            widget.fader.vertical = widget.layout->kind == ControlKind::VerticalFader;
            widget.fader.scale = scale;
        } else if (widget.layout->kind == ControlKind::Meter) {
            widget.painter.reset(new MeterPainter);
            widget.painter->setScale(scale);
        }
    }
    // Each fader restores its setting's default on a double-click; the frequency fader has no
    // default position and draws no line for one.
    int32_t count = 0;
    const PanelNumericControl* numeric = panelNumericControls(count);
    for (int32_t i = 0; i < count; ++i) {
        FaderModel& fader = find(true, numeric[i].fader)->fader;
        if (numeric[i].kind == kSettingFrequency)
            fader.flags = kFaderNoTrackColourQuery | kFaderNoDefaultLine;
        else
            fader.defaultPosition = settingKind(numeric[i].kind).defaultFaderPosition;
    }
    graph_ = find(false, IDC_GRAPH);
    fx_.editorNeedsRefresh = 0;
    fx_.meteringWanted = true;
    refreshMain();
    refreshPanel();
    labelChanges_ = editChangeCount(fx_);
    labelSlot_ = activeAbSlot(fx_);
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
    fullPaint_ = true;
    repaintMoving();
}

void X11Editor::repaintMoving() {
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
    setFaderPosition(*find(false, IDC_OUTPUT_GAIN_FADER), outputFaderPosition(gain));
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
    refreshPanel();
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
        refreshPanel();
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
    refreshPanel();
}

// The end of a drag (or of a burst of wheel steps or keys) is the end of one undo step.
void X11Editor::outputFaderMoved(bool end) {
    Widget& fader = *find(false, IDC_OUTPUT_GAIN_FADER);
    const double gain = outputGainAtFaderPosition(fader.fader.position());
    fx_.setOutputGain(gain);
    char text[32];
    formatOutputGain(text, sizeof(text), gain);
    writeEdit(*find(false, IDC_OUTPUT_GAIN_EDIT), text);
    notifyGeneralChange(&fx_.effect);
    if (end)
        closeEditStep(fx_);
}

// A typed output gain moves the fader and tells the host nothing; a gain that is not finite
// (10000 dB) is not stored. A typed value is an undo step of its own.
void X11Editor::applyOutputGainText(Widget& widget) {
    const double gain = outputGainTyped(widget.edit.text().c_str());
    if (std::isfinite(gain)) {
        fx_.setOutputGain(gain);
        closeEditStep(fx_);
        setFaderPosition(*find(false, IDC_OUTPUT_GAIN_FADER), outputFaderPosition(gain));
    }
    char text[32];
    formatOutputGain(text, sizeof(text), fx_.outputGain);
    writeEdit(widget, text);
}

// The peaks are taken and decayed under the lock; drawing follows without it.
void X11Editor::meterTick() {
    const MeterPeaks peaks = fx_.takeMeterPeaks(kMeterDecay);
    const uint32_t time = now();
    updateMeterLevels(find(false, IDC_INPUT_METER)->meter, meterLevelTenths(peaks.inputLeft),
                      meterLevelTenths(peaks.inputRight), time);
    updateMeterLevels(find(false, IDC_OUTPUT_METER)->meter, meterLevelTenths(peaks.outputLeft),
                      meterLevelTenths(peaks.outputRight), time);
    settleFaders();
    repaintMoving();
}

uint32_t X11Editor::now() {
    using namespace std::chrono;
    return uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void X11Editor::refreshTick() {
    // A hover that left the graph without a move there ends here.
    if (gestures_.dragBand >= 0 && !graphCaptured_ && !inGraph(pointerX_, pointerY_)) {
        gestures_.dragBand = -1;
        gestures_.dragMode = 0;
    }
    notePresetLabel();
    if (!fx_.editorNeedsRefresh)
        return;
    fx_.editorNeedsRefresh = 0;
    refreshMain();
    refreshPanel();
}

// The preset control's label changes with the edit history (a step, an undo, a preset loaded or
// saved) and with the A/B slot: the window is painted again when either moved on.
void X11Editor::notePresetLabel() {
    const uint64_t changes = editChangeCount(fx_);
    const int32_t slot = activeAbSlot(fx_);
    if (changes == labelChanges_ && slot == labelSlot_)
        return;
    labelChanges_ = changes;
    labelSlot_ = slot;
    repaint();
}

// ---- Band panel -------------------------------------------------------------------------------

// A box being typed into keeps its text.
void X11Editor::refreshPanel() {
    BandView view;
    if (!fx_.viewBand(currentBand_, view))
        return;
    int32_t count = 0;
    const PanelNumericControl* numeric = panelNumericControls(count);
    for (int32_t i = 0; i < count; ++i) {
        const SettingKind& kind = settingKind(numeric[i].kind);
        const double value = viewedSetting(view, numeric[i].kind);
        setFaderPosition(*find(true, numeric[i].fader), kind.faderPosition(value));
        Widget& box = *find(true, numeric[i].edit);
        if (&box == focused_ && box.edit.modified())
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
    const double value = kind.atFaderPosition(widget.fader.position());
    if (editSetting(fx_, currentBand_, control->kind, value, end ? EditReport::End : EditReport::Move,
                    SettingChange::KeepSnapshot)) {
        char text[64];
        kind.editFormat(text, sizeof(text), value);
        writeEdit(*find(true, control->edit), text);
    }
}

// Stores what was typed (a value whose conversion is not finite is refused and the band keeps its
// setting) as an undo step of its own, then shows the band again, the box included.
void X11Editor::applyPanelText(Widget& widget) {
    const PanelNumericControl* control = panelControlWithEdit(widget.layout->id);
    if (!control)
        return;
    if (editSetting(fx_, currentBand_, control->kind, panelTypedSetting(control->kind, widget.edit.text().c_str()),
                    EditReport::Move))
        closeEditStep(fx_);
    // Untouched again, so that the refresh writes the stored value into it.
    widget.edit.set("");
    refreshPanel();
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
    if (widget)
        keyFader_ = nullptr;
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
        refreshPanel();
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

void X11Editor::faderPointer(const Widget& widget, int32_t x, int32_t y, int32_t& along, int32_t& across) const {
    const bool vertical = widget.fader.vertical;
    along = vertical ? y - widget.rect.y : x - widget.rect.x;
    across = vertical ? x - widget.rect.x : y - widget.rect.y;
}

// A fader's parent hears of its moves as the Win32 dialogs hear of a trackbar's.
void X11Editor::faderStepped(Widget& widget, const FaderStep& step) {
    if (step.report != FaderReport::None) {
        if (widget.panel)
            panelFaderMoved(widget, step.report == FaderReport::End);
        else
            outputFaderMoved(step.report == FaderReport::End);
    }
    if (step.redraw || step.report != FaderReport::None)
        repaint();
}

// A position from the instance; a fader being dragged keeps the user's.
void X11Editor::setFaderPosition(Widget& widget, int32_t position) {
    if (&widget != dragged_)
        widget.fader.setPosition(position);
}

// A burst of wheel steps ends with one report once it has settled.
void X11Editor::settleFaders() {
    const uint32_t time = now();
    for (Widget& widget : widgets_)
        if (isFader(*widget.layout) && widget.settle.fire(time))
            faderStepped(widget, {FaderReport::End, false});
}

// ---- Response graph ---------------------------------------------------------------------------

bool X11Editor::inGraph(int32_t x, int32_t y) const {
    return graph_->rect.contains(x, y);
}

// What the graph offers under the pointer, shown by its shape; a gesture under way keeps the
// shape it started with.
void X11Editor::showCursorAt(int32_t x, int32_t y) {
    X11View* view = view_.load();
    if (!view || graphCaptured_)
        return;
    X11Cursor shape = X11Cursor::Arrow;
    if (!pressed_ && !dragged_ && inGraph(x, y)) {
        switch (gestures_.cursorAt(fx_, *this, x - graph_->rect.x, y - graph_->rect.y)) {
        case GraphCursor::Hand:
            shape = X11Cursor::Hand;
            break;
        case GraphCursor::ResizeHorizontal:
            shape = X11Cursor::ResizeHorizontal;
            break;
        case GraphCursor::Arrow:
            break;
        }
    }
    view->setCursor(shape);
}

GraphArea X11Editor::area() {
    GraphArea area;
    area.width = graph_->rect.width;
    area.height = graph_->rect.height;
    area.scale = scale_;
    return area;
}

void X11Editor::showCurrentBand(int32_t index) {
    currentBand_ = index;
    bandCount_ = fx_.viewBandCount();
    repaint();
}

void X11Editor::runMainCommand(GraphMainCommand command, bool on) {
    int32_t id = 0;
    switch (command) {
    case GraphMainCommand::AddBand:
        id = IDC_ADD_BAND;
        break;
    case GraphMainCommand::DeleteBand:
        id = IDC_DELETE_BAND;
        break;
    case GraphMainCommand::Solo:
        id = IDC_SOLO_BAND;
        break;
    case GraphMainCommand::ShowTabs:
        id = IDC_SHOW_TABS;
        break;
    case GraphMainCommand::ShowGrid:
        id = IDC_SHOW_GRID;
        break;
    }
    Widget& widget = *find(false, id);
    // A switch's click flips it: put it where the command wants it flipped from.
    widget.checked = !on;
    clickButton(widget);
}

// The context menu at the pointer, with the items' states as it opens.
void X11Editor::openGraphMenu(int32_t x, int32_t y, bool onHandle) {
    X11View* view = view_.load();
    int32_t screenX = 0, screenY = 0;
    if (!view || !view->toScreen(x, y, screenX, screenY))
        return;
    menu_.setItems(graphPopupItems(fx_, onHandle));
    menu_.setMaxHeight(0);
    if (view->openPopup(screenX, screenY, menu_.width(), menu_.height(), &menu_))
        menuKind_ = MenuKind::Graph;
}

void X11Editor::onMenuCommand(int32_t command) {
    const MenuKind kind = menuKind_;
    if (X11View* view = view_.load())
        view->closePopup();
    if (kind == MenuKind::Preset)
        runPresetCommand(uint32_t(command));
    else
        runGraphMenuCommand(fx_, *this, uint32_t(command));
    repaint();
}

void X11Editor::onMenuClosed() {
    // The preset control stops showing itself pressed.
    if (menuKind_ == MenuKind::Preset)
        repaint();
    menuKind_ = MenuKind::None;
}

// ---- Preset control ---------------------------------------------------------------------------

X11PopupMenu& X11Editor::presetMenu(int32_t& x, int32_t& y) {
    presetLibrary_ = PresetLibrary(userPresetFolder());
    presetList_ = presetLibrary_.list();
    menu_.setItems(presetPopupItems(fx_, presetList_));
    menuKind_ = MenuKind::Preset;
    const Widget& control = *find(false, IDC_PRESET_CONTROL);
    x = control.rect.x;
    y = control.rect.bottom();
    return menu_;
}

// The menu just below the control, no taller than the screen leaves room for below it.
void X11Editor::openPresetMenu() {
    X11View* view = view_.load();
    int32_t x = 0, y = 0, screenX = 0, screenY = 0, screenWidth = 0, screenHeight = 0;
    if (!view)
        return;
    presetMenu(x, y);
    if (!view->toScreen(x, y, screenX, screenY)) {
        menuKind_ = MenuKind::None;
        return;
    }
    menu_.setMaxHeight(view->screenSize(screenWidth, screenHeight) ? std::max(screenHeight - screenY, 1) : 0);
    if (view->openPopup(screenX, screenY, menu_.width(), menu_.height(), &menu_))
        repaint();
    else
        menuKind_ = MenuKind::None;
}

// A command of the preset menu or the undo keys; whatever it changed shows at once.
void X11Editor::runPresetCommand(uint32_t command) {
    runPresetMenuCommand(fx_, presetLibrary_, presetList_, *this, command);
    notePresetLabel();
    repaint();
}

// Ctrl+Z, Ctrl+Shift+Z and Ctrl+Y, whichever widget has the keyboard; not in the middle of a
// drag or a press, whose gesture the instance's new state would pull away from under it.
bool X11Editor::runEditKey(const X11KeyEvent& event) {
    const uint32_t letter = event.keysym < 0x80 ? event.keysym : 0;
    const uint32_t command = editKeyCommand(letter, (event.modifiers & X11_MODIFIER_CONTROL) != 0,
                                            (event.modifiers & X11_MODIFIER_SHIFT) != 0,
                                            (event.modifiers & X11_MODIFIER_ALT) != 0);
    if (command == 0)
        return false;
    if (!pressed_ && !dragged_ && !graphCaptured_)
        runPresetCommand(command);
    return true;
}

bool X11Editor::ask(PromptKind kind, const std::string& message, std::string& answer) {
    X11View* view = view_.load();
    // One question at a time: while one is open nothing else can run a command that asks.
    if (!view || prompt_.isOpen())
        return false;
    prompt_.open(kind, message, answer, size_.width, size_.height);
    view->requestKeyboardFocus();
    repaint();
    const bool served = view->runModal([this] { return prompt_.answer() != PromptAnswer::Open; });
    const bool accepted = served && prompt_.answer() == PromptAnswer::Accepted;
    answer = prompt_.typed();
    prompt_.close();
    repaint();
    return accepted;
}

bool X11Editor::askPresetName(const std::string& suggested, std::string& name) {
    name = suggested;
    return ask(PromptKind::Text, "Save the setting as a preset named:", name);
}

bool X11Editor::askYesNo(const std::string& question) {
    std::string unused;
    return ask(PromptKind::YesNo, question, unused);
}

bool X11Editor::askImportPath(std::string& path) {
    const std::string folder = userPresetFolder();
    path = folder.empty() ? std::string() : folder + "/";
    return ask(PromptKind::Text, "Import the preset file (.fxp) at:", path);
}

bool X11Editor::askExportPath(const std::string& suggestedFileName, std::string& path) {
    const char* home = std::getenv("HOME");
    path = home && *home ? std::string(home) + "/" + suggestedFileName : suggestedFileName;
    return ask(PromptKind::Text, "Export the setting to the file:", path);
}

void X11Editor::showMessage(const std::string& text) {
    std::string unused;
    ask(PromptKind::Message, text, unused);
}

// As a host's state load shows: every control from the instance again. A box being typed into
// loses what was typed (it belonged to the setting that is gone).
void X11Editor::showWholeInstance() {
    if (focused_) {
        focused_->edit.set("");
        focused_ = nullptr;
    }
    fx_.editorNeedsRefresh = 0;
    refreshMain();
    refreshPanel();
    notePresetLabel();
}

// ---- Events -----------------------------------------------------------------------------------

void X11Editor::onMouseDown(const X11MouseEvent& event) {
    if (prompt_.isOpen()) {
        if (event.button == X11_BUTTON_LEFT)
            prompt_.mouseDown(event.x, event.y);
        repaint();
        return;
    }
    pointerX_ = event.x;
    pointerY_ = event.y;
    const int32_t index = widgetAt(event.x, event.y);
    Widget* widget = index >= 0 ? &widgets_[size_t(index)] : nullptr;
    if (event.button == X11_BUTTON_RIGHT) {
        if (widget == graph_) {
            const bool onHandle = gestures_.rightPress(fx_, *this, event.x - graph_->rect.x, event.y - graph_->rect.y);
            openGraphMenu(event.x, event.y, onHandle);
        }
        return;
    }
    if (event.button != X11_BUTTON_LEFT)
        return;
    if (!widget || !isEdit(*widget->layout))
        focusEdit(nullptr);
    if (!widget)
        return;
    int32_t along = 0, across = 0;
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
    case ControlKind::HorizontalFader: {
        faderPointer(*widget, event.x, event.y, along, across);
        const FaderGeometry g = faderGeometry(widget->fader, widget->rect.width, widget->rect.height);
        if (pressFader(widget->fader, g, widget->drag, along, across) != FaderPress::Parent) {
            widget->settle.disarm();
            dragged_ = widget;
            keyFader_ = widget;
            if (X11View* view = view_.load())
                view->requestKeyboardFocus();
            repaint();
        }
        break;
    }
    case ControlKind::Meter:
        if (clickVerticalMeter(widget->meter, widget->rect.height, event.y - widget->rect.y))
            repaint();
        break;
    case ControlKind::Graph:
        gestures_.press(fx_, *this, event.x - graph_->rect.x, event.y - graph_->rect.y);
        repaint();
        break;
    case ControlKind::PresetControl:
        openPresetMenu();
        break;
    default:
        break;
    }
    // The undo keys work from wherever the user clicked last.
    if (X11View* view = view_.load())
        view->requestKeyboardFocus();
}

void X11Editor::onMouseMove(const X11MouseEvent& event) {
    if (prompt_.isOpen()) {
        prompt_.mouseMove(event.x, event.y);
        repaint();
        return;
    }
    pointerX_ = event.x;
    pointerY_ = event.y;
    if (pressed_) {
        const bool inside = pressed_->rect.contains(event.x, event.y);
        if (inside != pressedInside_) {
            pressedInside_ = inside;
            repaint();
        }
    }
    if (Widget* widget = dragged_) {
        int32_t along = 0, across = 0;
        faderPointer(*widget, event.x, event.y, along, across);
        const FaderGeometry g = faderGeometry(widget->fader, widget->rect.width, widget->rect.height);
        faderStepped(*widget, dragFader(widget->fader, g, widget->drag, along,
                                        (event.modifiers & X11_MODIFIER_CONTROL) != 0));
    }
    showCursorAt(event.x, event.y);
    if (graphCaptured_ || (!pressed_ && !dragged_ && inGraph(event.x, event.y))) {
        const int32_t hovered = gestures_.dragBand;
        gestures_.move(fx_, *this, event.x - graph_->rect.x, event.y - graph_->rect.y,
                       graphModifiersOf(event.modifiers));
        if (graphCaptured_ || hovered != gestures_.dragBand || hovered >= 0)
            repaintMoving();
    } else if (gestures_.dragBand >= 0 && !graphCaptured_) {
        gestures_.dragBand = -1;
        gestures_.dragMode = 0;
        repaintMoving();
    }
}

void X11Editor::onMouseLeave() {
    pointerX_ = pointerY_ = -1;
    if (gestures_.dragBand >= 0 && !graphCaptured_) {
        gestures_.dragBand = -1;
        gestures_.dragMode = 0;
        repaint();
    }
}

void X11Editor::onMouseUp(const X11MouseEvent& event) {
    if (event.button != X11_BUTTON_LEFT)
        return;
    if (prompt_.isOpen()) {
        prompt_.mouseUp(event.x, event.y);
        repaint();
        return;
    }
    if (Widget* widget = pressed_) {
        pressed_ = nullptr;
        if (widget->rect.contains(event.x, event.y))
            clickButton(*widget);
        repaint();
    }
    if (Widget* widget = dragged_) {
        dragged_ = nullptr;
        int32_t along = 0, across = 0;
        faderPointer(*widget, event.x, event.y, along, across);
        const FaderGeometry g = faderGeometry(widget->fader, widget->rect.width, widget->rect.height);
        faderStepped(*widget, releaseFader(widget->fader, g, widget->drag, along,
                                           (event.modifiers & X11_MODIFIER_CONTROL) != 0,
                                           (event.modifiers & X11_MODIFIER_ALT) != 0));
    }
    if (graphCaptured_) {
        gestures_.release(fx_, *this);
        repaint();
    }
}

// A fader goes back to its default; the graph takes the second press of a pair as no press;
// buttons and boxes take it as a click.
void X11Editor::onDoubleClick(const X11MouseEvent& event) {
    if (event.button != X11_BUTTON_LEFT || prompt_.isOpen()) {
        onMouseDown(event);
        return;
    }
    const int32_t index = widgetAt(event.x, event.y);
    Widget* widget = index >= 0 ? &widgets_[size_t(index)] : nullptr;
    if (widget && isFader(*widget->layout)) {
        widget->settle.disarm();
        faderStepped(*widget, resetFaderToDefault(widget->fader));
        return;
    }
    if (widget == graph_)
        return;
    onMouseDown(event);
}

void X11Editor::onWheel(const X11MouseEvent& event, int32_t steps) {
    if (prompt_.isOpen())
        return;
    const int32_t index = widgetAt(event.x, event.y);
    Widget* widget = index >= 0 ? &widgets_[size_t(index)] : nullptr;
    if (!widget)
        return;
    const bool fine = (event.modifiers & X11_MODIFIER_CONTROL) != 0;
    if (isFader(*widget->layout)) {
        faderStepped(*widget, wheelFader(widget->fader, steps * 120, fine));
        widget->settle.arm(now());
    } else if (widget == graph_) {
        gestures_.wheel(fx_, *this, event.x - graph_->rect.x, event.y - graph_->rect.y, steps * 120,
                        graphModifiersOf(event.modifiers));
        repaint();
    }
}

void X11Editor::onKeyDown(const X11KeyEvent& event) {
    if (prompt_.isOpen()) {
        prompt_.key(event);
        repaint();
        return;
    }
    if (runEditKey(event))
        return;
    if (!focused_) {
        // The fader pressed last takes Up and Down, as a focused trackbar does.
        const bool up = event.keysym == XK_Up || event.keysym == XK_KP_Up;
        if (keyFader_ && (up || event.keysym == XK_Down || event.keysym == XK_KP_Down) && visible(*keyFader_)) {
            faderStepped(*keyFader_,
                         stepFaderByKey(keyFader_->fader, up, (event.modifiers & X11_MODIFIER_CONTROL) != 0));
            keyFader_->settle.arm(now());
        }
        return;
    }
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
    if (!gained && !prompt_.isOpen())
        focusEdit(nullptr);
}

void X11Editor::onTimer(int32_t timerId) {
    if (timerId == kMeterTimer)
        meterTick();
    else if (timerId == kRefreshTimer)
        refreshTick();
}

// ---- Painting ---------------------------------------------------------------------------------

// The main window's controls bottom to top, then the band panel above them on its own face. The
// back buffer keeps what was painted: when only time moved on, the graph and the meters are
// painted again over the rest.
void X11Editor::paintAll(PIXO_IBitmap& bitmap) {
    fullPaint_ = true;
    onPaint(bitmap);
}

void X11Editor::onPaint(PIXO_IBitmap& bitmap) {
    if (!fullPaint_) {
        paintGraph(bitmap, *graph_);
        paintMeter(bitmap, *find(false, IDC_INPUT_METER));
        paintMeter(bitmap, *find(false, IDC_OUTPUT_METER));
        prompt_.paint(bitmap);
        return;
    }
    fullPaint_ = false;
    paintFace(bitmap, {0, 0, bitmap.width(), bitmap.height()});
    bool panelFace = false;
    for (Widget& widget : widgets_) {
        if (widget.panel && !panelFace && showTabs_) {
            paintFace(bitmap, panelPlace_);
            panelFace = true;
        }
        if (visible(widget))
            paintWidget(bitmap, widget);
    }
    prompt_.paint(bitmap);
}

void X11Editor::paintWidget(PIXO_IBitmap& bitmap, Widget& widget) {
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
    case ControlKind::PresetControl: {
        // The label is read under the lock, then drawn without it.
        const std::string label = presetControlLabel(fx_);
        presetPainter_.setScale(scale_);
        presetPainter_.draw(bitmap, widget.rect.x, widget.rect.y, widget.rect.width, widget.rect.height, label,
                            menuKind_ == MenuKind::Preset);
        break;
    }
    case ControlKind::PanelPlace:
        break;
    }
}

void X11Editor::paintFader(PIXO_IBitmap& bitmap, const Widget& widget) {
    const FaderGeometry g = faderGeometry(widget.fader, widget.rect.width, widget.rect.height);
    drawFader(bitmap, widget.rect.x, widget.rect.y, widget.fader, g, faderColours());
}

void X11Editor::paintMeter(PIXO_IBitmap& bitmap, Widget& widget) {
    if (widget.painter && widget.painter->drawVertical(widget.meter, widget.rect.width, widget.rect.height))
        copyClipped(bitmap, widget.rect.x, widget.rect.y, widget.painter->frame(), 0, 0, widget.rect.width,
                    widget.rect.height);
}

// The graph is painted into a picture of its own (its drawing takes the whole bitmap) and
// copied in; the bands are copied under the lock first, the drawing runs without it.
void X11Editor::paintGraph(PIXO_IBitmap& bitmap, const Widget& widget) {
    if (!graphBitmap_.setSize(widget.rect.width, widget.rect.height) && graphBitmap_.width() != widget.rect.width)
        return;
    GraphFrame frame;
    frame.now = now();
    frame.pointerX = pointerX_ - widget.rect.x;
    frame.pointerY = pointerY_ - widget.rect.y;
    frame.scale = scale_;
    frame.infoBand = gestures_.dragBand;
    frame.analyzer = &analyzer_;
    renderGraph(fx_, copies_, graphCache_, graphBitmap_, frame);
    copyClipped(bitmap, widget.rect.x, widget.rect.y, graphBitmap_, 0, 0, widget.rect.width, widget.rect.height);
}
