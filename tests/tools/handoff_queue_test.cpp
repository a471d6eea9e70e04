// The hand-off queue: order, the end of a stream, a cancel, the fixed ring. The render loop's
// tests pass slices round three of them on three threads.
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
