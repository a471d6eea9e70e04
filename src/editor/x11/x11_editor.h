// The editor of one instance on X11: the main window's and band panel's widgets laid out from the
// core's tables, drawn into the view's back buffer, and the rules of the Win32 main window and
// band panel applied to the clicks, drags and keys the view delivers. Everything here runs on the
// view's thread (or, without a view, on the one thread that paints it, as the picture tool
// does); the instance is reached only through the shell's operations, and nothing is drawn while
// one of them holds the lock.
#pragma once

#include "editor/core/editor_layout.h"
#include "editor/core/fader_model.h"
#include "editor/core/graph_bands.h"
#include "editor/core/graph_gestures.h"
#include "editor/core/graph_paint.h"
#include "editor/core/spectrum_analyzer.h"
#include "editor/core/graph_port.h"
#include "editor/core/meter_model.h"
#include "editor/core/meter_render.h"
#include "editor/core/preset_control.h"
#include "editor/core/preset_menu.h"
#include "editor/x11/edit_line.h"
#include "editor/x11/x11_popup_menu.h"
#include "editor/x11/x11_prompt.h"
#include "editor/x11/x11_view.h"
#include "editor/x11/x11_widgets.h"
#include "shell/compressor_effect.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

// The response graph's context menu as it opens for an instance, from the core's model (onHandle:
// the right press hit a handle).
std::vector<PopupMenuItem> graphPopupItems(CompressorEffect& fx, bool onHandle);
// The preset control's menu for a list of presets, from the core's model.
std::vector<PopupMenuItem> presetPopupItems(CompressorEffect& fx, const std::vector<PresetEntry>& presets);

class X11Editor final : public X11WindowEvents, private GraphPort, private PopupMenuOwner, private PresetPort {
public:
    // The view's timers.
    static constexpr int32_t kMeterTimer = 2;
    static constexpr int32_t kRefreshTimer = 1;

    // Loads the instance's state into the widgets and starts metering.
    X11Editor(CompressorEffect& fx, double scale);
    // Stops metering.
    ~X11Editor() override;
    X11Editor(const X11Editor&) = delete;
    X11Editor& operator=(const X11Editor&) = delete;

    // The window's size at the editor's scale.
    static PixelRect windowSize(double scale);
    int32_t width() const { return size_.width; }
    int32_t height() const { return size_.height; }

    // From the thread that opened the view, once it is open (it may already be calling in):
    // the view to repaint, time and focus through, and the timers started.
    void attach(X11View* view);

    // Paints the whole window into a bitmap, whatever the last paint left there.
    void paintAll(PIXO_IBitmap& bitmap);
    // The preset control's menu as it opens below the control: its items for the user's preset
    // folder as it is now, and where the menu's top left corner goes in the window. From here
    // on the control shows itself pressed, until the menu closes.
    X11PopupMenu& presetMenu(int32_t& x, int32_t& y);
    void onPaint(PIXO_IBitmap& backBuffer) override;
    void onMouseDown(const X11MouseEvent& event) override;
    void onMouseUp(const X11MouseEvent& event) override;
    void onDoubleClick(const X11MouseEvent& event) override;
    void onMouseMove(const X11MouseEvent& event) override;
    void onMouseLeave() override;
    void onWheel(const X11MouseEvent& event, int32_t steps) override;
    void onKeyDown(const X11KeyEvent& event) override;
    void onFocus(bool gained) override;
    void onTimer(int32_t timerId) override;

private:
    struct Widget {
        Widget(const ControlLayout* control, bool inPanel, const PixelRect& at)
            : layout(control), panel(inPanel), rect(at) {}
        const ControlLayout* layout;
        bool panel;
        PixelRect rect;
        bool checked = false;
        EditLine edit;
        // Faders.
        FaderModel fader;
        FaderDrag drag;
        FaderSettle settle;
        // Meters.
        MeterValues meter;
        std::unique_ptr<MeterPainter> painter;
    };

    Widget* find(bool panel, int32_t id);
    const Widget* find(bool panel, int32_t id) const;
    bool visible(const Widget& widget) const;
    int32_t widgetAt(int32_t x, int32_t y) const;
    void layOut();
    // The whole window painted again soon, or only what moves with time (graph and meters).
    void repaint();
    void repaintMoving();

    // Rules of the main window.
    void refreshMain();
    void showBandListChange();
    void clickButton(Widget& widget);
    void selectTab(int32_t index);
    void outputFaderMoved(bool end);
    void applyOutputGainText(Widget& widget);
    void meterTick();
    void refreshTick();
    // Rules of the band panel.
    void refreshPanel();
    void panelFaderMoved(Widget& widget, bool end);
    void applyPanelText(Widget& widget);
    void panelSwitchClicked(Widget& widget);

