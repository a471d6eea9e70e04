// The buffered file under libsndfile: reads and writes of any size, at any position, give what
// unbuffered ones would, with buffers far smaller than the tool's so every edge is crossed; an
// audio file written and read through it has the bytes and samples libsndfile gives on its own.
#include "render/audio_file.h"
#include "render/buffered_stream.h"
#include "tool_runner.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <random>

namespace {

std::vector<unsigned char> patternBytes(size_t count) {
    std::vector<unsigned char> bytes(count);
    for (size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<unsigned char>(i * 7 + i / 251);
    return bytes;
}

class Descriptor {
  public:
    Descriptor(const std::string& path, int flags) : descriptor_(open(path.c_str(), flags, 0644)) {}
    ~Descriptor() {
        if (descriptor_ >= 0)
            close(descriptor_);
    }
    int get() const { return descriptor_; }

  private:
    int descriptor_;
};

TEST(BufferedStream, ReadsOfAnySizeAndPositionGiveTheFile) {
    ScratchDirectory dir;
    const std::vector<unsigned char> file = patternBytes(1000);
    writeBytes(dir.path("in"), file);
    for (size_t capacity : {1, 7, 64, 4096}) {
        SCOPED_TRACE("capacity " + std::to_string(capacity));
        Descriptor descriptor(dir.path("in"), O_RDONLY);
        BufferedStream stream(descriptor.get(), capacity);
        EXPECT_EQ(stream.length(), 1000);
        std::vector<unsigned char> got(file.size());
        size_t at = 0;
        for (size_t step = 1; at < file.size(); at += step, step = step * 3 % 101 + 1)
            ASSERT_EQ(stream.read(got.data() + at, int64_t(std::min(step, file.size() - at))),
                      int64_t(std::min(step, file.size() - at)));
        EXPECT_EQ(got, file);
        EXPECT_EQ(stream.tell(), 1000);

        // Past the end nothing; then back to places already buffered and not.
        unsigned char byte = 0;
        EXPECT_EQ(stream.read(&byte, 1), 0);
        EXPECT_EQ(stream.seek(-10, SEEK_END), 990);
        unsigned char tail[20] = {};
        EXPECT_EQ(stream.read(tail, 20), 10);
        EXPECT_EQ(tail[0], file[990]);
        EXPECT_EQ(tail[9], file[999]);
        EXPECT_EQ(stream.seek(5, SEEK_SET), 5);
        EXPECT_EQ(stream.seek(-3, SEEK_CUR), 2);
        EXPECT_EQ(stream.seek(-3, SEEK_CUR), -1);
        std::vector<unsigned char> middle(500);
        EXPECT_EQ(stream.read(middle.data(), 500), 500);
        EXPECT_TRUE(std::equal(middle.begin(), middle.end(), file.begin() + 2));
        EXPECT_EQ(stream.error(), 0);
    }
}

// Writes at random places, as libsndfile writes a header again at the end, against the same
// writes on a plain array; reads in between see what was written.
TEST(BufferedStream, WritesLandWhereTheyWereAimedWhateverTheBuffer) {
    ScratchDirectory dir;
    for (size_t capacity : {1, 5, 64, 1 << 20}) {
        SCOPED_TRACE("capacity " + std::to_string(capacity));
        std::remove(dir.path("out").c_str());
        Descriptor descriptor(dir.path("out"), O_RDWR | O_CREAT);
        BufferedStream stream(descriptor.get(), capacity);
        std::vector<unsigned char> expected;
        std::mt19937 random(3);
        for (int round = 0; round < 300; ++round) {
            const int64_t length = int64_t(expected.size());
            // Mostly appending, now and then back into what is written.
            const int64_t at = round % 9 == 4 ? int64_t(random() % (size_t(length) + 1)) : length;
            const std::vector<unsigned char> bytes = patternBytes(size_t(random() % 90));
            ASSERT_EQ(stream.seek(at, SEEK_SET), at);
            ASSERT_EQ(stream.write(bytes.data(), int64_t(bytes.size())), int64_t(bytes.size()));
            if (expected.size() < size_t(at) + bytes.size())
                expected.resize(size_t(at) + bytes.size());
            std::copy(bytes.begin(), bytes.end(), expected.begin() + at);
            ASSERT_EQ(stream.length(), int64_t(expected.size()));
            if (round % 13 == 0 && !expected.empty()) {
                const int64_t from = int64_t(random() % expected.size());
                std::vector<unsigned char> back(expected.size() - size_t(from));
                ASSERT_EQ(stream.seek(from, SEEK_SET), from);
                ASSERT_EQ(stream.read(back.data(), int64_t(back.size())), int64_t(back.size()));
                ASSERT_TRUE(std::equal(back.begin(), back.end(), expected.begin() + from)) << round;
            }
        }
        ASSERT_TRUE(stream.flush());
        EXPECT_EQ(fileBytes(dir.path("out")), expected);
    }
}

TEST(BufferedStream, ASystemErrorIsKeptAndNamed) {
    ScratchDirectory dir;
    writeBytes(dir.path("in"), patternBytes(100));
    {
        // Writing into a file opened for reading fails when the buffer goes out.
        Descriptor readOnly(dir.path("in"), O_RDONLY);
        BufferedStream stream(readOnly.get(), 16);
        const std::vector<unsigned char> bytes = patternBytes(10);
        EXPECT_EQ(stream.write(bytes.data(), 10), 10);
        EXPECT_FALSE(stream.flush());
        EXPECT_EQ(stream.error(), EBADF);
        EXPECT_EQ(stream.write(bytes.data(), 40), 0); // larger than the buffer: at once
    }
    {
        Descriptor writeOnly(dir.path("in"), O_WRONLY);
        BufferedStream stream(writeOnly.get(), 16);
        unsigned char byte = 0;
        EXPECT_EQ(stream.read(&byte, 1), 0);
        EXPECT_EQ(stream.error(), EBADF);
    }
}

std::vector<float> testFrames(size_t frames) {
    std::vector<float> samples(2 * frames);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = 0.9f * std::sin(0.001f * float(i * i % 100003)) * (i % 2 ? 1.0f : -0.5f);
    return samples;
}

// Through libsndfile on the descriptor itself, as the tool wrote before it buffered.
bool writeUnbuffered(const std::string& path, const AudioFormat& format, const std::vector<float>& samples) {
    Descriptor descriptor(path, O_RDWR | O_CREAT | O_TRUNC);
    SF_INFO info{};
    info.format = format.sndfileFormat;
    info.samplerate = format.sampleRate;
    info.channels = format.channels;
    SNDFILE* file = sf_open_fd(descriptor.get(), SFM_WRITE, &info, SF_FALSE);
    if (!file)
        return false;
    sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    sf_command(file, SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
    const sf_count_t frames = sf_count_t(samples.size() / 2);
    const bool wrote = sf_writef_float(file, samples.data(), frames) == frames;
    return sf_close(file) == 0 && wrote;
}

TEST(BufferedAudioFiles, WrittenAndReadAsLibsndfileDoesAlone) {
    ScratchDirectory dir;
    // Beyond full scale too, which integer files clip.
    std::vector<float> samples = testFrames(300000);
    samples[1001] = 1.5f;
    for (int format : {SF_FORMAT_WAV | SF_FORMAT_PCM_24, SF_FORMAT_WAV | SF_FORMAT_FLOAT,
                       SF_FORMAT_AIFF | SF_FORMAT_PCM_16, SF_FORMAT_FLAC | SF_FORMAT_PCM_24}) {
        SCOPED_TRACE(describeFormat(format));
        const AudioFormat audioFormat{format, 48000, 2};
        ASSERT_TRUE(writeUnbuffered(dir.path("plain"), audioFormat, samples));

        std::string error;
        {
            Descriptor descriptor(dir.path("buffered"), O_RDWR | O_CREAT | O_TRUNC);
            AudioWriter writer;
            ASSERT_TRUE(writer.open(descriptor.get(), "buffered", audioFormat, error)) << error;
            // In uneven pieces, one of them larger than the buffer.
            const int64_t pieces[] = {1, 4095, 200000, 95904};
            int64_t at = 0;
            for (int64_t frames : pieces) {
                ASSERT_TRUE(writer.write(samples.data() + 2 * at, frames, error)) << error;
                at += frames;
            }
            ASSERT_TRUE(writer.close(error)) << error;
        }
        EXPECT_EQ(fileBytes(dir.path("buffered")), fileBytes(dir.path("plain")));

        int plainFormat = 0, channels = 0, rate = 0;
        std::vector<float> plain;
        ASSERT_TRUE(readAudio(dir.path("plain"), plainFormat, channels, rate, plain));
        AudioReader reader;
        ASSERT_TRUE(reader.open(dir.path("buffered"), error)) << error;
        EXPECT_EQ(reader.frames(), 300000);
        std::vector<float> read(plain.size() + 2);
        int64_t got = 0;
        for (int64_t asked = 777; got < 300000; asked = asked * 2 % 70001 + 1) {
            const int64_t frames = reader.read(read.data() + 2 * got, std::min<int64_t>(asked, 300001 - got));
            ASSERT_GT(frames, 0);
            got += frames;
        }
        EXPECT_EQ(got, 300000);
        read.resize(plain.size());
        EXPECT_EQ(read, plain);
    }
}

// libsndfile puts text written after the samples into a chunk behind them: the samples read
// raw end where the data chunk ends.
TEST(BufferedAudioFiles, AChunkBehindTheSamplesIsNotReadAsSamples) {
    ScratchDirectory dir;
    const std::vector<float> samples = testFrames(5000);
    SF_INFO info{};
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_24;
    info.samplerate = 44100;
    info.channels = 2;
    SNDFILE* file = sf_open(dir.path("tagged.wav").c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(sf_writef_float(file, samples.data(), 5000), 5000);
    ASSERT_EQ(sf_set_string(file, SF_STR_COMMENT, "a comment long enough to fill a few frames"), 0);
    sf_close(file);
    const std::vector<unsigned char> bytes = fileBytes(dir.path("tagged.wav"));
    const std::string comment = "a comment";
    const auto at = std::search(bytes.begin(), bytes.end(), comment.begin(), comment.end());
    ASSERT_GT(at - bytes.begin(), 6 * 5000) << "the comment lies behind the samples";

    int format = 0, channels = 0, rate = 0;
    std::vector<float> expected;
    ASSERT_TRUE(readAudio(dir.path("tagged.wav"), format, channels, rate, expected));
    std::string error;
    AudioReader reader;
    ASSERT_TRUE(reader.open(dir.path("tagged.wav"), error)) << error;
    std::vector<float> read(2 * 6000);
    int64_t got = 0;
    while (const int64_t frames = reader.read(read.data() + 2 * got, std::min<int64_t>(1024, 6000 - got))) {
        ASSERT_GT(frames, 0);
        got += frames;
    }
    EXPECT_EQ(got, 5000);
    read.resize(2 * size_t(got));
    EXPECT_EQ(read, expected);
}

} // namespace
