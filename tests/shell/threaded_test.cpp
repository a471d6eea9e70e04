// One thread processes audio while another changes the band list, the settings and the
// sample rate, as an editor and a host would. Run under the sanitizers.
#include "engine/compressor.h"
#include "shell/ab_slots.h"
#include "shell/compressor_effect.h"
#include "shell/edit_gesture.h"
#include "shell/edit_history.h"
#include "shell/factory_presets.h"
#include "shell/preset_library.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

TEST(EffectThreads, AudioKeepsRunningWhileBandsChange) {
    AEffect* effect = VSTPluginMain(nullptr);
    ASSERT_NE(effect, nullptr);
    auto* fx = static_cast<CompressorEffect*>(effect->object);
    std::atomic<bool> stop{false};
    std::atomic<long> blocks{0};
    std::atomic<bool> nonFinite{false};

    std::thread audio([&] {
        const int n = 256;
        std::vector<float> left(n), right(n);
        float* channels[2] = {left.data(), right.data()};
        unsigned phase = 0;
        while (!stop.load()) {
            for (int i = 0; i < n; ++i, ++phase) {
                left[size_t(i)] = float(0.8 * std::sin(phase * 0.031));
                right[size_t(i)] = float(0.6 * std::sin(phase * 0.17));
            }
            effect->processReplacing(effect, channels, channels, n);
            for (int i = 0; i < n; ++i)
                if (!std::isfinite(left[size_t(i)]) || !std::isfinite(right[size_t(i)]))
                    nonFinite = true;
            ++blocks;
        }
    });

    std::mt19937 random(7);
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
    for (int step = 0; step < 20000 && std::chrono::steady_clock::now() < until; ++step) {
        switch (random() % 7) {
        case 0:
            if (fx->bandCount() < 24)
                fx->addBand();
            break;
        case 1: {
            LockHolder hold(fx->lock);
            fx->currentBand = int32_t(random() % unsigned(fx->bandCount()));
            break;
        }
        case 2:
            fx->deleteCurrentBand();
            break;
        case 3: {
            LockHolder hold(fx->lock);
            if (Band* b = fx->band(int32_t(random() % unsigned(fx->bandCount())))) {
                b->settings.threshold = 0.01 + (random() % 100) / 100.0;
                b->settings.ratio = 1 + random() % 20;
                setBandFrequency(*b, 20 + random() % 24000, false);
            }
            break;
        }
        case 4: {
            const float rates[] = {44100, 48000, 96000, 22050};
            effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, rates[random() % 4]);
            break;
        }
        case 5:
            // As the editor does: the gain target under the lock, the switches without it.
            fx->setOutputGain((random() % 200) / 100.0);
            fx->soloCurrentBand = int32_t(random() % 2);
            fx->currentBand = int32_t(random() % unsigned(fx->bandCount() + 1));
            fx->meteringWanted = random() % 2 != 0; // metering on and off
            break;
        case 6:
            if (random() % 16 == 0)
                fx->resetToDefaults();
            break;
        }
        std::this_thread::yield();
    }
    stop = true;
    audio.join();
    EXPECT_GT(blocks.load(), 10);
    EXPECT_FALSE(nonFinite.load());
    EXPECT_EQ(effect->numParams, 12 * fx->bandCount());
    fx->meteringWanted = false;
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
}

// The editor's operations on one thread while the host loads state blocks on another, which
// replaces the whole band list each time.
TEST(EffectThreads, EditorOperationsWhileTheHostLoadsStates) {
    AEffect* effect = VSTPluginMain(nullptr);
    ASSERT_NE(effect, nullptr);
    auto* fx = static_cast<CompressorEffect*>(effect->object);
    fx->addBand();
    void* block = nullptr;
    const intptr_t size = effect->dispatcher(effect, effGetChunk, 0, 0, &block, 0.0f);
    ASSERT_GT(size, 0);
    const std::vector<uint8_t> fiveBands(static_cast<uint8_t*>(block), static_cast<uint8_t*>(block) + size);

    std::atomic<bool> stop{false};
    std::thread host([&] {
        while (!stop.load()) {
            effect->dispatcher(effect, effSetChunk, 0, intptr_t(fiveBands.size()),
                               const_cast<uint8_t*>(fiveBands.data()), 0.0f);
            std::this_thread::yield();
        }
    });
    std::mt19937 random(11);
    for (int step = 0; step < 3000; ++step) {
        const int32_t index = int32_t(random() % 8);
        BandView view;
        switch (random() % 6) {
        case 0:
            fx->addBand();
            break;
        case 1:
            fx->deleteCurrentBand();
            break;
        case 2:
            fx->resetToDefaults();
            break;
        case 3:
            fx->changeSetting(index, int32_t(random() % kBandSettingKinds), (random() % 100) / 50.0);
            break;
        case 4:
            fx->setLogScaleAutomation(index, random() % 2 != 0);
            break;
        case 5:
            if (fx->viewBand(index, view)) {
                EXPECT_GE(view.frequency, 20.0);
            }
            EXPECT_GE(fx->viewBandCount(), 0);
            break;
        }
    }
    stop = true;
    host.join();
    EXPECT_EQ(effect->numParams, 12 * fx->viewBandCount());
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
}