    // Edit boxes and keyboard focus.
    void focusEdit(Widget* widget);
    void applyEdit(Widget& widget);
    void cancelEdit(Widget& widget);
    void moveFocus(int32_t direction);
    void writeEdit(Widget& widget, const char* text);

    // Faders: where a point lies along and across one, and what a step of one reports.
    void faderPointer(const Widget& widget, int32_t x, int32_t y, int32_t& along, int32_t& across) const;
    void faderStepped(Widget& widget, const FaderStep& step);
    void setFaderPosition(Widget& widget, int32_t position);
    void settleFaders();

    // The response graph: its rectangle's events in its own coordinates.
    bool inGraph(int32_t x, int32_t y) const;
    void showCursorAt(int32_t x, int32_t y);
    void openGraphMenu(int32_t x, int32_t y, bool onHandle);

    // The preset control: its menu, the commands it and the undo keys run, and the label shown.
    void openPresetMenu();
    void runPresetCommand(uint32_t command);
    bool runEditKey(const X11KeyEvent& event);
    void notePresetLabel();
    // A question over the window, served modally until answered; false when declined or when
    // the editor is closing (or there is no view to ask in).
    bool ask(PromptKind kind, const std::string& message, std::string& answer);

    // GraphPort.
    GraphArea area() override;
    void capturePointer() override { graphCaptured_ = true; }
    void releasePointer() override { graphCaptured_ = false; }
    bool holdsPointer() override { return graphCaptured_; }
    void repaintGraph() override { repaintMoving(); }
    void showCurrentBand(int32_t index) override;
    void refreshBandPanel() override { refreshPanel(); }
    void runMainCommand(GraphMainCommand command, bool on) override;
    // PopupMenuOwner.
    void onMenuCommand(int32_t command) override;
    void onMenuClosed() override;
    // PresetPort.
    bool askPresetName(const std::string& suggested, std::string& name) override;
    bool askYesNo(const std::string& question) override;
    bool askImportPath(std::string& path) override;
    bool askExportPath(const std::string& suggestedFileName, std::string& path) override;
    void showMessage(const std::string& text) override;
    void showWholeInstance() override;

    void paintWidget(PIXO_IBitmap& bitmap, Widget& widget);
    void paintFader(PIXO_IBitmap& bitmap, const Widget& widget);
    void paintMeter(PIXO_IBitmap& bitmap, Widget& widget);
    void paintGraph(PIXO_IBitmap& bitmap, const Widget& widget);

    static uint32_t now();

    CompressorEffect& fx_;
    const double scale_;
    PixelRect size_;
    PixelRect panelPlace_;
    std::atomic<X11View*> view_{nullptr};
    WidgetText text_;
    std::vector<Widget> widgets_;
    char banner_[96];

    // The instance as last loaded.
    int32_t bandCount_ = 0;
    int32_t currentBand_ = 0;
    bool showTabs_ = true;

    // Input under way.
    Widget* pressed_ = nullptr;     // a button or check box held down
    bool pressedInside_ = false;
    Widget* dragged_ = nullptr;     // a fader being dragged
    Widget* focused_ = nullptr;     // the edit box with the keyboard
    Widget* keyFader_ = nullptr;    // the fader Up and Down step when no box has the keyboard

    // The response graph's copies of the bands, gestures, fonts and picture.
    Widget* graph_ = nullptr;
    GraphBandCopies copies_;
    GraphGestures gestures_{copies_};
    GraphPaintCache graphCache_;
    PresetControlPainter presetPainter_;
    // The graph's spectrum analyzer, fed while the editor is open and shows it.
    SpectrumAnalyzer analyzer_;
    PIXO_MemBitmap graphBitmap_;
    bool graphCaptured_ = false;
    int32_t pointerX_ = -1, pointerY_ = -1;
    X11PopupMenu menu_;
    // Which menu menu_ holds while it is open.
    enum class MenuKind { None, Graph, Preset } menuKind_ = MenuKind::None;
    // The library and list the preset menu was opened with; its commands refer to them.
    PresetLibrary presetLibrary_{std::string()};
    std::vector<PresetEntry> presetList_;
    // What the preset control's label was drawn from.
    uint64_t labelChanges_ = 0;
    int32_t labelSlot_ = 0;
    X11Prompt prompt_;
    // Whether the next paint must draw everything (the back buffer holds the last one).
    bool fullPaint_ = true;
};
