// Where a user finds things in the editor, from the layout table and the graph geometry the
// editor itself is built from: controls of the main window and of the band panel (placed at
// the panel's place), the response graph's band handles, and points of the screen for
// xdotool (the host window sits at kHostX, kHostY).
#pragma once

#include "editor/core/editor_layout.h"
#include "editor/core/graph_geometry.h"
#include "editor/core/main_rules.h"
#include "hosted_editor.h"

#include <string>
#include <vector>

namespace hostedtest {

inline PixelRect mainControl(int32_t id) {
    const ControlLayout* control = findControl(mainWindowLayout(), id);
    return control ? dialogUnitsToPixels(control->units, 1.0) : PixelRect();
}

inline PixelRect panelControl(int32_t id) {
    const PixelRect place = mainControl(IDC_BAND_PANEL_PLACE);
    const ControlLayout* control = findControl(bandPanelLayout(), id);
    PixelRect rect = control ? dialogUnitsToPixels(control->units, 1.0) : PixelRect();
    rect.x += place.x;
    rect.y += place.y;
    return rect;
}

inline int32_t centreX(const PixelRect& rect) { return rect.x + rect.width / 2; }
inline int32_t centreY(const PixelRect& rect) { return rect.y + rect.height / 2; }

// The response graph's rectangle with the band tabs shown: its layout's place, as high as the
// editor makes it above the tabs.
inline PixelRect graphRect() {
    PixelRect graph = mainControl(IDC_GRAPH);
    graph.height = graphHeight(true, mainControl(IDC_BAND_TABS).y - graph.y, 1.0);
    return graph;
}

inline GraphGeometry graphGeometry() {
    const PixelRect graph = graphRect();
    return GraphGeometry(graph.width, graph.height, true);
}

// A point of the editor in window pixels.
struct Point {
    int32_t x, y;
};

// The handle of the band whose frequency line is at frequency, the band below it at
// lowerFrequency (20 Hz for the lowest), its threshold at thresholdDb; in window pixels.
inline Point handleAt(double lowerFrequency, double frequency, double thresholdDb) {
    const PixelRect graph = graphRect();
    const GraphGeometry geometry = graphGeometry();
    return {graph.x + GraphGeometry::handleX(geometry.xOfFrequency(lowerFrequency), geometry.xOfFrequency(frequency)),
            graph.y + geometry.yOfDb(thresholdDb)};
}

// The level (dB) the graph shows at a window row.
inline double graphDbAt(int32_t windowY) {
    const PixelRect graph = graphRect();
    return ampToDb(graphGeometry().amplitudeOfY(windowY - graph.y));
}

// xdotool's words for the screen point of a window point.
inline std::vector<std::string> moveTo(Point p) {
    return {"mousemove", std::to_string(kHostX + p.x), std::to_string(kHostY + p.y)};
}

// xdotool's words for a drag with the left button from one window point to another, in steps
// as a hand moves, with short pauses so the editor sees each move.
inline std::vector<std::string> drag(Point from, Point to, int steps = 8) {
    std::vector<std::string> words = moveTo(from);
    words.insert(words.end(), {"sleep", "0.05", "mousedown", "1", "sleep", "0.05"});
    for (int i = 1; i <= steps; ++i) {
        const Point at = {from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps};
        std::vector<std::string> move = moveTo(at);
        words.insert(words.end(), move.begin(), move.end());
        words.insert(words.end(), {"sleep", "0.03"});
    }
    words.insert(words.end(), {"sleep", "0.05", "mouseup", "1"});
    return words;
}

inline std::vector<std::string> clickAt(Point p, int button = 1) {
    std::vector<std::string> words = moveTo(p);
    words.insert(words.end(), {"sleep", "0.05", "click", std::to_string(button)});
    return words;
}

} // namespace hostedtest
