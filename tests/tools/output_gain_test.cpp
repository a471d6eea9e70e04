// The output gain written into and read from a state block: the field after the band records
// of whatever size the block declares, and blocks without room for it left alone.
#include "render/output_gain.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

void putInt(std::vector<uint8_t>& block, size_t at, int32_t value) {
    for (int i = 0; i < 4; ++i)
        block[at + size_t(i)] = uint8_t(uint32_t(value) >> (8 * i));
}

// A block of `count` records of `recordSize` bytes, then grid, tabs, gain and solo.
std::vector<uint8_t> blockOf(int32_t recordSize, int32_t count) {
    std::vector<uint8_t> block(size_t(8 + recordSize * count + 4 + 4 + 8 + 4), 0xA5);
    putInt(block, 0, recordSize);
    putInt(block, 4, count);
    return block;
}

double realAt(const std::vector<uint8_t>& block, size_t at) {
    uint64_t bits = 0;
    for (int i = 0; i < 8; ++i)
        bits |= uint64_t(block[at + size_t(i)]) << (8 * i);
    double value;
    std::memcpy(&value, &bits, sizeof(value));
    return value;
}

TEST(OutputGain, LandsAfterTheRecordsAndTheViewWords) {
    const std::pair<int32_t, int32_t> layouts[] = {{56, 4}, {56, 0}, {64, 3}};
    for (const auto& [recordSize, count] : layouts) {
        SCOPED_TRACE(recordSize * 100 + count);
        std::vector<uint8_t> block = blockOf(recordSize, count);
        const std::vector<uint8_t> before = block;
        ASSERT_TRUE(writeOutputGain(block, -6.0));
        const size_t at = size_t(8 + recordSize * count + 8);
        EXPECT_DOUBLE_EQ(realAt(block, at), 0.50118723362727224);
        // Nothing else moved.
        for (size_t i = 0; i < block.size(); ++i) {
            if (i < at || i >= at + 8) {
                ASSERT_EQ(block[i], before[i]) << i;
            }
        }
        double gain = 0;
        ASSERT_TRUE(readOutputGain(block, gain));
        EXPECT_EQ(gain, realAt(block, at));
        ASSERT_TRUE(writeOutputGain(block, 20.0));
        ASSERT_TRUE(readOutputGain(block, gain));
        EXPECT_DOUBLE_EQ(gain, 10.0);
    }
}

TEST(OutputGain, BlocksWithoutTheFieldAreLeftAlone) {
    std::vector<std::vector<uint8_t>> blocks;
    std::vector<uint8_t> cut = blockOf(56, 2);
    cut.resize(cut.size() - 5); // the gain's last byte missing
    blocks.push_back(cut);
    blocks.push_back(blockOf(40, 2)); // records smaller than a band's
    std::vector<uint8_t> negative = blockOf(56, 1);
    putInt(negative, 4, -1);
    blocks.push_back(negative);
    std::vector<uint8_t> huge = blockOf(56, 1);
    putInt(huge, 4, 0x7FFFFFFF);
    blocks.push_back(huge);
    blocks.push_back({1, 2, 3});
    for (std::vector<uint8_t>& block : blocks) {
        const std::vector<uint8_t> before = block;
        double gain = -1;
        EXPECT_FALSE(writeOutputGain(block, 3.0));
        EXPECT_FALSE(readOutputGain(block, gain));
        EXPECT_EQ(block, before);
        EXPECT_EQ(gain, -1);
    }
}

} // namespace
