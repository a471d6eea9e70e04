#include "render/renderer.h"

#include <chrono>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

constexpr int64_t kSliceFrames = 16384;

} // namespace

bool renderFile(AudioReader& reader, AudioWriter& writer, PluginSession& plugin, int blockSize,
                ProgressBar& progress, const volatile std::sig_atomic_t* interrupted, RenderRun& run,
                std::string& error) {
    const Clock::time_point start = Clock::now();
    const int inputChannels = reader.format().channels;
    const double sampleRate = reader.format().sampleRate;
    const int64_t slice = (kSliceFrames + blockSize - 1) / blockSize * blockSize;

    const size_t sliceSize = size_t(slice);
    std::vector<float> interleaved(sliceSize * size_t(inputChannels));
    std::vector<float> inLeft(sliceSize), inRight(sliceSize), outLeft(sliceSize), outRight(sliceSize);
    std::vector<float> written(sliceSize * 2);
    double processSeconds = 0;
    int64_t done = 0;

    for (;;) {
        if (interrupted && *interrupted) {
            error = "interrupted";
            return false;
        }
        const int64_t got = reader.read(interleaved.data(), slice);
        if (got < 0) {
            error = "cannot read the input: " + reader.lastError();
            return false;
        }
        if (got == 0)
            break;

        if (inputChannels == 1) {
            std::copy(interleaved.begin(), interleaved.begin() + got, inLeft.begin());
            std::copy(interleaved.begin(), interleaved.begin() + got, inRight.begin());
        } else {
            for (int64_t i = 0; i < got; ++i) {
                inLeft[size_t(i)] = interleaved[size_t(2 * i)];
                inRight[size_t(i)] = interleaved[size_t(2 * i + 1)];
            }
        }

        const Clock::time_point processStart = Clock::now();
        for (int64_t at = 0; at < got; at += blockSize) {
            const int32_t frames = int32_t(std::min<int64_t>(blockSize, got - at));
            float* inputs[2] = {inLeft.data() + at, inRight.data() + at};
            float* outputs[2] = {outLeft.data() + at, outRight.data() + at};
            plugin.process(inputs, outputs, frames);
        }
        processSeconds += secondsSince(processStart);

        for (int64_t i = 0; i < got; ++i) {
            written[size_t(2 * i)] = outLeft[size_t(i)];
            written[size_t(2 * i + 1)] = outRight[size_t(i)];
        }
        if (!writer.write(written.data(), got, error))
            return false;
        run.input.add(inLeft.data(), inRight.data(), got);
        run.output.add(outLeft.data(), outRight.data(), got);
        done += got;
        progress.update(done, reader.frames(), sampleRate, secondsSince(start));
    }
    run.input.finish();
    run.output.finish();
    progress.finish();
    run.wallSeconds = secondsSince(start);
    run.processSeconds = processSeconds;
    return true;
}
