#include "render/renderer.h"

#include "render/handoff_queue.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

struct Slice {
    std::vector<float> interleaved; // as read, later as written
    std::vector<float> inLeft, inRight, outLeft, outRight;
    int64_t frames = 0;

    explicit Slice(size_t capacity)
        : interleaved(2 * capacity), inLeft(capacity), inRight(capacity), outLeft(capacity),
          outRight(capacity) {}
};

// Slices go round: empty -> reader -> filled -> processing -> processed -> writer -> empty.
// Every queue can hold every slice, so a push never fails short of a cancel.
struct SliceRing {
    HandoffQueue<Slice*> empty, filled, processed;

    explicit SliceRing(size_t slices) : empty(slices), filled(slices), processed(slices) {}
    void cancel() {
        empty.cancel();
        filled.cancel();
        processed.cancel();
    }
};

struct StageResult {
    bool failed = false;
    std::string error;
    double seconds = 0;
    int64_t frames = 0;
};

enum class Fill { kFilled, kLast, kFailed };

// Fills one slice as far as the input goes (mono fed to both plug-in inputs) and meters it.
// kLast when the input ended in it (the slice may then hold nothing).
Fill fillSlice(AudioReader& reader, Slice& slice, LevelMeter& meter, StageResult& result) {
    const int channels = reader.format().channels;
    const int64_t capacity = int64_t(slice.inLeft.size());
    int64_t got = 0;
    bool ended = false;
    const Clock::time_point start = Clock::now();
    // libsndfile may hand out less than asked before the end (at a codec's frame, say); only
    // a full slice keeps every block but the file's last one whole.
    while (got < capacity && !ended) {
        const int64_t read = reader.read(slice.interleaved.data() + got * channels, capacity - got);
        if (read < 0) {
            result.failed = true;
            result.error = "cannot read " + reader.path() + ": " + reader.lastError();
            return Fill::kFailed;
        }
        ended = read == 0;
        got += read;
    }
    result.seconds += secondsSince(start);

    const float* samples = slice.interleaved.data();
    if (channels == 1) {
        std::copy(samples, samples + got, slice.inLeft.begin());
        std::copy(samples, samples + got, slice.inRight.begin());
    } else {
        for (int64_t i = 0; i < got; ++i) {
            slice.inLeft[size_t(i)] = samples[2 * i];
            slice.inRight[size_t(i)] = samples[2 * i + 1];
        }
    }
    meter.add(slice.inLeft.data(), slice.inRight.data(), got);
    slice.frames = got;
    result.frames += got;
    return ended ? Fill::kLast : Fill::kFilled;
}

void readSlices(AudioReader& reader, SliceRing& ring, LevelMeter& meter, StageResult& result) {
    Slice* slice = nullptr;
    while (ring.empty.pop(slice)) {
        const Fill fill = fillSlice(reader, *slice, meter, result);
        if (fill == Fill::kFailed) {
            ring.cancel();
            return;
        }
        if (slice->frames > 0 && !ring.filled.push(slice))
            return;
        if (fill == Fill::kLast) {
            ring.filled.close();
            return;
        }
    }
}

// Runs the plug-in over a slice in blocks of `block` frames; returns the seconds it took.
double processSlice(PluginSession& plugin, Slice& slice, int64_t block) {
    const Clock::time_point start = Clock::now();
    for (int64_t at = 0; at < slice.frames; at += block) {
        const int32_t frames = int32_t(std::min(block, slice.frames - at));
        float* inputs[2] = {slice.inLeft.data() + at, slice.inRight.data() + at};
        float* outputs[2] = {slice.outLeft.data() + at, slice.outRight.data() + at};
        plugin.process(inputs, outputs, frames);
    }
    return secondsSince(start);
}

// Where the written frames are told: the run's own progress line and a batch's counter.
struct WriteProgress {
    ProgressBar& bar;
    std::atomic<int64_t>* framesWritten;
    int64_t framesTotal;
    double sampleRate;
    Clock::time_point runStart;
};

// Interleaves, writes and meters one processed slice.
bool emptySlice(AudioWriter& writer, Slice& slice, LevelMeter& meter, const WriteProgress& progress,
                StageResult& result) {
    const size_t frames = size_t(slice.frames);
    float* samples = slice.interleaved.data();
    for (size_t i = 0; i < frames; ++i) {
        samples[2 * i] = slice.outLeft[i];
        samples[2 * i + 1] = slice.outRight[i];
    }
    const Clock::time_point start = Clock::now();
    if (!writer.write(samples, slice.frames, result.error)) {
        result.failed = true;
        return false;
    }
    result.seconds += secondsSince(start);
    meter.add(slice.outLeft.data(), slice.outRight.data(), slice.frames);
    result.frames += slice.frames;
    if (progress.framesWritten)
        progress.framesWritten->fetch_add(slice.frames, std::memory_order_relaxed);
    progress.bar.update(result.frames, progress.framesTotal, progress.sampleRate, secondsSince(progress.runStart));
    return true;
}

