// A hostile host for a few seconds: two threads throw random parameter values (NaN, infinities,
// huge and negative ones, indexes out of range), random and truncated state blocks, odd sample
// rates, suspends, resumes and block-size announcements at one instance while a third thread
// runs audio in blocks of 0 to 8192 frames. Every output sample must stay finite, the RMS rings
// within the instance's budget, and no host call may hold the lock beyond a generous bound.
#include "host_calls.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kRunSeconds = 3;
// How long one host call may hold the instance lock (the processor time of the thread holding
// it), and how long the audio thread may wait for it (wall time). With 64 bands a call holds it
// for about a millisecond natively; the bounds leave a wide margin for a loaded machine, while
// the faults they guard against held the lock for 0.7 to 2.8 s natively.
constexpr double kLongestHoldMs = 50 * kSanitizerSlowdown;
constexpr double kLongestWaitMs = 250 * kSanitizerSlowdown;

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

float hostileValue(std::mt19937& random) {
    const float values[] = {kNaN, kInf,  -kInf, 1e30f, -1e30f, -1.0f, -1.0f / 3,
                            0.0f, 0.25f, 0.5f,  1.0f,  2.0f,   1e6f};
    if (random() % 3 == 0)
        return std::uniform_real_distribution<float>(-0.5f, 1.5f)(random);
    return values[random() % (sizeof(values) / sizeof(values[0]))];
}

double hostileReal(std::mt19937& random) {
    const double values[] = {0.0,
                             -0.0,
                             1.0,
                             -1.0,
                             1e-300,
                             1e300,
                             -1e300,
                             1e308,
                             4.0,
                             0.1,
                             100.0,
                             23900.0,
                             std::numeric_limits<double>::quiet_NaN(),
                             std::numeric_limits<double>::infinity()};
    if (random() % 3 == 0)
        return std::uniform_real_distribution<double>(-10.0, 30000.0)(random);
    return values[random() % (sizeof(values) / sizeof(values[0]))];
}

int32_t hostileInt(std::mt19937& random) {
    const int32_t values[] = {0, 1, 5, 250, 2000, -1, INT32_MAX, INT32_MIN, 100000};
    return values[random() % (sizeof(values) / sizeof(values[0]))];
}

// A block of up to 64 random bands, sometimes with a wrong header, cut at a random length.
std::vector<uint8_t> hostileBlock(std::mt19937& random) {
    BlockBuilder b;
    const int32_t count = int32_t(random() % 65);
    const int32_t recordSize = random() % 8 == 0 ? hostileInt(random) : (random() % 2 ? 56 : 64);
    b.i32(recordSize).i32(random() % 16 == 0 ? hostileInt(random) : count);
    for (int32_t k = 0; k < count; ++k) {
        RecordValues r{hostileReal(random), hostileReal(random), hostileReal(random),
                       hostileReal(random), hostileReal(random), hostileInt(random),
                       hostileInt(random),  hostileInt(random),  int32_t(random())};
        appendRecord(b, r);
        if (recordSize == 64)
            b.pad(8, uint8_t(random()));
    }
    b.i32(int32_t(random() % 2)).i32(1).f64(hostileReal(random)).i32(hostileInt(random));
    if (random() % 4 == 0)
        b.bytes.resize(random() % (b.bytes.size() + 1));
    return b.bytes;
}

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

