#include "render/output_gain.h"

#include "host/plugin_session.h"

#include <cmath>
#include <cstring>

namespace {

// A band record is at least this long; the header is its size and the band count.
constexpr int64_t kSmallestBandRecord = 56;
constexpr int64_t kHeaderBytes = 8;
constexpr int64_t kViewWordsBytes = 8; // grid and tabs

int32_t readInt(const uint8_t* at) {
    uint32_t bits = 0;
    for (int i = 0; i < 4; ++i)
        bits |= uint32_t(at[i]) << (8 * i);
    return int32_t(bits);
}

// Where the output gain lies in the block, or -1 when the block has no room for it.
int64_t outputGainOffset(const std::vector<uint8_t>& block) {
    const int64_t size = int64_t(block.size());
    if (size < kHeaderBytes)
        return -1;
    const int64_t recordSize = readInt(block.data());
    const int64_t count = readInt(block.data() + 4);
    if (recordSize < kSmallestBandRecord || count < 0)
        return -1;
    const int64_t offset = kHeaderBytes + recordSize * count + kViewWordsBytes;
    return offset + 8 <= size ? offset : -1;
}

} // namespace

bool writeOutputGain(std::vector<uint8_t>& block, double db) {
    const int64_t offset = outputGainOffset(block);
    if (offset < 0)
        return false;
    const double gain = std::pow(10.0, db / 20.0);
    uint64_t bits;
    std::memcpy(&bits, &gain, sizeof(bits));
    for (int i = 0; i < 8; ++i)
        block[size_t(offset + i)] = uint8_t(bits >> (8 * i));
    return true;
}

bool readOutputGain(const std::vector<uint8_t>& block, double& gain) {
    const int64_t offset = outputGainOffset(block);
    if (offset < 0)
        return false;
    uint64_t bits = 0;
    for (int i = 0; i < 8; ++i)
        bits |= uint64_t(block[size_t(offset + i)]) << (8 * i);
    std::memcpy(&gain, &bits, sizeof(gain));
    return true;
}

bool setOutputGain(PluginSession& plugin, double db, std::string& error) {
    std::vector<uint8_t> block = plugin.stateChunk();
    if (!writeOutputGain(block, db)) {
        error = plugin.path() + ": the plug-in's state holds no output gain to set";
        return false;
    }
    plugin.loadStateChunk(block);
    return true;
}
