// The music behind the response graph: the spectrum of a sine played through the instance rises
// at the sine's frequency to its level, silence and a switched-off analyzer draw nothing, and the
// gain curve lies on the 0 dB line until a band compresses, then dips there by the band's gain.
#include "graph_core_support.h"

#include "editor/core/graph_music.h"
#include "editor/core/graph_paint.h"
#include "editor/core/spectrum_analyzer.h"
#include "raster/pixo.h"

#include <algorithm>
#include <vector>

#ifdef TARNWELL_WRITE_PICTURES
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>
#endif

using namespace graphcore;

namespace {

constexpr double kPi = 3.141592653589793;

class GraphMusicTest : public GraphCoreTest {
protected:
    void SetUp() override {
        GraphCoreTest::SetUp();
        ASSERT_TRUE(bitmap.setSize(width(), height()));
        // The editor is open: the audio entries feed the analyzer.
        fx->meteringWanted = true;
        fx->showGrid = 0;
    }

    void paint(bool withAnalyzer = true) {
        GraphFrame frame;
        frame.now = now += 33;
        frame.analyzer = withAnalyzer ? &analyzer : nullptr;
        renderGraph(*fx, copies, cache, bitmap, frame);
    }
    // Seconds of a sine at f and level dB through processReplacing, in host blocks.
    void play(double f, double db, double seconds) {
        const int32_t frames = int32_t(seconds * 44100), block = 512;
        lastAmplitude = dbToAmp(db);
        std::vector<float> left(block), right(block), outLeft(block), outRight(block);
        for (int32_t at = 0; at < frames; at += block) {
            for (int32_t i = 0; i < block; ++i)
                left[size_t(i)] = right[size_t(i)] =
                    float(dbToAmp(db) * std::sin(2 * kPi * f * (played + i) / 44100.0));
            float* in[2] = {left.data(), right.data()};
            float* out[2] = {outLeft.data(), outRight.data()};
            effect->processReplacing(effect, in, out, block);
            lastOut.insert(lastOut.end(), outLeft.begin(), outLeft.end());
            played += block;
        }
    }
    // The gain at f of the last 0.1 s played: the output's amplitude at f over the input's.
    double peakOf(double f) {
        double re = 0, im = 0;
        const int32_t n = 4410;
        for (int32_t i = 0; i < n; ++i) {
            const double phase = 2 * kPi * f * (played - n + i) / 44100.0;
            re += lastOut[size_t(lastOut.size() - n + i)] * std::cos(phase);
            im += lastOut[size_t(lastOut.size() - n + i)] * std::sin(phase);
        }
        return 2 * std::hypot(re, im) / n / lastAmplitude;
    }
    uint32_t at(int32_t x, int32_t y) { return bitmap.pixels()[y * bitmap.rowSpan() + x] & 0xFFFFFF; }
    // The topmost row of column x from `from` down whose pixel is not black, or height().
    int32_t topInk(int32_t x, int32_t from = 0) {
        for (int32_t y = from; y < height(); ++y)
            if (at(x, y) != 0)
                return y;
        return height();
    }
    void write(const char* path) {
#ifdef TARNWELL_WRITE_PICTURES
        std::vector<uint8_t> rgb;
        for (int32_t y = 0; y < height(); ++y)
            for (int32_t x = 0; x < width(); ++x) {
                const uint32_t p = at(x, y);
                rgb.insert(rgb.end(), {uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p)});
            }
        stbi_write_png(path, width(), height(), 3, rgb.data(), width() * 3);
#else
        (void)path;
#endif
    }

    PIXO_MemBitmap bitmap;
    GraphBandCopies copies;
    GraphPaintCache cache;
    SpectrumAnalyzer analyzer;
    uint32_t now = 1000;
    int64_t played = 0;
    std::vector<float> lastOut;
    double lastAmplitude = 1;
};

// The fill's colour over the black background.
uint32_t fillOnBlack() {
    uint32_t colour = 0;
    for (int shift : {16, 8, 0})
        colour |= uint32_t(std::lround(((kSpectrumInputColour >> shift) & 0xFF) * kSpectrumInputAlpha)) << shift;
    return colour;
}

