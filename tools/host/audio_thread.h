// AudioThread: the host's audio thread. Plays a stereo signal in a loop through the effect's
// processReplacing, a block at a time at the pace a sound card would ask for the blocks, until
// stopped. The caller has set the sample rate and resumed the effect.
#pragma once

#include "shell/vst_abi.h"

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

class AudioThread {
  public:
    static constexpr int32_t kBlockFrames = 512;

    // left and right (equal lengths of at least one block) must outlive the thread.
    AudioThread(AEffect* effect, const std::vector<float>& left, const std::vector<float>& right,
                double sampleRate);
    ~AudioThread() { stop(); }
    AudioThread(const AudioThread&) = delete;
    AudioThread& operator=(const AudioThread&) = delete;

    void start();
    // Waits for the block in progress; a thread never started or already stopped is left as is.
    void stop();
    // Blocks processed so far.
    int64_t blocks() const { return blocks_.load(std::memory_order_relaxed); }

  private:
    void run();

    AEffect* effect_;
    const std::vector<float>& left_;
    const std::vector<float>& right_;
    double sampleRate_;
    std::atomic<bool> stopping_{false};
    std::atomic<int64_t> blocks_{0};
    std::thread thread_;
};
