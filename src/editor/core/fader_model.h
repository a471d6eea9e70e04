// One fader's value and every rule it follows, apart from any window system: the range (an
// empty or inverted one spans one unit), the stored position (a vertical fader stores
// min + max - position, so larger positions sit higher), the default a double-click restores
// (negative means the 0 dB position, 789), where the thumb sits, what a press hits, and what a
// drag, a wheel notch or an Up/Down key does and which report it gives. The window layers keep
// the timer and the capture; these rules only say when to start, stop or honour them.
#pragma once

#include <cstdint>

constexpr int32_t kVerticalFaderThumbWidth = 14;
constexpr int32_t kVerticalFaderThumbHeight = 26;
constexpr int32_t kHorizontalFaderThumbWidth = 23;
constexpr int32_t kHorizontalFaderThumbHeight = 14;
// A burst of wheel or key steps ends with one report this long after its last step.
constexpr uint32_t kFaderSettleMs = 500;
// faderFlags bits: no track colour query to the parent; no default-position line.
constexpr uint32_t kFaderNoTrackColourQuery = 1;
constexpr uint32_t kFaderNoDefaultLine = 2;

// The range as every rule reads it: max is at least min + 1.
struct FaderRange {
    int32_t min = 0;
    int32_t max = 1000;
    // From the packed word: minimum in the low 16 bits, maximum in the high 16 bits, unsigned.
    static FaderRange fromPacked(uint32_t packed);
    int32_t span() const { return max - min; }
    int32_t clamp(int64_t position) const;
};

// What a step tells the parent: nothing, a move under way (SB_THUMBTRACK), or the end of a
// gesture (SB_ENDSCROLL).
enum class FaderReport : uint8_t { None, Track, End };

struct FaderStep {
    FaderReport report = FaderReport::None;
    bool redraw = false;
};

struct FaderModel {
    bool vertical = true;
    uint32_t packedRange = 1000u << 16;
    // As stored (see the header comment); read through stored(), which holds it in the range.
    int32_t storedPosition = 0;
    int32_t defaultPosition = -1;
    // Vertical fader: two 0..1000 levels, low 16 bits left bar, high 16 bits right; 0 draws none.
    uint32_t levelOverlay = 0;
    uint32_t flags = 0;
    // Device pixels per 96-dpi pixel.
    double scale = 1.0;

    FaderRange range() const { return FaderRange::fromPacked(packedRange); }
    int32_t stored() const { return range().clamp(storedPosition); }
    // The position the parent sees.
    int32_t position() const { return flipped(stored()); }
    // Clamps and stores a position the parent gives; true when the stored value changed.
    bool setPosition(int64_t position);
    // defaultPosition, or the 0 dB position when it is negative.
    int32_t defaultTarget() const;
    // The stored form of a position the parent sees, and the other way (the same mapping).
    int32_t flipped(int32_t position) const;
};

// The 0 dB position of a decibel fader (789).
int32_t faderZeroDbPosition();

// The drawn cap's size at a scale: the default thumb size of the orientation, scaled.
int32_t faderCapWidth(bool vertical, double scale);
int32_t faderCapHeight(bool vertical, double scale);

// Where things sit in a fader of a client size with a thumb of a 96-dpi size (a skin's, or the
// drawn cap's), both grown by the scale. "Along" is the axis of travel, "across" the other.
struct FaderGeometry {
    bool vertical = true;
    double scale = 1.0;
    int32_t clientWidth = 0, clientHeight = 0;
    int32_t thumbWidth = 0, thumbHeight = 0;
    int32_t clientAlong = 0, clientAcross = 0;
    int32_t thumbAlong = 0;
    // Client extent minus thumb extent along the axis; may be 0 or negative on tiny windows.
    int32_t travel = 0;

    int32_t divisor() const { return travel != 0 ? travel : 1; }
    // The thumb's leading edge (top, or left) for a stored position.
    int32_t thumbStart(const FaderRange& range, int32_t stored) const;
    // The thumb's top-left corner for a stored position.
    int32_t thumbX(const FaderRange& range, int32_t stored) const;
    int32_t thumbY(const FaderRange& range, int32_t stored) const;
    // The stored position (not clamped) that puts the thumb's leading edge at a coordinate.
    int64_t positionAt(const FaderRange& range, int64_t leadingEdge) const;
    // Whether a point lies on the track line: within 2 (96-dpi) pixels of the centre across,
    // and a third of the thumb away from either end along.
    bool onTrackLine(int32_t along, int32_t across) const;
};

FaderGeometry faderGeometry(bool vertical, double scale, int32_t clientWidth, int32_t clientHeight,
                            int32_t thumbWidth96, int32_t thumbHeight96);
// The same for the drawn cap's size.
FaderGeometry faderGeometry(const FaderModel& fader, int32_t clientWidth, int32_t clientHeight);

// One drag gesture: kept from the press to the release.
struct FaderDrag {
    int32_t lastCoordinate = 0;
    // Pointer coordinate minus the thumb's leading edge at the press.
    int32_t grabOffset = 0;
    int32_t positionAtPress = 0;
};

// What a left press hit: the thumb (grabbed where it was hit), the track line (the thumb jumps
// to centre under the pointer and redraws, with no report yet), or nothing of the fader's (the
// press belongs to the parent). On the first two the window layer takes focus and capture.
enum class FaderPress : uint8_t { Thumb, Track, Parent };

FaderPress pressFader(FaderModel& fader, const FaderGeometry& g, FaderDrag& drag, int32_t along, int32_t across);
// A pointer move during the drag (fine: one unit per pixel, the Control key).
FaderStep dragFader(FaderModel& fader, const FaderGeometry& g, FaderDrag& drag, int32_t along, bool fine);
// The release: always ends the gesture; revert (the Alt key) puts back the position at the press.
FaderStep releaseFader(FaderModel& fader, const FaderGeometry& g, FaderDrag& drag, int32_t along, bool fine,
                       bool revert);
// One wheel delta (120 a notch; fine: Control, one unit a notch on 0..1000 instead of 16).
// Always a Track report: the window layer then (re)starts the settle timer.
FaderStep wheelFader(FaderModel& fader, int32_t delta, bool fine);
// The Up and Down keys: a notch up or down (fine with Control, as the wheel).
FaderStep stepFaderByKey(FaderModel& fader, bool up, bool fine);
// A double-click: the default position, stored without clamping; ends a gesture.
FaderStep resetFaderToDefault(FaderModel& fader);

// The settle rule over a clock of milliseconds (wraps like a tick count): a step arms it, a
// drag disarms it, and when it is due it fires once, for one End report.
struct FaderSettle {
    bool armed = false;
    uint32_t due = 0;
    void arm(uint32_t now) {
        armed = true;
        due = now + kFaderSettleMs;
    }
    void disarm() { armed = false; }
    // True once when armed and due at now; it is then disarmed.
    bool fire(uint32_t now);
};
