// The hand-off queue: order, the end of a stream, a cancel, the fixed ring, and items passed
// round a ring of queues by three threads as the render loop does.
#include "render/handoff_queue.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

TEST(HandoffQueue, CloseLetsTheTakerDrainWhileCancelDropsEverything) {
    HandoffQueue<int> closing(3);
    EXPECT_TRUE(closing.push(1));
    EXPECT_TRUE(closing.push(2));
    EXPECT_TRUE(closing.push(3));
    EXPECT_FALSE(closing.push(4)) << "the ring is full";
    closing.close();
    EXPECT_FALSE(closing.push(5)) << "closed";
    int item = 0;
    for (int expected : {1, 2, 3}) {
        ASSERT_TRUE(closing.pop(item));
        EXPECT_EQ(item, expected);
    }
    EXPECT_FALSE(closing.pop(item));

    HandoffQueue<int> cancelling(2);
    EXPECT_TRUE(cancelling.push(1));
    cancelling.cancel();
    EXPECT_FALSE(cancelling.pop(item));
    EXPECT_FALSE(cancelling.push(2));
}

TEST(HandoffQueue, ItemsGoRoundThreeThreadsInOrder) {
    // Three tokens circulate free -> middle -> last -> free; the first thread numbers them,
    // the middle one doubles the number, the last one checks the sequence.
    constexpr int kRounds = 5000;
    int tokens[3] = {};
    HandoffQueue<int*> free(3), middle(3), last(3);
    for (int& token : tokens)
        free.push(&token);
    std::thread first([&] {
        int* token = nullptr;
        for (int i = 0; i < kRounds && free.pop(token); ++i) {
            *token = i;
            middle.push(token);
        }
        middle.close();
    });
    std::thread second([&] {
        int* token = nullptr;
        while (middle.pop(token)) {
            *token *= 2;
            last.push(token);
        }
        last.close();
    });
    int seen = 0;
    bool inOrder = true;
    int* token = nullptr;
    while (last.pop(token)) {
        inOrder = inOrder && *token == 2 * seen;
        ++seen;
        free.push(token);
    }
    first.join();
    second.join();
    EXPECT_EQ(seen, kRounds);
    EXPECT_TRUE(inOrder);
}

TEST(HandoffQueue, CancelWakesAWaitingTaker) {
    HandoffQueue<int> queue(1);
    bool got = true;
    std::thread taker([&] {
        int item = 0;
        got = queue.pop(item);
    });
    queue.cancel();
    taker.join();
    EXPECT_FALSE(got);
}

} // namespace
