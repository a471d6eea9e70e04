// tarnwell-demo-signal OUTPUT [--seconds N] [--loop L]: writes the demo piece as a 44.1 kHz
// stereo 24-bit WAV file (default 8 seconds), the input of the main job and of the render
// benchmarks. With --loop, only the first L seconds are synthesised and repeated up to N, so
// that long files are quick to make.
#include "render/audio_file.h"
#include "render/demo_signal.h"
#include "render/staged_file.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    const char* output = nullptr;
    double seconds = 8;
    double loop = 0;
    for (int i = 1; i < argc; ++i) {
        const bool isSeconds = !std::strcmp(argv[i], "--seconds"), isLoop = !std::strcmp(argv[i], "--loop");
        if ((isSeconds || isLoop) && i + 1 < argc) {
            char* end = nullptr;
            const double value = std::strtod(argv[++i], &end);
            if (*end || !(value > 0 && value <= 24 * 3600)) {
                std::fprintf(stderr, "tarnwell-demo-signal: %s %s: expected a duration in seconds\n",
                             argv[i - 1], argv[i]);
                return 1;
            }
            (isSeconds ? seconds : loop) = value;
        } else if (!output && argv[i][0] != '-') {
            output = argv[i];
        } else {
            output = nullptr;
            break;
        }
    }
    if (!output) {
        std::fprintf(stderr, "usage: tarnwell-demo-signal OUTPUT.wav [--seconds N] [--loop L]\n");
        return 1;
    }
    const int sampleRate = 44100;
    const int64_t totalFrames = int64_t(seconds * sampleRate);
    std::vector<float> left, right;
    synthesizeDemo(left, right, loop > 0 && loop < seconds ? loop : seconds, sampleRate);
    std::vector<float> frames(left.size() * 2);
    for (size_t i = 0; i < left.size(); ++i) {
        frames[2 * i] = left[i];
        frames[2 * i + 1] = right[i];
    }
    StagedFile file;
    AudioWriter writer;
    std::string error;
    bool written =
        file.create(output, error) &&
        writer.open(file.descriptor(), output, {SF_FORMAT_WAV | SF_FORMAT_PCM_24, sampleRate, 2}, error);
    for (int64_t done = 0; written && done < totalFrames && !left.empty();) {
        const int64_t take = std::min<int64_t>(int64_t(left.size()), totalFrames - done);
        written = writer.write(frames.data(), take, error);
        done += take;
    }
    if (!written || !writer.close(error) || !file.commit(error)) {
        std::fprintf(stderr, "tarnwell-demo-signal: %s\n", error.c_str());
        return 2;
    }
    return 0;
}
