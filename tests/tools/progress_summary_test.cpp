// The progress line and the summary texts.
#include "render/progress_bar.h"
#include "render/run_summary.h"

#include <gtest/gtest.h>

namespace {

TEST(ProgressLine, BarPercentElapsedAndSpeed) {
    EXPECT_EQ(formatProgressLine(0.5, 65.4, 200, 10), "[#####-----]  50%  1:05.4  200.0x real time");
    EXPECT_EQ(formatProgressLine(1.2, 0.0, 0, 4), "[####] 100%  0:00.0  0.0x real time");
    EXPECT_EQ(formatProgressLine(-1, 3.0, 12.25, 4), "[----]   0%  0:03.0  12.2x real time");
}

TEST(Summary, LevelsChangeAndSpeed) {
    LevelMeter input(100), output(100);
    std::vector<float> half(200, 0.5f), quarter(200, 0.25f), silence(200, 0.0f);
    input.add(half.data(), silence.data(), 200);
    output.add(quarter.data(), quarter.data(), 200);
    SummaryFacts facts;
    facts.inputPath = "in.wav";
    facts.outputPath = "out.wav";
    facts.inputFormat = facts.outputFormat = "WAV";
    facts.sampleRate = 100;
    facts.inputChannels = 1;
    facts.wallSeconds = 0.5;
    facts.processSeconds = 0.25;
    facts.readSeconds = 0.125;
    facts.writeSeconds = 0.375;
    EXPECT_EQ(formatSummary(facts, input, output),
              "input    in.wav: WAV, 100 Hz, mono, 2.000 s\n"
              "output   out.wav: WAV, 100 Hz, stereo\n"
              "  dBFS        peak L    peak R     RMS L     RMS R\n"
              "  input        -6.02      -inf     -6.02      -inf\n"
              "  output      -12.04    -12.04    -12.04    -12.04\n"
              "  change       -6.02         -     -6.02         -\n"
              "rendered 2.000 s of audio in 0.500 s (plug-in 0.250 s, reading 0.125 s, writing 0.375 s): "
              "4.0x real time\n");
}

} // namespace
