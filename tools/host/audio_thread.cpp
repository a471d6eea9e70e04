#include "host/audio_thread.h"

#include <chrono>

AudioThread::AudioThread(AEffect* effect, const std::vector<float>& left, const std::vector<float>& right,
                         double sampleRate)
    : effect_(effect), left_(left), right_(right), sampleRate_(sampleRate) {}

void AudioThread::start() {
    if (thread_.joinable() || left_.size() < size_t(kBlockFrames) || right_.size() != left_.size())
        return;
    stopping_ = false;
    thread_ = std::thread(&AudioThread::run, this);
}

void AudioThread::stop() {
    if (!thread_.joinable())
        return;
    stopping_ = true;
    thread_.join();
}

void AudioThread::run() {
    std::vector<float> outLeft(kBlockFrames), outRight(kBlockFrames);
    const auto blockTime = std::chrono::microseconds(int64_t(kBlockFrames * 1e6 / sampleRate_));
    auto due = std::chrono::steady_clock::now();
    size_t at = 0;
    while (!stopping_.load()) {
        if (at + kBlockFrames > left_.size())
            at = 0;
        float* inputs[2] = {const_cast<float*>(left_.data() + at), const_cast<float*>(right_.data() + at)};
        float* outputs[2] = {outLeft.data(), outRight.data()};
        effect_->processReplacing(effect_, inputs, outputs, kBlockFrames);
        blocks_.fetch_add(1, std::memory_order_relaxed);
        at += kBlockFrames;
        due += blockTime;
        std::this_thread::sleep_until(due);
    }
}
