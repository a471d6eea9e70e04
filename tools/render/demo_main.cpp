// tarnwell-demo-signal OUTPUT [--seconds N]: writes the demo piece as a 44.1 kHz stereo
// 24-bit WAV file (default 8 seconds), the input of the main job and of the render benchmark.
#include "render/audio_file.h"
#include "render/demo_signal.h"
#include "render/staged_file.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    const char* output = nullptr;
    double seconds = 8;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--seconds") && i + 1 < argc) {
            char* end = nullptr;
            seconds = std::strtod(argv[++i], &end);
            if (*end || !(seconds > 0 && seconds <= 24 * 3600)) {
                std::fprintf(stderr, "tarnwell-demo-signal: --seconds %s: expected a duration in seconds\n",
                             argv[i]);
                return 1;
            }
        } else if (!output && argv[i][0] != '-') {
            output = argv[i];
        } else {
            std::fprintf(stderr, "usage: tarnwell-demo-signal OUTPUT.wav [--seconds N]\n");
            return 1;
        }
    }
    if (!output) {
        std::fprintf(stderr, "usage: tarnwell-demo-signal OUTPUT.wav [--seconds N]\n");
        return 1;
    }
    const int sampleRate = 44100;
    std::vector<float> left, right;
    synthesizeDemo(left, right, seconds, sampleRate);
    std::vector<float> frames(left.size() * 2);
    for (size_t i = 0; i < left.size(); ++i) {
        frames[2 * i] = left[i];
        frames[2 * i + 1] = right[i];
    }
    StagedFile file;
    AudioWriter writer;
    std::string error;
    if (!file.create(output, error) ||
        !writer.open(file.descriptor(), output, {SF_FORMAT_WAV | SF_FORMAT_PCM_24, sampleRate, 2}, error) ||
        !writer.write(frames.data(), int64_t(left.size()), error) || !writer.close(error) ||
        !file.commit(error)) {
        std::fprintf(stderr, "tarnwell-demo-signal: %s\n", error.c_str());
        return 2;
    }
    return 0;
}
