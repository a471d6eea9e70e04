// The progress line and the summary texts.
#include "render/batch_summary.h"
#include "render/progress_bar.h"
#include "render/run_summary.h"

#include <gtest/gtest.h>

namespace {

TEST(ProgressLine, BarPercentElapsedAndSpeed) {
    EXPECT_EQ(formatProgressLine(0.5, 65.4, 200, 10), "[#####-----]  50%  1:05.4  200.0x real time");
    EXPECT_EQ(formatProgressLine(1.2, 0.0, 0, 4), "[####] 100%  0:00.0  0.0x real time");
    EXPECT_EQ(formatProgressLine(-1, 3.0, 12.25, 4), "[----]   0%  0:03.0  12.2x real time");
}

TEST(ProgressLine, ABatchShowsFilesDoneAndTheTimeLeft) {
    // A quarter done in 10 s leaves 30 s.
    EXPECT_EQ(formatBatchProgressLine(1, 8, 0.25, 10.0, 8),
              "[##------]  1/8 files  25%  0:10.0  0:30.0 left");
    EXPECT_EQ(formatBatchProgressLine(0, 3, 0.0, 0.5, 4), "[----]  0/3 files   0%  0:00.5  ");
    EXPECT_EQ(formatBatchProgressLine(3, 3, 1.0, 75.0, 4), "[####]  3/3 files 100%  1:15.0  0:00.0 left");
}

TEST(Summary, ClippingIsReportedOnlyForIntegerOutputs) {
    LevelMeter input(100), output(100);
    std::vector<float> loud(200, 0.5f), quiet(200, 0.25f);
    loud[7] = 2.0f;
    loud[8] = -1.25f;
    input.add(quiet.data(), quiet.data(), 200);
    output.add(loud.data(), quiet.data(), 200);
    SummaryFacts facts;
    facts.sampleRate = 100;
    facts.inputChannels = 2;
    const std::string clipping =
        "clipped  2 samples above full scale (up to +6.02 dBFS), written as full scale; "
        "--format :float or a lower --output-gain keeps them\n";
    EXPECT_EQ(formatClipping(output), clipping);
    facts.outputClipsAtFullScale = true;
    EXPECT_NE(formatSummary(facts, input, output).find(clipping), std::string::npos);
    facts.outputClipsAtFullScale = false;
    EXPECT_EQ(formatSummary(facts, input, output).find("clipped"), std::string::npos);
    // Peaks above full scale still show for a float output.
    EXPECT_NE(formatSummary(facts, input, output).find("  output        6.02    -12.04"), std::string::npos)
        << formatSummary(facts, input, output);

    LevelMeter single(100);
    single.add(quiet.data(), loud.data(), 8); // loud[7] only
    EXPECT_EQ(formatClipping(single).find("clipped  1 sample above full scale (up to +6.02 dBFS), "), 0u);
    EXPECT_EQ(formatClipping(input), "");
}

TEST(Summary, ABatchTableHasALinePerFileAndTheTotals) {
    BatchRun run;
    run.wallSeconds = 2.0;
    BatchFileResult good;
    good.file = {"music/long name.wav", "out/long name.wav"};
    good.started = true;
    good.sampleRate = 100;
    good.frames = 6050;
    good.inputPeak = 0.5;
    good.outputPeak = 2.0;
    good.clipsAtFullScale = true;
    good.clipped = 1234;
    BatchFileResult floating = good;
    floating.file = {"b.wav", "out/b.wav"};
    floating.clipsAtFullScale = false;
    floating.inputPeak = 0;
    BatchFileResult broken;
    broken.file = {"c.wav", "out/c.wav"};
    broken.started = true;
    broken.code = 2;
    broken.error = "cannot read c.wav: nonsense";
    BatchFileResult waiting;
    waiting.file = {"d.wav", "out/d.wav"};
    run.files = {good, floating, broken, waiting};
    EXPECT_EQ(formatBatchSummary(run),
              "file                      length   peak in  peak out   clipped  result\n"
              "music/long name.wav     1:00.500     -6.02     +6.02      1234  ok\n"
              "b.wav                   1:00.500      -inf     +6.02         -  ok\n"
              "c.wav                          -         -         -         -  failed: cannot read c.wav: "
              "nonsense\n"
              "d.wav                          -         -         -         -  not started (interrupted)\n"
              "clipped samples lie above full scale and were written as full scale; --format :float or a "
              "lower --output-gain keeps them\n"
              "2 of 4 files rendered, 1 failed, 1 not started: 121.000 s of audio in 2.000 s, 60.5x real time\n");
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