intptr_t VST_CALL silentHost(AEffect*, int32_t, int32_t, intptr_t, void*, float) {
    return 0;
}

// Presets, A/B switches and undo on the editor's thread while audio runs and the host saves and
// loads the state: every one replaces the band list under the lock, as a host's state load does.
TEST(EffectThreads, PresetsAbAndUndoWhileAudioRunsAndTheHostSavesState) {
    AEffect* effect = VSTPluginMain(silentHost);
    ASSERT_NE(effect, nullptr);
    auto* fx = static_cast<CompressorEffect*>(effect->object);
    std::atomic<bool> stop{false};
    std::atomic<bool> nonFinite{false};
    std::atomic<long> blocks{0};
    std::thread audio([&] {
        const int n = 256;
        std::vector<float> left(n), right(n);
        float* channels[2] = {left.data(), right.data()};
        unsigned phase = 0;
        while (!stop.load()) {
            for (int i = 0; i < n; ++i, ++phase)
                left[size_t(i)] = right[size_t(i)] = float(0.7 * std::sin(phase * 0.05));
            effect->processReplacing(effect, channels, channels, n);
            for (int i = 0; i < n; ++i)
                if (!std::isfinite(left[size_t(i)]))
                    nonFinite = true;
            ++blocks;
        }
    });
    std::thread host([&] {
        while (!stop.load()) {
            void* block = nullptr;
            const intptr_t size = effect->dispatcher(effect, effGetChunk, 0, 0, &block, 0.0f);
            if (size > 0 && block) {
                const std::vector<uint8_t> copy(static_cast<uint8_t*>(block),
                                                static_cast<uint8_t*>(block) + size);
                effect->dispatcher(effect, effSetChunk, 0, intptr_t(copy.size()),
                                   const_cast<uint8_t*>(copy.data()), 0.0f);
            }
            std::this_thread::yield();
        }
    });
    const PresetLibrary factoryOnly{""};
    std::mt19937 random(5);
    // At least 2000 steps, and on until the audio thread has had its turns: on a loaded machine
    // the steps can be over before it is first scheduled.
    for (int step = 0; step < 2000 || (blocks.load() <= 10 && step < 200000); ++step) {
        std::string error;
        switch (random() % 5) {
        case 0:
            loadPreset(*fx, factoryOnly,
                       factoryPreset(int32_t(random() % unsigned(factoryPresetCount()))).name, error);
            break;
        case 1:
            switchAbSlot(*fx);
            break;
        case 2:
            undoEdit(*fx);
            break;
        case 3:
            redoEdit(*fx);
            break;
        case 4:
            editSetting(*fx, 0, kSettingThreshold, (random() % 100) / 100.0, EditReport::End);
            break;
        }
    }
    stop = true;
    audio.join();
    host.join();
    EXPECT_GT(blocks.load(), 10);
    EXPECT_FALSE(nonFinite.load());
    EXPECT_EQ(effect->numParams, 12 * fx->viewBandCount());
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
}

TEST(EffectThreads, InstancesComeAndGoOnSeveralThreads) {
    std::atomic<bool> failed{false};
    auto churn = [&] {
        for (int i = 0; i < 60; ++i) {
            AEffect* effect = VSTPluginMain(i % 2 ? silentHost : nullptr);
            if (!effect || effect->numParams != 48) {
                failed = true;
                return;
            }
            effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
        }
    };
    std::thread first(churn), second(churn), third(churn);
    first.join();
    second.join();
    third.join();
    EXPECT_FALSE(failed.load());
    EXPECT_EQ(instanceCount.load(), 0);
}

} // namespace
