// The fader's rules without a window: where the thumb sits for a position and which position a
// coordinate means (at the three editor scales), the vertical fader's flip, the default a
// double-click restores, what a press hits, drags (fine and cancelled), wheel and key steps,
// and the settle rule that ends a burst of steps with one report.
#include <gtest/gtest.h>

#include <cstdint>

#include "editor/core/fader_model.h"

namespace {

// 30 x 226 and 223 x 30 client areas: a travel of 200 pixels for the 96-dpi thumbs.
FaderModel fader(bool vertical) {
    FaderModel f;
    f.vertical = vertical;
    return f;
}

FaderGeometry geometry(const FaderModel& f) {
    return f.vertical ? faderGeometry(f, 30, 226) : faderGeometry(f, 223, 30);
}

uint32_t packed(int32_t min, int32_t max) {
    return uint32_t(min) | (uint32_t(max) << 16);
}

TEST(FaderRange, EmptyOrInvertedRangesSpanOneUnit) {
    EXPECT_EQ(FaderRange::fromPacked(packed(0, 1000)).span(), 1000);
    const FaderRange empty = FaderRange::fromPacked(packed(40, 40));
    EXPECT_EQ(empty.max, 41);
    EXPECT_EQ(FaderRange::fromPacked(packed(900, 100)).max, 901);
    // The halves are unsigned: 0xFFFF is 65535, not -1.
    EXPECT_EQ(FaderRange::fromPacked(0xFFFF0000u).max, 65535);
    EXPECT_EQ(empty.clamp(-5), 40);
    EXPECT_EQ(empty.clamp(int64_t(1) << 40), 41);
}

TEST(FaderPositions, VerticalFadersStoreUpsideDownSoLargerPositionsSitHigher) {
    FaderModel v = fader(true), h = fader(false);
    const FaderGeometry gv = geometry(v), gh = geometry(h);
    EXPECT_TRUE(v.setPosition(700));
    EXPECT_EQ(v.storedPosition, 300);
    EXPECT_EQ(v.position(), 700);
    EXPECT_FALSE(v.setPosition(700)) << "the same position changes nothing";
    EXPECT_TRUE(h.setPosition(700));
    EXPECT_EQ(h.storedPosition, 700);
    // 700 of 1000 over 200 pixels: 60 pixels from the top, or 140 from the left.
    EXPECT_EQ(gv.thumbY(v.range(), v.stored()), 60);
    EXPECT_EQ(gv.thumbX(v.range(), v.stored()), 8);
    EXPECT_EQ(gh.thumbX(h.range(), h.stored()), 140);
    EXPECT_EQ(gh.thumbY(h.range(), h.stored()), 8);
    // Out of range positions are held at the ends; a stored word beyond the range reads clamped.
    v.setPosition(5000);
    EXPECT_EQ(v.position(), 1000);
    EXPECT_EQ(gv.thumbY(v.range(), v.stored()), 0);
    v.storedPosition = -40;
    EXPECT_EQ(v.stored(), 0);
    v.packedRange = packed(100, 300);
    v.setPosition(120);
    EXPECT_EQ(v.storedPosition, 280);
}

// Every pixel of travel means a position whose thumb sits on that pixel (or, where the travel
// does not divide the span, at most one pixel short), and every position's thumb lies on the
// pixel whose positions contain it; both ends meet exactly.
TEST(FaderPositions, PositionsAndCoordinatesRoundTripAtEveryScale) {
    for (double scale : {1.0, 1.5, 2.0})
        for (bool vertical : {true, false}) {
            FaderModel f = fader(vertical);
            f.scale = scale;
            const FaderGeometry g = geometry(f);
            const int32_t thumbAlong = vertical ? int32_t(26 * scale + 0.5) : int32_t(23 * scale + 0.5);
            ASSERT_EQ(g.thumbAlong, thumbAlong);
            ASSERT_EQ(g.travel, (vertical ? 226 : 223) - thumbAlong);
            const FaderRange range = f.range();
            EXPECT_EQ(g.thumbStart(range, 0), 0);
            EXPECT_EQ(g.thumbStart(range, 1000), g.travel);
            EXPECT_EQ(g.positionAt(range, g.travel), 1000);
            // Positions truncate toward zero, also before the track's start.
            if (scale == 1.5 && vertical) {
                ASSERT_EQ(g.travel, 187);
                EXPECT_EQ(g.positionAt(range, 100), 534);
                EXPECT_EQ(g.positionAt(range, -1), -5);
            }
            for (int32_t c = 0; c <= g.travel; ++c) {
                const int32_t back = g.thumbStart(range, range.clamp(g.positionAt(range, c)));
                ASSERT_TRUE(back == c || (back == c - 1 && 1000 % g.travel != 0)) << scale << " " << c;
            }
            for (int32_t p = 0; p <= 1000; ++p) {
                const int32_t c = g.thumbStart(range, p);
                ASSERT_LE(g.positionAt(range, c), p) << scale << " " << p;
                ASSERT_GT(g.positionAt(range, c + 1) + 1, p) << scale << " " << p;
            }
        }
}

TEST(FaderDefault, DoubleClickGoesToTheDefaultOrToZeroDecibels) {
    EXPECT_EQ(faderZeroDbPosition(), 789);
    for (bool vertical : {true, false}) {
        FaderModel f = fader(vertical);
        f.setPosition(100);
        FaderStep step = resetFaderToDefault(f);
        EXPECT_EQ(f.position(), 789);
        EXPECT_EQ(step.report, FaderReport::End);
        EXPECT_TRUE(step.redraw);
        f.defaultPosition = 250;
        resetFaderToDefault(f);
        EXPECT_EQ(f.position(), 250);
        EXPECT_EQ(f.storedPosition, vertical ? 750 : 250);
    }
    // The default is stored without clamping: a vertical 0..500 fader stores 500 - 789.
    FaderModel small = fader(true);
    small.packedRange = packed(0, 500);
    resetFaderToDefault(small);
    EXPECT_EQ(small.storedPosition, -289);
    EXPECT_EQ(small.position(), 500);
}

// Presses on the vertical 96-dpi fader at position 500 (thumb rows 100..125, the track line on
// columns 13..17 around the centre 15).
TEST(FaderPress, ThumbTrackLineOrParent) {
    FaderModel f = fader(true);
    f.setPosition(500);
    const FaderGeometry g = geometry(f);
    FaderDrag drag;
    EXPECT_EQ(pressFader(f, g, drag, 125, 1), FaderPress::Thumb) << "level with the thumb, anywhere across";
    EXPECT_EQ(drag.grabOffset, 25);
    EXPECT_EQ(drag.positionAtPress, 500);
    EXPECT_EQ(f.position(), 500);
    EXPECT_EQ(pressFader(f, g, drag, 126, 12), FaderPress::Parent) << "3 pixels beside the line";
    EXPECT_EQ(pressFader(f, g, drag, 126, 18), FaderPress::Parent);
    EXPECT_EQ(f.position(), 500);
    EXPECT_EQ(pressFader(f, g, drag, 7, 15), FaderPress::Parent) << "above the line's top end (26 / 3)";
    EXPECT_EQ(pressFader(f, g, drag, 8, 15), FaderPress::Track);
    f.setPosition(500);
    // On the line the thumb jumps so that its centre lies under the pointer.
    EXPECT_EQ(pressFader(f, g, drag, 180, 17), FaderPress::Track);
    EXPECT_EQ(drag.grabOffset, 13);
    EXPECT_EQ(drag.positionAtPress, 500) << "the position before the jump";
    EXPECT_EQ(f.storedPosition, (180 - 13) * 1000 / 200);
    EXPECT_EQ(g.thumbY(f.range(), f.stored()) + 13, 180);

    // Twice the scale doubles the line's reach: 4 pixels beside the centre still hit it.
    FaderModel large = fader(true);
    large.scale = 2.0;
    large.setPosition(1000);
    const FaderGeometry g2 = faderGeometry(large, 30, 226);
    EXPECT_EQ(pressFader(large, g2, drag, 150, 19), FaderPress::Track);
    large.setPosition(1000);
    EXPECT_EQ(pressFader(large, g2, drag, 150, 20), FaderPress::Parent);
}

TEST(FaderDrag, FollowsThePointerOrOneUnitPerPixelAndReportsOnlyChanges) {
    FaderModel f = fader(true);
    f.setPosition(500);
    const FaderGeometry g = geometry(f);
    FaderDrag drag;
    ASSERT_EQ(pressFader(f, g, drag, 110, 15), FaderPress::Thumb);
    // 10 pixels down: the stored position grows by 50, the parent's shrinks.
    FaderStep step = dragFader(f, g, drag, 120, false);
    EXPECT_EQ(step.report, FaderReport::Track);
    EXPECT_EQ(f.position(), 450);
    // Fine: 7 pixels up are 7 units.
    step = dragFader(f, g, drag, 113, true);
    EXPECT_EQ(f.position(), 457);
    // A move that lands on the same position says nothing.
    step = dragFader(f, g, drag, 113, true);
    EXPECT_EQ(step.report, FaderReport::None);
    EXPECT_FALSE(step.redraw);
    // Far beyond the end the position stops at the range.
    dragFader(f, g, drag, -500, false);
    EXPECT_EQ(f.position(), 1000);
    // A release where the last move was still ends the gesture, at the same position.
    step = releaseFader(f, g, drag, -500, false, false);
    EXPECT_EQ(step.report, FaderReport::End);
    EXPECT_EQ(f.position(), 1000);
}

// A position between two pixels stays where it is when the pointer does not move, though the
// pointer's pixel would mean another position (a move there still reports, unchanged).
TEST(FaderDrag, AReleaseWithoutMovementKeepsThePosition) {
    FaderModel f = fader(false);
    f.setPosition(503);  // thumb at column 100, which means position 500
    const FaderGeometry g = geometry(f);
    FaderDrag drag;
    ASSERT_EQ(pressFader(f, g, drag, 110, 15), FaderPress::Thumb);
    FaderStep step = dragFader(f, g, drag, 110, false);
    EXPECT_EQ(step.report, FaderReport::Track);
    EXPECT_EQ(f.position(), 503);
    step = releaseFader(f, g, drag, 110, false, false);
    EXPECT_EQ(step.report, FaderReport::End);
    EXPECT_EQ(f.position(), 503);
}

TEST(FaderDrag, AltAtTheReleasePutsBackThePositionFromThePress) {
    FaderModel f = fader(false);
    f.setPosition(300);
    const FaderGeometry g = geometry(f);
    FaderDrag drag;
    ASSERT_EQ(pressFader(f, g, drag, 70, 15), FaderPress::Thumb);
    dragFader(f, g, drag, 130, false);
    EXPECT_EQ(f.position(), 600);
    const FaderStep step = releaseFader(f, g, drag, 140, false, true);
    EXPECT_EQ(step.report, FaderReport::End);
    EXPECT_EQ(f.position(), 300);
}

TEST(FaderWheel, NotchesKeysAndTheSmallestStep) {
    FaderModel v = fader(true), h = fader(false);
    v.setPosition(500);
    h.setPosition(500);
    FaderStep step = wheelFader(v, 120, false);
    EXPECT_EQ(step.report, FaderReport::Track);
    EXPECT_EQ(v.position(), 516) << "a notch up raises the vertical fader by 16";
    wheelFader(h, 120, false);
    EXPECT_EQ(h.position(), 516) << "and the horizontal one";
    wheelFader(v, -120, true);
    EXPECT_EQ(v.position(), 515);
    stepFaderByKey(h, false, false);
    EXPECT_EQ(h.position(), 500);
    stepFaderByKey(h, true, true);
    EXPECT_EQ(h.position(), 501);
    // A range too small for a whole step still moves one unit, the wheel's way; 0 moves nothing.
    FaderModel small = fader(true);
    small.packedRange = packed(0, 50);
    small.setPosition(20);
    wheelFader(small, 30, false);
    EXPECT_EQ(small.position(), 21);
    wheelFader(small, -1, true);
    EXPECT_EQ(small.position(), 20);
    wheelFader(small, 0, false);
    EXPECT_EQ(small.position(), 20);
    // Ends hold.
    for (int i = 0; i < 100; ++i)
        wheelFader(v, 120, false);
    EXPECT_EQ(v.position(), 1000);
    EXPECT_EQ(v.storedPosition, 0);
}

// A burst of three wheel steps: three Track reports, then one End once 500 ms have passed
// since the last, and none after; a drag disarms it; the tick count may wrap in between.
TEST(FaderSettle, OneEndReportAfterTheLastStepOfABurst) {
    FaderModel f = fader(true);
    FaderSettle settle;
    int tracks = 0, ends = 0;
    uint32_t now = 0xFFFFFE00u;
    for (int i = 0; i < 3; ++i, now += 200) {
        tracks += wheelFader(f, 120, false).report == FaderReport::Track;
        settle.arm(now);
        ends += settle.fire(now + 150);
    }
    const uint32_t lastStep = now - 200;
    EXPECT_FALSE(settle.fire(lastStep + 499));
    EXPECT_TRUE(settle.fire(lastStep + 500));
    ends += 1;
    for (uint32_t t = lastStep + 501; t != lastStep + 901; t += 50)
        ends += settle.fire(t);
    EXPECT_EQ(tracks, 3);
    EXPECT_EQ(ends, 1);
    settle.arm(lastStep + 1000);
    settle.disarm();
    EXPECT_FALSE(settle.fire(lastStep + 2000));
}

} // namespace