void writeSlices(AudioWriter& writer, SliceRing& ring, LevelMeter& meter, const WriteProgress& progress,
                 StageResult& result) {
    Slice* slice = nullptr;
    while (ring.processed.pop(slice)) {
        if (!emptySlice(writer, *slice, meter, progress, result)) {
            ring.cancel();
            return;
        }
        if (!ring.empty.push(slice))
            return;
    }
}

std::string secondsText(int64_t frames, double sampleRate) {
    char text[32];
    std::snprintf(text, sizeof(text), "%.3f s", double(frames) / sampleRate);
    return text;
}

// The three stages on three threads, slices going round between them.
bool renderThreaded(AudioReader& reader, AudioWriter& writer, PluginSession& plugin, std::vector<Slice>& slices,
                    int64_t block, const WriteProgress& progress, const std::atomic<bool>* interrupted,
                    RenderRun& run, StageResult& reading, StageResult& writing) {
    SliceRing ring(slices.size());
    for (Slice& slice : slices)
        ring.empty.push(&slice);
    // Each meter is finished on the thread that fills it.
    std::thread readerThread([&] {
        readSlices(reader, ring, run.input, reading);
        run.input.finish();
    });
    std::thread writerThread([&] {
        writeSlices(writer, ring, run.output, progress, writing);
        run.output.finish();
    });

    bool wasInterrupted = false;
    Slice* slice = nullptr;
    while (ring.filled.pop(slice)) {
        if (interrupted && interrupted->load()) {
            wasInterrupted = true;
            ring.cancel();
            break;
        }
        run.processSeconds += processSlice(plugin, *slice, block);
        if (!ring.processed.push(slice))
            break;
    }
    ring.processed.close();
    readerThread.join();
    writerThread.join();
    return !wasInterrupted;
}

// The three stages in turn on the calling thread, one slice: nothing to hand over or wait for.
bool renderInTurn(AudioReader& reader, AudioWriter& writer, PluginSession& plugin, Slice& slice, int64_t block,
                  const WriteProgress& progress, const std::atomic<bool>* interrupted, RenderRun& run,
                  StageResult& reading, StageResult& writing) {
    bool wasInterrupted = false;
    for (;;) {
        const Fill fill = fillSlice(reader, slice, run.input, reading);
        if (fill == Fill::kFailed)
            break;
        if (interrupted && interrupted->load()) {
            wasInterrupted = true;
            break;
        }
        run.processSeconds += processSlice(plugin, slice, block);
        if (!emptySlice(writer, slice, run.output, progress, writing) || fill == Fill::kLast)
            break;
    }
    run.input.finish();
    run.output.finish();
    return !wasInterrupted;
}

} // namespace

bool renderFile(AudioReader& reader, AudioWriter& writer, PluginSession& plugin,
                const RenderPipeline& pipeline, ProgressBar& progress, const std::atomic<bool>* interrupted,
                RenderRun& run, std::string& error) {
    const Clock::time_point start = Clock::now();
    const double sampleRate = reader.format().sampleRate;
    const int64_t block = std::max(1, pipeline.blockSize);
    const int64_t sliceFrames = std::max<int64_t>(1, (pipeline.sliceFrames + block - 1) / block) * block;
    const size_t sliceCount = pipeline.threaded ? size_t(std::max(1, pipeline.slices)) : 1;

    std::vector<Slice> slices;
    slices.reserve(sliceCount);
    for (size_t i = 0; i < sliceCount; ++i)
        slices.emplace_back(size_t(sliceFrames));

    const WriteProgress writeProgress{progress, pipeline.framesWritten, reader.frames(), sampleRate, start};
    StageResult reading, writing;
    run.processSeconds = 0;
    const bool ranToTheEnd =
        pipeline.threaded
            ? renderThreaded(reader, writer, plugin, slices, block, writeProgress, interrupted, run, reading, writing)
            : renderInTurn(reader, writer, plugin, slices.front(), block, writeProgress, interrupted, run, reading,
                           writing);
    progress.finish();

    run.wallSeconds = secondsSince(start);
    run.readSeconds = reading.seconds;
    run.writeSeconds = writing.seconds;
    if (reading.failed || writing.failed) {
        error = reading.failed ? reading.error : writing.error;
        return false;
    }
    if (!ranToTheEnd || (interrupted && interrupted->load())) {
        error = "interrupted";
        return false;
    }
    if (reading.frames < reader.promisedFrames()) {
        error = reader.path() + " ends after " + secondsText(reading.frames, sampleRate) + " (" +
                std::to_string(reading.frames) + " frames), its header promises " +
                secondsText(reader.promisedFrames(), sampleRate) + " (" +
                std::to_string(reader.promisedFrames()) + " frames)";
        return false;
    }
    return true;
}
