// The frame counts read from WAV and AIFF headers, of whole files and of files cut short, in
// every header layout libsndfile writes; and the cases where the header does not say.
#include "render/declared_length.h"
#include "tool_runner.h"

#include <gtest/gtest.h>
#include <sndfile.h>

namespace {

void cutTo(const std::string& path, size_t length) {
    std::vector<unsigned char> bytes = fileBytes(path);
    bytes.resize(length);
    writeBytes(path, bytes);
}

TEST(DeclaredLength, WaveAndAiffHeadersKeepTheirCountWhenTheFileIsCut) {
    ScratchDirectory dir;
    const int frames = 1001;
    const struct {
        const char* name;
        int format;
        int channels;
    } kinds[] = {
        {"pcm16.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2},
        {"float.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2},                  // with fact and PEAK chunks
        {"pcm24.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24 | SF_ENDIAN_BIG, 1}, // RIFX
        {"rf64.wav", SF_FORMAT_RF64 | SF_FORMAT_PCM_24, 2},
        {"ulaw.wav", SF_FORMAT_WAV | SF_FORMAT_ULAW, 1},
        {"pcm16.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 2},
        {"float.aiff", SF_FORMAT_AIFF | SF_FORMAT_FLOAT, 1}, // AIFF-C
    };
    for (const auto& kind : kinds) {
        SCOPED_TRACE(kind.name);
        const std::string path = dir.path(kind.name);
        ASSERT_TRUE(writeAudio(path, kind.format, kind.channels, 44100,
                               std::vector<float>(size_t(frames * kind.channels), 0.25f)));
        EXPECT_EQ(declaredFrameCount(path), frames);
        cutTo(path, fileBytes(path).size() / 2);
        EXPECT_EQ(declaredFrameCount(path), frames);
    }
}

TEST(DeclaredLength, UnknownWhenTheHeaderDoesNotSay) {
    ScratchDirectory dir;
    const std::string wav = dir.path("stream.wav");
    ASSERT_TRUE(writeAudio(wav, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 44100, std::vector<float>(100, 0.5f)));
    // A streaming writer's sizes: the RIFF and data sizes left at 0xFFFFFFFF, or at 0.
    std::vector<unsigned char> bytes = fileBytes(wav);
    ASSERT_EQ(std::string(bytes.begin() + 36, bytes.begin() + 40), "data");
    for (unsigned char fill : {0xFF, 0x00}) {
        for (size_t at : {4, 40})
            std::fill(bytes.begin() + long(at), bytes.begin() + long(at) + 4, fill);
        writeBytes(wav, bytes);
        EXPECT_EQ(declaredFrameCount(wav), -1) << int(fill);
    }

    ASSERT_TRUE(writeAudio(dir.path("a.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 1, 44100,
                           std::vector<float>(100, 0.5f)));
    EXPECT_EQ(declaredFrameCount(dir.path("a.flac")), -1);
    writeBytes(dir.path("text.wav"), std::vector<unsigned char>(64, 'x'));
    EXPECT_EQ(declaredFrameCount(dir.path("text.wav")), -1);
    writeBytes(dir.path("short.wav"), {'R', 'I', 'F', 'F', 0, 0});
    EXPECT_EQ(declaredFrameCount(dir.path("short.wav")), -1);
    EXPECT_EQ(declaredFrameCount(dir.path("missing.wav")), -1);
}

} // namespace
