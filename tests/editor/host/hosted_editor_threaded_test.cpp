// The editor in a host with every thread a host brings going at once: the audio thread
// processing, a host thread automating a parameter, the host's own thread opening, serving
// (with or without effEditIdle) and closing the editor, and the editor's thread answering real
// input from xdotool. Run under ThreadSanitizer in the sanitizer build.
#include <gtest/gtest.h>

#include "editor_positions.h"
#include "hosted_editor.h"
#include "x11_test_display.h"

#include <sys/wait.h>

#include <atomic>
#include <thread>

using namespace hostedtest;

namespace {

constexpr int32_t kRounds = 4;

// Strokes from the knee fader to points of the graph, for about two seconds.
std::vector<std::string> scribble() {
    const PixelRect fader = panelControl(IDC_KNEE_FADER);
    const PixelRect graph = mainControl(IDC_GRAPH);
    std::vector<std::string> words;
    for (int i = 0; i < 6; ++i) {
        std::vector<std::string> stroke = drag({fader.x + (i * 37) % fader.width, centreY(fader)},
                                               {graph.x + (i * 53) % graph.width, graph.y + (i * 11) % graph.height}, 4);
        words.insert(words.end(), stroke.begin(), stroke.end());
    }
    return words;
}

class HostedEditorThreaded : public ::testing::TestWithParam<bool> {};

TEST_P(HostedEditorThreaded, EditedAndClosedWhileAudioAndAutomationRun) {
    HostedEditor editor(GetParam());
    ASSERT_TRUE(editor.loaded());
    PlayingAudio audio(editor);
    std::atomic<bool> automating{true};
    std::thread automation([&] {
        // A host's automation lane on band 2's threshold while the user edits band 1.
        for (int i = 0; automating; ++i) {
            editor.session.setParameterValue(12 + 2, float(i % 100) / 100.0f);
            std::this_thread::sleep_for(std::chrono::milliseconds(3));
        }
    });
    // The host's own connection is part of what it holds throughout.
    std::string error;
    ASSERT_TRUE(editor.host.connect(error)) << error;
    const int threads = threadCount(), descriptors = openDescriptorCount();
    const PixelRect add = mainControl(IDC_ADD_BAND), remove = mainControl(IDC_DELETE_BAND);
    for (int round = 0; round < kRounds; ++round) {
        ASSERT_TRUE(editor.open());
        clearHostCalls();
        // A band added and deleted: the parameter list changes under the audio thread.
        ASSERT_TRUE(editor.input(clickAt({centreX(add), centreY(add)})));
        ASSERT_TRUE(editor.waitFor([&] { return editor.bandCount() == 5; }));
        ASSERT_TRUE(editor.input(clickAt({centreX(remove), centreY(remove)})));
        ASSERT_TRUE(editor.waitFor([&] { return editor.bandCount() == 4; }));
        // Input pouring in, and the host closes the editor in the middle of it.
        pid_t input = x11test::xdotoolInBackground(displayName(), scribble());
        ASSERT_GT(input, 0);
        // The knee fader (of the band the panel shows) is being dragged: the edit reaches the host.
        EXPECT_TRUE(editor.waitFor([] {
            for (const HostCall& call : callsOf(hostCalls(), audioMasterAutomate))
                if (call.index >= 0 && call.index % 12 == kSettingKnee)
                    return true;
            return false;
        }));
        editor.host.serve(50 + 100 * round);
        editor.close();
        EXPECT_EQ(threadCount(), threads);
        waitpid(input, nullptr, 0);
    }
    automating = false;
    automation.join();
    audio.stop();
    EXPECT_GT(audio.blocks(), 0);
    EXPECT_EQ(openDescriptorCount(), descriptors);
}

INSTANTIATE_TEST_SUITE_P(Hosts, HostedEditorThreaded, ::testing::Values(false, true), hostKindName);

} // namespace
