// The summary printed after a render: the two files, peak and RMS per channel in dBFS for input
// and output and their difference, and how fast the run was compared with real time, with the
// time spent processing, reading and writing (which overlap: they run on their own threads).
// When the output file stores integers, which cannot hold samples beyond full scale, and the
// plug-in produced some, a line counts them and says how to keep them.
#pragma once

#include "render/level_meter.h"

#include <string>

struct SummaryFacts {
    std::string inputPath;
    std::string outputPath;
    std::string inputFormat; // describeFormat text
    std::string outputFormat;
    int sampleRate = 0;
    int inputChannels = 0;
    bool outputClipsAtFullScale = false; // an integer encoding
    double wallSeconds = 0;
    double processSeconds = 0;
    double readSeconds = 0;
    double writeSeconds = 0;
};

// "clipped  37 samples above full scale (up to +6.02 dBFS), written as full scale; ..." or
// empty when nothing clipped.
std::string formatClipping(const LevelMeter& output);

std::string formatSummary(const SummaryFacts& facts, const LevelMeter& input, const LevelMeter& output);
