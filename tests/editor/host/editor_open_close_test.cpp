// Opening and closing the editor many times in a host, with audio running, leaves the process
// (heap, descriptors, threads) and the X server (every client's resources) where they were.
// TARNWELL_OPEN_CLOSE_ROUNDS sets the number of rounds (the benchmark run takes 500).
#include <gtest/gtest.h>

#include "hosted_editor.h"

#include <cstdio>
#include <cstdlib>

using namespace hostedtest;

namespace {

int rounds() {
    const char* text = std::getenv("TARNWELL_OPEN_CLOSE_ROUNDS");
    return text && std::atoi(text) > 0 ? std::atoi(text) : 40;
}

struct Holdings {
    size_t heap;
    long residentKb;
    int descriptors, threads;
    long serverResources;
};

Holdings holdings(HostedEditor& editor) {
    return {heapBytesInUse(), residentKilobytes(), openDescriptorCount(), threadCount(), serverResourceCount(editor.host.display())};
}

class EditorOpenClose : public ::testing::TestWithParam<bool> {};

TEST_P(EditorOpenClose, ManyRoundsLeaveProcessAndServerAsTheyWere) {
    HostedEditor editor(GetParam());
    ASSERT_TRUE(editor.loaded());
    PlayingAudio audio(editor);
    // A few rounds first: what the first opens load for good (the font, Xlib's tables) is
    // not a leak.
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(editor.open());
        editor.close();
    }
    const Holdings before = holdings(editor);
    ASSERT_GE(before.serverResources, 0) << "the server offers no X-Resource extension";
    // The counts see an open editor: its thread, its connection, its window and images.
    ASSERT_TRUE(editor.open());
    const Holdings open = holdings(editor);
    editor.close();
    EXPECT_GT(open.threads, before.threads);
    EXPECT_GT(open.descriptors, before.descriptors);
    EXPECT_GT(open.serverResources, before.serverResources);
    const int count = rounds();
    int opened = 0;
    for (int i = 0; i < count; ++i) {
        // Every round paints at least once, so the back buffer and its image are made.
        if (editor.open())
            ++opened;
        editor.close();
    }
    const Holdings after = holdings(editor);
    audio.stop();
    EXPECT_EQ(opened, count);
    EXPECT_GT(audio.blocks(), 0);
    std::printf("%d rounds (%s): heap %zu -> %zu bytes, resident %ld -> %ld kB, descriptors %d -> %d, "
                "threads %d -> %d, server resources %ld -> %ld\n",
                count, GetParam() ? "host calls effEditIdle" : "no effEditIdle", before.heap, after.heap,
                before.residentKb, after.residentKb,
                before.descriptors, after.descriptors, before.threads, after.threads, before.serverResources,
                after.serverResources);
    EXPECT_EQ(after.descriptors, before.descriptors);
    EXPECT_EQ(after.threads, before.threads);
    EXPECT_EQ(after.serverResources, before.serverResources);
    // A back buffer kept per open would be hundreds of kilobytes a round; a small object kept
    // per open still adds up over the rounds. Allocator noise stays well under this.
    EXPECT_LT(double(after.heap) - double(before.heap), 16384.0 + 64.0 * count);
}

INSTANTIATE_TEST_SUITE_P(Hosts, EditorOpenClose, ::testing::Values(false, true), hostKindName);

} // namespace
