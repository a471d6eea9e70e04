#include "editor/core/fader_model.h"

#include <algorithm>

#include "editor/core/ui_scale.h"
#include "shell/conversions.h"

FaderRange FaderRange::fromPacked(uint32_t packed) {
    FaderRange range;
    range.min = int32_t(packed & 0xFFFF);
    const int32_t max = int32_t(packed >> 16);
    range.max = range.min < max ? max : range.min + 1;
    return range;
}

int32_t FaderRange::clamp(int64_t position) const {
    return int32_t(std::clamp<int64_t>(position, min, max));
}

int32_t faderZeroDbPosition() {
    return int32_t(dbToFaderPos(0.0));
}

bool FaderModel::setPosition(int64_t position) {
    const int32_t next = flipped(range().clamp(position));
    if (next == storedPosition)
        return false;
    storedPosition = next;
    return true;
}

int32_t FaderModel::defaultTarget() const {
    return defaultPosition < 0 ? faderZeroDbPosition() : defaultPosition;
}

int32_t FaderModel::flipped(int32_t position) const {
    const FaderRange r = range();
    return vertical ? r.min + r.max - position : position;
}

int32_t faderCapWidth(bool vertical, double scale) {
    return scaledPixels(vertical ? kVerticalFaderThumbWidth : kHorizontalFaderThumbWidth, scale);
}

int32_t faderCapHeight(bool vertical, double scale) {
    return scaledPixels(vertical ? kVerticalFaderThumbHeight : kHorizontalFaderThumbHeight, scale);
}

int32_t FaderGeometry::thumbStart(const FaderRange& range, int32_t stored) const {
    return int32_t(int64_t(stored - range.min) * travel / range.span());
}

int32_t FaderGeometry::thumbX(const FaderRange& range, int32_t stored) const {
    return vertical ? (clientWidth - thumbWidth) / 2 : thumbStart(range, stored);
}

int32_t FaderGeometry::thumbY(const FaderRange& range, int32_t stored) const {
    return vertical ? thumbStart(range, stored) : (clientHeight - thumbHeight) / 2;
}

int64_t FaderGeometry::positionAt(const FaderRange& range, int64_t leadingEdge) const {
    return range.min + leadingEdge * range.span() / divisor();
}

bool FaderGeometry::onTrackLine(int32_t along, int32_t across) const {
    const int32_t offCentre = across - clientAcross / 2;
    const int32_t reach = scaledPixels(2, scale);
    return offCentre >= -reach && offCentre <= reach && along >= thumbAlong / 3 &&
           along <= clientAlong - thumbAlong / 3;
}

FaderGeometry faderGeometry(bool vertical, double scale, int32_t clientWidth, int32_t clientHeight,
                            int32_t thumbWidth96, int32_t thumbHeight96) {
    FaderGeometry g;
    g.vertical = vertical;
    g.scale = scale;
    g.clientWidth = clientWidth;
    g.clientHeight = clientHeight;
    g.thumbWidth = scaledPixels(thumbWidth96, scale);
    g.thumbHeight = scaledPixels(thumbHeight96, scale);
    g.clientAlong = vertical ? clientHeight : clientWidth;
    g.clientAcross = vertical ? clientWidth : clientHeight;
    g.thumbAlong = vertical ? g.thumbHeight : g.thumbWidth;
    g.travel = g.clientAlong - g.thumbAlong;
    return g;
}

FaderGeometry faderGeometry(const FaderModel& fader, int32_t clientWidth, int32_t clientHeight) {
    return faderGeometry(fader.vertical, fader.scale, clientWidth, clientHeight,
                         fader.vertical ? kVerticalFaderThumbWidth : kHorizontalFaderThumbWidth,
                         fader.vertical ? kVerticalFaderThumbHeight : kHorizontalFaderThumbHeight);
}

FaderPress pressFader(FaderModel& fader, const FaderGeometry& g, FaderDrag& drag, int32_t along, int32_t across) {
    const FaderRange range = fader.range();
    const int32_t stored = fader.stored();
    drag.lastCoordinate = along;
    drag.positionAtPress = stored;
    drag.grabOffset = along - g.thumbStart(range, stored);
    if (drag.grabOffset >= 0 && drag.grabOffset < g.thumbAlong)
        return FaderPress::Thumb;
    if (!g.onTrackLine(along, across))
        return FaderPress::Parent;
    drag.grabOffset = g.thumbAlong / 2;
    fader.storedPosition = range.clamp(g.positionAt(range, along - g.thumbAlong / 2));
    return FaderPress::Track;
}

namespace {

// A move or the release: the candidate follows the pointer (or, fine, one unit per pixel);
// a release always reports, a move only when the position changes.
FaderStep followPointer(FaderModel& fader, const FaderGeometry& g, FaderDrag& drag, int32_t along, bool fine,
                        bool release, bool revert) {
    const FaderRange range = fader.range();
    const int32_t stored = fader.stored();
    int32_t candidate = fine ? range.clamp(int64_t(stored) + along - drag.lastCoordinate)
                             : range.clamp(g.positionAt(range, int64_t(along) - drag.grabOffset));
    FaderStep step;
    if (candidate != stored || release) {
        if (along == drag.lastCoordinate)
            candidate = stored;
        if (release && revert)
            candidate = drag.positionAtPress;
        fader.storedPosition = candidate;
        step = {release ? FaderReport::End : FaderReport::Track, true};
    }
    drag.lastCoordinate = along;
    return step;
}

} // namespace

FaderStep dragFader(FaderModel& fader, const FaderGeometry& g, FaderDrag& drag, int32_t along, bool fine) {
    return followPointer(fader, g, drag, along, fine, false, false);
}

FaderStep releaseFader(FaderModel& fader, const FaderGeometry& g, FaderDrag& drag, int32_t along, bool fine,
                       bool revert) {
    return followPointer(fader, g, drag, along, fine, true, revert);
}

FaderStep wheelFader(FaderModel& fader, int32_t delta, bool fine) {
    const FaderRange range = fader.range();
    const int64_t scaled = fine ? delta : int64_t(delta) * 16;
    int64_t step = int64_t(range.span()) * scaled / 120000;
    if (step == 0)
        step = (delta > 0) - (delta < 0);
    const int32_t stored = fader.stored();
    fader.storedPosition = range.clamp(fader.vertical ? stored - step : stored + step);
    return {FaderReport::Track, true};
}

FaderStep stepFaderByKey(FaderModel& fader, bool up, bool fine) {
    return wheelFader(fader, up ? 120 : -120, fine);
}

FaderStep resetFaderToDefault(FaderModel& fader) {
    fader.storedPosition = fader.flipped(fader.defaultTarget());
    return {FaderReport::End, true};
}

bool FaderSettle::fire(uint32_t now) {
    if (!armed || int32_t(now - due) < 0)
        return false;
    armed = false;
    return true;
}