TEST(HostileHost, RandomCallsFromTwoThreadsWhileAudioRuns) {
    AEffect* effect = VSTPluginMain(nullptr);
    ASSERT_NE(effect, nullptr);
    CompressorEffect* fx = instanceOf(effect);
    const int64_t budget = fx->ringBudget.limitBytes;
    std::atomic<bool> stop{false};
    std::atomic<long> blocks{0}, calls{0};
    std::atomic<bool> nonFinite{false};
    double longestWaitMs = 0;         // written by the audio thread only
    double longestHoldMs[2] = {0, 0}; // one per host thread
    std::atomic<int64_t> mostRingBytes{0};

    std::thread audio([&] {
        constexpr int kLongest = 8192;
        std::vector<float> inLeft(kLongest), inRight(kLongest), outLeft(kLongest), outRight(kLongest);
        std::mt19937 random(11);
        std::normal_distribution<float> noise(0.0f, 0.3f);
        while (!stop.load()) {
            const int n = int(random() % (kLongest + 1));
            for (int i = 0; i < n; ++i) {
                inLeft[size_t(i)] = noise(random);
                inRight[size_t(i)] = noise(random);
            }
            if (n > 0 && random() % 8 == 0) // spikes and samples at the edge of the float range
                inLeft[random() % size_t(n)] = random() % 2 ? 1e8f : 3e38f;
            float* in[2] = {inLeft.data(), inRight.data()};
            float* out[2] = {outLeft.data(), outRight.data()};
            // Every other block takes the (recursive) lock first, which measures how long host
            // calls kept the audio thread waiting; the others call the entries bare, as a host
            // does, so that the entries' own locking meets the host threads' calls.
            const bool measured = blocks % 2 == 0;
            const auto waitStart = Clock::now();
            if (measured)
                fx->lock.lock();
            longestWaitMs = std::max(longestWaitMs, millisecondsSince(waitStart));
            if (random() % 4 == 0) {
                std::fill(outLeft.begin(), outLeft.begin() + n, 0.0f);
                std::fill(outRight.begin(), outRight.begin() + n, 0.0f);
                effect->process(effect, in, out, n);
            } else {
                effect->processReplacing(effect, in, out, n);
            }
            for (int i = 0; i < n; ++i)
                if (!std::isfinite(outLeft[size_t(i)]) || !std::isfinite(outRight[size_t(i)]))
                    nonFinite = true;
            if (measured)
                fx->lock.unlock();
            ++blocks;
        }
    });

    auto host = [&](int thread) {
        std::mt19937 random(21u + unsigned(thread));
        const auto until = Clock::now() + std::chrono::duration<double>(kRunSeconds);
        while (Clock::now() < until) {
            {
                // Every other call takes the lock here first (the entries take it again), so the
                // time measured is the time the call holds it; the others go in bare.
                const bool measured = calls % 2 == 0;
                if (measured)
                    fx->lock.lock();
                const double start = threadMilliseconds();
                switch (random() % 10) {
                case 0:
                case 1:
                case 2: {
                    const int32_t index =
                        int32_t(random() % unsigned(loadRelaxed(effect->numParams) + 40)) - 20;
                    effect->setParameter(effect, index, hostileValue(random));
                    break;
                }
                case 3: {
                    const std::vector<uint8_t> block = hostileBlock(random);
                    setChunk(effect, block);
                    break;
                }
                case 4: {
                    const float rates[] = {kNaN,  kInf,  0,     -44100, 1,    999,     1000,
                                           22050, 44100, 96000, 192000, 1e6f, 1000001, 1e9f};
                    dispatch(effect, effSetSampleRate, 0, 0, nullptr,
                             rates[random() % (sizeof(rates) / sizeof(rates[0]))]);
                    break;
                }
                case 5:
                    dispatch(effect, effMainsChanged, 0, intptr_t(random() % 2));
                    break;
                case 6: {
                    const intptr_t sizes[] = {-1, 0, 1, 64, 512, 8192, 1 << 20, INT32_MAX};
                    dispatch(effect, effSetBlockSize, 0,
                             sizes[random() % (sizeof(sizes) / sizeof(sizes[0]))]);
                    break;
                }
                case 7:
                    fx->setOutputGain(hostileReal(random));
                    break;
                case 8: {
                    // The block stays the instance's until its next effGetChunk: read it under
                    // the lock, as the other host thread may ask for one too.
                    LockHolder reading(fx->lock);
                    std::vector<uint8_t> block = getChunk(effect);
                    (void)effect->getParameter(effect, int32_t(random() % 2000) - 10);
                    break;
                }
                case 9: {
                    char text[512];
                    dispatch(effect, effGetParamDisplay, int32_t(random() % 1000) - 10, 0, text);
                    dispatch(effect, effVendorSpecific, 7, intptr_t(random() % 100), text,
                             hostileValue(random));
                    break;
                }
                }
                if (measured) {
                    longestHoldMs[thread] = std::max(longestHoldMs[thread], threadMilliseconds() - start);
                    mostRingBytes = std::max(mostRingBytes.load(), fx->ringBudget.usedBytes);
                    fx->lock.unlock();
                }
                ++calls;
            }
            // Hosts pause between calls; a loop that never lets go would starve the audio
            // thread of an unfair lock.
            std::this_thread::yield();
        }
    };
    std::thread first(host, 0), second(host, 1);
    first.join();
    second.join();
    stop = true;
    audio.join();

    EXPECT_GT(blocks.load(), 10);
    EXPECT_GT(calls.load(), 100);
    EXPECT_FALSE(nonFinite.load());
    EXPECT_LE(mostRingBytes.load(), budget);
    EXPECT_LE(fx->ringBudget.peakBytes, budget);
    EXPECT_LT(longestWaitMs, kLongestWaitMs);
    EXPECT_LT(std::max(longestHoldMs[0], longestHoldMs[1]), kLongestHoldMs);
    RecordProperty("longest_hold_ms", std::to_string(std::max(longestHoldMs[0], longestHoldMs[1])));
    RecordProperty("longest_audio_wait_ms", std::to_string(longestWaitMs));
    EXPECT_EQ(effect->numParams, 12 * fx->bandCount());
    dispatch(effect, effClose);
}

} // namespace
