// The render loop: reads the input in large slices, feeds mono to both plug-in inputs, runs
// processReplacing in blocks of exactly blockSize frames (the slices are whole multiples of it,
// so block boundaries match a host that streams the file in one go), meters input and output
// and writes the output. The plug-in must already be started at the file's sample rate.
#pragma once

#include "render/audio_file.h"
#include "render/level_meter.h"
#include "host/plugin_session.h"
#include "render/progress_bar.h"

#include <csignal>
#include <string>

struct RenderRun {
    LevelMeter input;
    LevelMeter output;
    double wallSeconds = 0;    // the whole loop, file reading and writing included
    double processSeconds = 0; // inside processReplacing only

    explicit RenderRun(double sampleRate) : input(sampleRate), output(sampleRate) {}
};

// False with a one-line error when reading or writing fails, or when `interrupted` becomes
// non-zero (a signal handler may set it).
bool renderFile(AudioReader& reader, AudioWriter& writer, PluginSession& plugin, int blockSize,
                ProgressBar& progress, const volatile std::sig_atomic_t* interrupted, RenderRun& run,
                std::string& error);
