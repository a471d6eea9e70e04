// A batch: every file of a plan rendered on its own plug-in instance by a pool of worker
// threads, each file exactly as a single render would do it (same settings applied in the same
// order to a fresh instance, same blocks), so it gives the same bits. A file that fails leaves
// nothing behind and does not stop the others; an interrupt stops the files in flight, which
// leave nothing either, and no further file starts. The calling thread draws the progress.
#pragma once

#include "render/batch_plan.h"
#include "render/progress_bar.h"
#include "render/render_options.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

struct BatchFileResult {
    BatchFile file;
    bool started = false;
    int code = 0;      // an ExitCode
    std::string error; // one line, when code is not 0
    int sampleRate = 0;
    int64_t frames = 0;                   // of the input as rendered
    double inputPeak = 0, outputPeak = 0; // of the louder channel, as amplitudes
    bool clipsAtFullScale = false;        // the output format stores integers
    int64_t clipped = 0;                  // samples above full scale
};

struct BatchRun {
    std::vector<BatchFileResult> files;
    double wallSeconds = 0;
};

// `workers` threads at most (never more than files). `interrupted` may be set from a signal
// handler.
void renderBatchFiles(const RenderOptions& options, const std::vector<BatchFile>& plan, int workers,
                      const std::atomic<bool>* interrupted, ProgressBar& progress, BatchRun& run);
