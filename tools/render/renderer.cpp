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

void readSlices(AudioReader& reader, SliceRing& ring, LevelMeter& meter, StageResult& result) {
    const int channels = reader.format().channels;
    Slice* slice = nullptr;
    while (ring.empty.pop(slice)) {
        const int64_t capacity = int64_t(slice->inLeft.size());
        int64_t got = 0;
        bool ended = false;
        const Clock::time_point start = Clock::now();
        // libsndfile may hand out less than asked before the end (at a codec's frame, say); only
        // a full slice keeps every block but the file's last one whole.
        while (got < capacity && !ended) {
            const int64_t read = reader.read(slice->interleaved.data() + got * channels, capacity - got);
            if (read < 0) {
                result.failed = true;
                result.error = "cannot read " + reader.path() + ": " + reader.lastError();
                ring.cancel();
                return;
            }
            ended = read == 0;
            got += read;
        }
        result.seconds += secondsSince(start);

        const float* samples = slice->interleaved.data();
        if (channels == 1) {
            std::copy(samples, samples + got, slice->inLeft.begin());
            std::copy(samples, samples + got, slice->inRight.begin());
        } else {
            for (int64_t i = 0; i < got; ++i) {
                slice->inLeft[size_t(i)] = samples[2 * i];
                slice->inRight[size_t(i)] = samples[2 * i + 1];
            }
        }
        meter.add(slice->inLeft.data(), slice->inRight.data(), got);
        slice->frames = got;
        result.frames += got;
        if (got > 0 && !ring.filled.push(slice))
            return;
        if (ended) {
            ring.filled.close();
            return;
        }
    }
}

void writeSlices(AudioWriter& writer, SliceRing& ring, LevelMeter& meter, ProgressBar& progress,
                 std::atomic<int64_t>* framesWritten, int64_t framesTotal, double sampleRate,
                 Clock::time_point runStart, StageResult& result) {
    Slice* slice = nullptr;
    while (ring.processed.pop(slice)) {
        const size_t frames = size_t(slice->frames);
        float* samples = slice->interleaved.data();
        for (size_t i = 0; i < frames; ++i) {
            samples[2 * i] = slice->outLeft[i];
            samples[2 * i + 1] = slice->outRight[i];
        }
        const Clock::time_point start = Clock::now();
        if (!writer.write(samples, slice->frames, result.error)) {
            result.failed = true;
            ring.cancel();
            return;
        }
        result.seconds += secondsSince(start);
        meter.add(slice->outLeft.data(), slice->outRight.data(), slice->frames);
        result.frames += slice->frames;
        if (framesWritten)
            framesWritten->fetch_add(slice->frames, std::memory_order_relaxed);
        progress.update(result.frames, framesTotal, sampleRate, secondsSince(runStart));
        if (!ring.empty.push(slice))
            return;
    }
}

std::string secondsText(int64_t frames, double sampleRate) {
    char text[32];
    std::snprintf(text, sizeof(text), "%.3f s", double(frames) / sampleRate);
    return text;
}

} // namespace

bool renderFile(AudioReader& reader, AudioWriter& writer, PluginSession& plugin,
                const RenderPipeline& pipeline, ProgressBar& progress, const std::atomic<bool>* interrupted,
                RenderRun& run, std::string& error) {
    const Clock::time_point start = Clock::now();
    const double sampleRate = reader.format().sampleRate;
    const int64_t block = std::max(1, pipeline.blockSize);
    const int64_t sliceFrames = std::max<int64_t>(1, (pipeline.sliceFrames + block - 1) / block) * block;
    const size_t sliceCount = size_t(std::max(1, pipeline.slices));

    std::vector<Slice> slices;
    slices.reserve(sliceCount);
    SliceRing ring(sliceCount);
    for (size_t i = 0; i < sliceCount; ++i) {
        slices.emplace_back(size_t(sliceFrames));
        ring.empty.push(&slices.back());
    }

    StageResult reading, writing;
    // Each meter is finished on the thread that fills it.
    std::thread readerThread([&] {
        readSlices(reader, ring, run.input, reading);
        run.input.finish();
    });
    std::thread writerThread([&] {
        writeSlices(writer, ring, run.output, progress, pipeline.framesWritten, reader.frames(), sampleRate,
                    start, writing);
        run.output.finish();
    });

    bool wasInterrupted = false;
    double processSeconds = 0;
    Slice* slice = nullptr;
    while (ring.filled.pop(slice)) {
        if (interrupted && interrupted->load()) {
            wasInterrupted = true;
            ring.cancel();
            break;
        }
        const Clock::time_point processStart = Clock::now();
        for (int64_t at = 0; at < slice->frames; at += block) {
            const int32_t frames = int32_t(std::min(block, slice->frames - at));
            float* inputs[2] = {slice->inLeft.data() + at, slice->inRight.data() + at};
            float* outputs[2] = {slice->outLeft.data() + at, slice->outRight.data() + at};
            plugin.process(inputs, outputs, frames);
        }
        processSeconds += secondsSince(processStart);
        if (!ring.processed.push(slice))
            break;
    }
    ring.processed.close();
    readerThread.join();
    writerThread.join();
    progress.finish();

    run.wallSeconds = secondsSince(start);
    run.processSeconds = processSeconds;
    run.readSeconds = reading.seconds;
    run.writeSeconds = writing.seconds;
    if (reading.failed || writing.failed) {
        error = reading.failed ? reading.error : writing.error;
        return false;
    }
    if (wasInterrupted || (interrupted && interrupted->load())) {
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
