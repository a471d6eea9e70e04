// 24-bit WAV samples converted by the tool against libsndfile's own conversion: every 24-bit
// value read, and floats written that sit on every edge (rounding ties, full scale and just
// inside and beyond it, infinities, NaN, denormals), at every length's tail.
#include "render/pcm24.h"
#include "tool_runner.h"

#include <sndfile.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

namespace {

constexpr int kPcm24Wav = SF_FORMAT_WAV | SF_FORMAT_PCM_24;

// The raw sample bytes of a mono 24-bit WAV libsndfile writes from `samples`, clipping.
std::vector<unsigned char> libsndfileBytes(const std::string& path, const std::vector<float>& samples) {
    SF_INFO info{};
    info.format = kPcm24Wav;
    info.channels = 1;
    info.samplerate = 48000;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file)
        return {};
    sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    sf_write_float(file, samples.data(), sf_count_t(samples.size()));
    sf_close(file);
    SF_INFO readInfo{};
    file = sf_open(path.c_str(), SFM_READ, &readInfo);
    if (!file)
        return {};
    std::vector<unsigned char> bytes(3 * samples.size());
    bytes.resize(size_t(sf_read_raw(file, bytes.data(), sf_count_t(bytes.size()))));
    sf_close(file);
    return bytes;
}

std::vector<float> edgeFloats() {
    std::vector<float> values = {0.0f, -0.0f, 1.0f, -1.0f, HUGE_VALF, -HUGE_VALF, 1e30f, -1e30f,
                                 std::numeric_limits<float>::quiet_NaN(), -std::numeric_limits<float>::quiet_NaN(),
                                 std::numeric_limits<float>::denorm_min(), -std::numeric_limits<float>::denorm_min(),
                                 std::nextafter(1.0f, 0.0f), std::nextafter(1.0f, 2.0f),
                                 std::nextafter(-1.0f, 0.0f), std::nextafter(-1.0f, -2.0f)};
    // Ties and their neighbours at the scale of 2^31, where the rounding happens, and halfway
    // between 24-bit steps, where the top 24 bits are cut.
    for (int k = -40; k <= 40; ++k)
        for (float step : {0.5f, 1.0f, 1.5f, 2.5f, 127.5f, 128.0f, 255.5f, 256.0f})
            for (float nudge : {-1.0f, 0.0f, 1.0f}) {
                const float value = (float(k) * 256.0f + step) / 2147483648.0f;
                values.push_back(nudge == 0 ? value : std::nextafter(value, nudge * 2.0f));
            }
    std::mt19937 random(9);
    std::uniform_real_distribution<float> sample(-1.1f, 1.1f);
    for (int i = 0; i < 100000; ++i)
        values.push_back(sample(random) * std::ldexp(1.0f, -int(random() % 30)));
    return values;
}

TEST(Pcm24, WrittenAsLibsndfileWritesThem) {
    ScratchDirectory dir;
    const std::vector<float> values = edgeFloats();
    const std::vector<unsigned char> expected = libsndfileBytes(dir.path("edges.wav"), values);
    ASSERT_EQ(expected.size(), 3 * values.size());
    // Every start and tail length, so the four-at-a-time part and the rest both see every value.
    for (size_t offset = 0; offset < 4; ++offset) {
        const size_t count = values.size() - offset;
        std::vector<unsigned char> bytes(3 * count + 1, 0xa5);
        floatToPcm24(values.data() + offset, int64_t(count), bytes.data());
        size_t differing = 0;
        for (size_t i = 0; i < 3 * count; ++i)
            differing += bytes[i] != expected[3 * offset + i];
        EXPECT_EQ(differing, 0u) << "offset " << offset;
        EXPECT_EQ(bytes.back(), 0xa5) << "nothing written past the end";
    }
}

TEST(Pcm24, EveryValueReadAsLibsndfileReadsIt) {
    ScratchDirectory dir;
    constexpr size_t kValues = size_t(1) << 24;
    std::vector<unsigned char> bytes(3 * kValues);
    for (size_t v = 0; v < kValues; ++v) {
        bytes[3 * v] = static_cast<unsigned char>(v);
        bytes[3 * v + 1] = static_cast<unsigned char>(v >> 8);
        bytes[3 * v + 2] = static_cast<unsigned char>(v >> 16);
    }
    SF_INFO info{};
    info.format = kPcm24Wav;
    info.channels = 1;
    info.samplerate = 48000;
    SNDFILE* file = sf_open(dir.path("all.wav").c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(sf_write_raw(file, bytes.data(), sf_count_t(bytes.size())), sf_count_t(bytes.size()));
    sf_close(file);
    int format = 0, channels = 0, rate = 0;
    std::vector<float> expected;
    ASSERT_TRUE(readAudio(dir.path("all.wav"), format, channels, rate, expected));
    ASSERT_EQ(expected.size(), kValues);

    // From every start, so the tail after the four-at-a-time part has every length.
    for (size_t offset = 0; offset < 4; ++offset) {
        std::vector<float> samples(kValues - offset + 1, 0.5f);
        pcm24ToFloat(bytes.data() + 3 * offset, int64_t(kValues - offset), samples.data());
        size_t differing = 0;
        for (size_t v = offset; v < kValues; ++v)
            differing += std::memcmp(&samples[v - offset], &expected[v], sizeof(float)) != 0;
        EXPECT_EQ(differing, 0u) << "offset " << offset;
        EXPECT_EQ(samples.back(), 0.5f) << "nothing written past the end";
    }
    std::vector<float> samples(kValues);
    pcm24ToFloat(bytes.data(), int64_t(kValues), samples.data());
    EXPECT_EQ(samples[0x7fffff], 8388607.0f / 8388608.0f);
    EXPECT_EQ(samples[0x800000], -1.0f);
}

} // namespace
