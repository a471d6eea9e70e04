#include "render/batch_render.h"

#include "render/render_setup.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

struct SharedProgress {
    std::atomic<int64_t> framesDone{0};
    std::atomic<int> filesDone{0};
    std::atomic<size_t> nextFile{0};
};

// The length libsndfile reports, for the progress display only; 0 for a file it cannot open.
int64_t lengthOf(const std::string& path) {
    AudioReader reader;
    std::string ignored;
    return reader.open(path, ignored) ? std::max(reader.frames(), reader.promisedFrames()) : 0;
}

void renderBatchFile(const RenderOptions& options, bool threaded, const std::atomic<bool>* interrupted,
                     SharedProgress& shared, int64_t expectedFrames, BatchFileResult& result) {
    result.started = true;
    AudioReader reader;
    AudioFormat outputFormat;
    std::string& error = result.error;
    result.code = openInput(result.file.inputPath, options.format, reader, outputFormat, error);
    PluginSession plugin;
    if (result.code == kSuccess)
        result.code = configurePlugin(plugin, options, false, error);
    // The summary shows peaks and clipped samples only.
    RenderRun run(reader.format().sampleRate, MeterDetail::kPeaks);
    StagedFile audioFile;
    if (result.code == kSuccess) {
        ProgressBar silent(stderr, false);
        RenderPipeline pipeline;
        pipeline.blockSize = options.blockSize;
        pipeline.threaded = threaded;
        pipeline.framesWritten = &shared.framesDone;
        result.code = renderIntoStaged(reader, outputFormat, result.file.outputPath, plugin, pipeline, silent,
                                       interrupted, audioFile, run, error);
    }
    if (result.code == kSuccess && interrupted->load()) {
        result.code = kFileError;
        error = "interrupted; no file was written";
    }
    if (result.code == kSuccess && !audioFile.commit(error))
        result.code = kFileError;

    result.sampleRate = reader.format().sampleRate;
    result.frames = run.input.frames();
    result.inputPeak = std::max(run.input.peak(0), run.input.peak(1));
    result.outputPeak = std::max(run.output.peak(0), run.output.peak(1));
    result.clipsAtFullScale = clipsAtFullScale(outputFormat.sndfileFormat);
    result.clipped = run.output.samplesOverFullScale();
    // What this file did not write still counts as done for the display.
    shared.framesDone.fetch_add(std::max<int64_t>(0, expectedFrames - run.output.frames()));
    shared.filesDone.fetch_add(1);
}

} // namespace

void renderBatchFiles(const RenderOptions& options, const std::vector<BatchFile>& plan, int workers,
                      const std::atomic<bool>* interrupted, ProgressBar& progress, BatchRun& run) {
    const Clock::time_point start = Clock::now();
    run.files.assign(plan.size(), BatchFileResult());
    std::vector<int64_t> lengths(plan.size());
    int64_t totalFrames = 0;
    for (size_t i = 0; i < plan.size(); ++i) {
        run.files[i].file = plan[i];
        lengths[i] = lengthOf(plan[i].inputPath);
        totalFrames += lengths[i];
    }

    std::vector<std::thread> pool;
    const size_t threads = std::min(plan.size(), size_t(std::max(1, workers)));
    // With a worker on every core the cores are busy with other files: a file's own reading
    // and writing threads would only add handovers. Fewer workers leave cores for them.
    const bool threaded = threads < size_t(std::max(1u, std::thread::hardware_concurrency()));
    SharedProgress shared;
    auto work = [&] {
        for (;;) {
            if (interrupted->load())
                return;
            const size_t next = shared.nextFile.fetch_add(1);
            if (next >= plan.size())
                return;
            renderBatchFile(options, threaded, interrupted, shared, lengths[next], run.files[next]);
        }
    };
    for (size_t i = 0; i < threads; ++i)
        pool.emplace_back(work);

    const int filesTotal = int(plan.size());
    for (;;) {
        const int filesDone = shared.filesDone.load();
        if (filesDone == filesTotal || interrupted->load())
            break;
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        const double fraction = totalFrames > 0 ? double(shared.framesDone.load()) / double(totalFrames) : 0;
        progress.draw(formatBatchProgressLine(filesDone, filesTotal, fraction, elapsed, 24), elapsed);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    for (std::thread& thread : pool)
        thread.join();
    progress.finish();
    run.wallSeconds = std::chrono::duration<double>(Clock::now() - start).count();
}
