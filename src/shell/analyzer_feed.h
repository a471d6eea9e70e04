// AnalyzerFeed: the audio thread hands the editor's spectrum analyzer the signal it hears and
// the one it makes, each summed to mono, through a single-producer single-consumer ring. The
// producer (the audio entry, one block at a time) never waits, allocates or calls the system:
// when the consumer falls behind, the frames that do not fit are dropped. The consumer (the
// editor's thread) takes what has arrived, oldest first.
#pragma once

#include "support/heap_buffer.h"

#include <atomic>
#include <cstdint>

class AnalyzerFeed {
public:
    // Frames the ring holds: a third of a second at 48 kHz, far more than the editor's 33 ms
    // between reads.
    static constexpr int32_t kCapacity = 16384;

    AnalyzerFeed();
    AnalyzerFeed(const AnalyzerFeed&) = delete;
    AnalyzerFeed& operator=(const AnalyzerFeed&) = delete;

    // Producer. begin reserves up to n frames and returns how many fit (0 when the ring's
    // memory could not be had); input then writes the mono sum of the first that many frames of
    // the host's input, output those of the processed output, and publish makes them visible.
    // input must come before processing, for a host that processes in place.
    int32_t begin(int32_t n);
    void input(const float* left, const float* right, int32_t frames);
    void output(const float* left, const float* right, int32_t frames);
    void publish(int32_t frames);
    // Frames published since the instance was made (the producer's count).
    int64_t framesFed() const { return written_.load(std::memory_order_relaxed); }

    // Consumer: copies up to max of the oldest frames that have arrived into in and out and
    // returns how many; discard drops everything that has arrived.
    int32_t read(float* in, float* out, int32_t max);
    void discard();

private:
    void writeMono(float* ring, const float* left, const float* right, int32_t frames);

    HeapBuffer memory_{4096};
    float* in_ = nullptr;
    float* out_ = nullptr;
    // Frame counts that only grow; a slot is the count modulo kCapacity.
    std::atomic<int64_t> written_{0};
    std::atomic<int64_t> read_{0};
};
