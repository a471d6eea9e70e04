// The render loop, on three threads: a reader thread fills slices of the input (mono fed to
// both plug-in inputs) and meters them, the calling thread runs processReplacing over each
// slice in blocks of exactly blockSize frames, and a writer thread meters and writes them, so
// reading, processing and writing overlap. Where other work keeps every core busy (a batch
// with a worker per core), the overlap buys nothing and its handovers cost: the calling
// thread then reads, processes and writes one slice in turn. Slices are whole numbers of
// blocks, so the block boundaries are those of a host streaming the whole file in one go,
// whatever the slice size.
// The slices are made once; on three threads, the calling thread allocates nothing while the
// file streams.
#pragma once

#include "host/plugin_session.h"
#include "render/audio_file.h"
#include "render/level_meter.h"
#include "render/progress_bar.h"

#include <atomic>
#include <string>

struct RenderPipeline {
    int blockSize = 512;
    int64_t sliceFrames = 16384; // rounded up to a whole number of blocks
    int slices = 4;              // in circulation among the three threads; 1 runs them in turn
    bool threaded = true;        // false: no threads, the calling thread does all three stages
    // When set, the writer thread adds every frame it has written: a batch's progress.
    std::atomic<int64_t>* framesWritten = nullptr;
};

struct RenderRun {
    LevelMeter input;
    LevelMeter output;
    double wallSeconds = 0;    // the whole loop, file reading and writing included
    double processSeconds = 0; // inside processReplacing only
    double readSeconds = 0;    // inside libsndfile's reading, on the reader thread
    double writeSeconds = 0;   // inside libsndfile's writing, on the writer thread

    explicit RenderRun(double sampleRate, MeterDetail detail = MeterDetail::kFull)
        : input(sampleRate, 0.010, detail), output(sampleRate, 0.010, detail) {}
};

// The plug-in must already be started at the file's sample rate. False with a one-line error
// naming the file when reading or writing fails, when the input ends before the length its
// header promises, or when `interrupted` becomes true (a signal handler may set it).
bool renderFile(AudioReader& reader, AudioWriter& writer, PluginSession& plugin,
                const RenderPipeline& pipeline, ProgressBar& progress, const std::atomic<bool>* interrupted,
                RenderRun& run, std::string& error);
