#include "support/heap_buffer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace {

TEST(HeapBufferGrowth, WorkedExamplesOfTheBlockSize) {
    HeapBuffer buffer(4096);
    EXPECT_EQ(buffer.get(), nullptr);
    ASSERT_NE(buffer.resize(100), nullptr);
    EXPECT_EQ(buffer.getAllocated(), 4000);
    EXPECT_EQ(buffer.getSize(), 100);
    ASSERT_NE(buffer.resize(10000), nullptr);
    EXPECT_EQ(buffer.getAllocated(), 12192);

    HeapBuffer glyphs(65536);
    ASSERT_NE(glyphs.resize(1), nullptr);
    EXPECT_EQ(glyphs.getAllocated(), 65440);

    // Small granularities get no page rounding: newSize + max(newSize / 2, granularity).
    HeapBuffer small(16);
    small.resize(10);
    EXPECT_EQ(small.getAllocated(), 26);
    small.resize(100);
    EXPECT_EQ(small.getAllocated(), 150);
}

TEST(HeapBufferGrowth, LargeBuffersStepByAtMostFourMegabytes) {
    HeapBuffer buffer(4096);
    ASSERT_NE(buffer.resize(20 * 1024 * 1024), nullptr);
    // half = 10 MiB, clamped to 4 MiB: ((20 MiB + 96 + 4 MiB) rounded down to 4096) - 96.
    EXPECT_EQ(buffer.getAllocated(), 24 * 1024 * 1024 - 96);
}

TEST(HeapBufferGrowth, ContentsSurviveGrowthAndZeroSize) {
    HeapBuffer buffer(4096);
    auto* bytes = static_cast<unsigned char*>(buffer.resize(300));
    for (int i = 0; i < 300; ++i)
        bytes[i] = static_cast<unsigned char>(i * 7);
    bytes = static_cast<unsigned char*>(buffer.resize(50000));
    ASSERT_NE(bytes, nullptr);
    for (int i = 0; i < 300; ++i)
        ASSERT_EQ(bytes[i], static_cast<unsigned char>(i * 7));

    int32_t allocated = buffer.getAllocated();
    EXPECT_EQ(buffer.resize(0), nullptr);
    EXPECT_EQ(buffer.get(), nullptr);
    EXPECT_EQ(buffer.getAllocated(), allocated);
    bytes = static_cast<unsigned char*>(buffer.resize(300));
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(bytes[299], static_cast<unsigned char>(299 * 7));
}

TEST(HeapBufferGrowth, ResizeToTheCurrentSizeChangesNothing) {
    HeapBuffer buffer(4096);
    EXPECT_EQ(buffer.resize(0), nullptr);
    EXPECT_EQ(buffer.getAllocated(), 0);
    void* data = buffer.resize(64);
    EXPECT_EQ(buffer.resize(64), data);
    EXPECT_EQ(buffer.getAllocated(), 4000);
}

TEST(HeapBufferShrink, OnlyWhenAskedAndFarBelowTheBlock) {
    HeapBuffer buffer(4096);
    buffer.resize(5000);
    ASSERT_EQ(buffer.getAllocated(), 8096);
    // 8096 / 2 = 4048 but 0 is not below 8096 - 16384: the block stays.
    buffer.resize(0, true);
    EXPECT_EQ(buffer.getAllocated(), 8096);

    HeapBuffer big(4096);
    big.resize(1000000);
    int32_t allocated = big.getAllocated();
    big.resize(10, false);
    EXPECT_EQ(big.getAllocated(), allocated);
    big.resize(1000000);
    big.resize(10, true);
    EXPECT_EQ(big.getAllocated(), 4000);
    // Growing within the block never reallocates, shrink allowed or not.
    big.resize(3000, true);
    EXPECT_EQ(big.getAllocated(), 4000);
}

int failAfter = -1;
void* failingRealloc(void* p, size_t n) {
    if (failAfter == 0)
        return nullptr;
    --failAfter;
    return std::realloc(p, n);
}
void* failingMalloc(size_t n) { return failAfter == 0 ? nullptr : std::malloc(n); }

class HeapBufferFailure : public ::testing::Test {
protected:
    void SetUp() override { previous_ = HeapBuffer::setAllocatorForTesting({failingRealloc, failingMalloc, std::free}); }
    void TearDown() override {
        HeapBuffer::setAllocatorForTesting(previous_);
        failAfter = -1;
    }
    HeapBuffer::Allocator previous_{};
};

TEST_F(HeapBufferFailure, FailedGrowthKeepsTheOldBlock) {
    HeapBuffer buffer(4096);
    failAfter = 1;
    auto* data = static_cast<char*>(buffer.resize(10));
    ASSERT_NE(data, nullptr);
    std::strcpy(data, "kept");
    EXPECT_EQ(buffer.resize(100000), data);
    EXPECT_EQ(buffer.getSize(), 10);
    EXPECT_EQ(buffer.getAllocated(), 4000);
    EXPECT_STREQ(static_cast<char*>(buffer.get()), "kept");

    HeapBuffer empty(4096);
    EXPECT_EQ(empty.resize(10), nullptr);
    EXPECT_EQ(empty.getSize(), 0);
    EXPECT_EQ(empty.getAllocated(), 0);
}

TEST_F(HeapBufferFailure, FreshBlockWhenReallocFailsButMallocWorks) {
    HeapBuffer buffer(4096);
    auto* data = static_cast<char*>(buffer.resize(10));
    std::strcpy(data, "moved");
    failAfter = 0;
    // realloc refuses, malloc is still allowed (failingMalloc only checks for 0 remaining)...
    failAfter = 0;
    HeapBuffer::setAllocatorForTesting({failingRealloc, std::malloc, std::free});
    auto* moved = static_cast<char*>(buffer.resize(100000));
    ASSERT_NE(moved, nullptr);
    EXPECT_STREQ(moved, "moved");
    EXPECT_EQ(buffer.getSize(), 100000);
}

TEST(HeapBufferLimits, NegativeAndOverflowingSizesFailLikeAllocation) {
    HeapBuffer buffer(4096);
    void* data = buffer.resize(16);
    EXPECT_EQ(buffer.resize(-1), data);
    EXPECT_EQ(buffer.getSize(), 16);
    // The block arithmetic for this size does not fit 32 bits.
    EXPECT_EQ(buffer.resize(INT32_MAX - 100), data);
    EXPECT_EQ(buffer.getSize(), 16);
    EXPECT_EQ(buffer.getAllocated(), 4000);
}

} // namespace