bool near(uint32_t a, uint32_t b) {
    for (int shift : {16, 8, 0})
        if (std::abs(int32_t((a >> shift) & 0xFF) - int32_t((b >> shift) & 0xFF)) > 2)
            return false;
    return true;
}

TEST_F(GraphMusicTest, ASineRisesAtItsFrequencyToItsLevelAndOnlyThere) {
    fx->showGainCurve = 0;
    paint();
    play(700, -12, 0.3);
    paint();
    write("/tmp/graph-music-sine.png");
    const int32_t x = xOf(700);
    // Below the handles (they sit at 0 dB), the first ink of the sine's column is its spectrum:
    // the output's line at the sine's level, the input's fill below it down to the bottom.
    const int32_t top = topInk(x, yOfDb(-3));
    EXPECT_NEAR(top, yOfDb(-12), 3);
    for (int32_t y = top + 3; y < height(); y += 7)
        EXPECT_TRUE(near(at(x, y), fillOnBlack())) << y << " " << std::hex << at(x, y);
    // Two octaves and more away, no spectrum at all (the band meters stand there too).
    for (double f : {150.0, 3000.0, 15000.0})
        for (int32_t y = 0; y < height(); ++y)
            EXPECT_FALSE(near(at(xOf(f), y), fillOnBlack())) << f << " " << y;
}

TEST_F(GraphMusicTest, SilenceAndASwitchedOffAnalyzerDrawNothing) {
    fx->showGainCurve = 0;
    paint(false);
    play(700, -200, 0.3); // digital silence after a denormal-free nothing
    paint(false);
    const std::vector<uint32_t> without(bitmap.pixels(), bitmap.pixels() + bitmap.rowSpan() * height());
    paint();
    play(700, -200, 0.3);
    paint();
    EXPECT_TRUE(std::equal(without.begin(), without.end(), bitmap.pixels()));
    EXPECT_GT(fx->analyzerFeed.framesFed(), 0);

    // Off: the audio thread copies nothing and the graph shows no spectrum of a loud sine.
    fx->showAnalyzer = 0;
    const int64_t fed = fx->analyzerFeed.framesFed();
    play(700, -12, 0.3);
    paint();
    EXPECT_EQ(fx->analyzerFeed.framesFed(), fed);
    EXPECT_EQ(topInk(xOf(700), yOfDb(-3)), height());
}

TEST_F(GraphMusicTest, TheGainCurveDipsWhereABandCompressesByWhatThePluginDoes) {
    fx->showAnalyzer = 0;
    for (int32_t b = 0; b < 4; ++b) {
        set(b, kSettingThreshold, dbToAmp(-30));
        set(b, kSettingRatio, 4);
        set(b, kSettingAutoMakeup, 0);
    }
    // The curve's row in a column: the first pixel of its colour.
    auto curveRow = [&](int32_t x) {
        for (int32_t y = 0; y < height(); ++y)
            if (at(x, y) == (kGainCurveColour & 0xFFFFFF))
                return y;
        return -1;
    };
    paint();
    write("/tmp/graph-music-flat.png");
    for (double f : {40.0, 150.0, 700.0, 3000.0, 15000.0})
        EXPECT_EQ(curveRow(xOf(f)), yOfDb(0)) << f;

    // A loud sine in the second band (200..1000 Hz): its band compresses hard, and the bands
    // above it by what leaks into them; the lowest band, below the sine, not at all.
    play(700, -6, 1.0);
    const double measured = ampToDb(peakOf(700));
    paint();
    write("/tmp/graph-music-dip.png");
    EXPECT_LT(measured, -10);
    EXPECT_NEAR(curveRow(xOf(700)), yOfDb(measured), 2);
    EXPECT_NEAR(curveRow(xOf(40)), yOfDb(0), 1);
    EXPECT_GT(curveRow(xOf(2000)), yOfDb(-3));
    fx->showGainCurve = 0;
    paint();
    for (double f : {40.0, 700.0, 2000.0})
        EXPECT_EQ(curveRow(xOf(f)), -1);
}
} // namespace
