// The program file codec on its own: the header bytes, and each fault a reader must name.
#include "shell/program_file.h"

#include <gtest/gtest.h>

namespace {

constexpr int32_t kId = ('t' << 24) | ('r' << 16) | ('w' << 8) | 'S';

TEST(ProgramFile, HeaderIsBigEndianWithMagicSizesIdVersionAndName) {
    const std::vector<uint8_t> chunk = {1, 2, 3, 4, 5};
    const std::vector<uint8_t> file = buildProgramFile(chunk, {kId, 1100}, "Drums");
    const std::vector<uint8_t> header = {
        'C', 'c', 'n', 'K', 0,   0, 0,    57,   // byte size: 60 - 8 + 5
        'F', 'P', 'C', 'h', 0,   0, 0,    1,    // opaque chunk, format version 1
        't', 'r', 'w', 'S', 0,   0, 0x04, 0x4C, // plug-in id and version 1100
        0,   0,   0,   1,                       // one program
        'D', 'r', 'u', 'm', 's', 0, 0,    0,    0, 0, 0, 0, 0, 0, 0, 0,
        0,   0,   0,   0,   0,   0, 0,    0,    0, 0, 0, 0, 0, 0, 0, 5}; // chunk size
    ASSERT_EQ(file.size(), 65u);
    EXPECT_EQ(std::vector<uint8_t>(file.begin(), file.begin() + 60), header);
    EXPECT_EQ(std::vector<uint8_t>(file.begin() + 60, file.end()), chunk);

    std::vector<uint8_t> back;
    std::string error;
    ASSERT_TRUE(extractStateChunk(file, true, kId, back, error)) << error;
    EXPECT_EQ(back, chunk);
}

TEST(ProgramFile, LongNamesAreCutAndTerminated) {
    const std::vector<uint8_t> file = buildProgramFile({9}, {kId, 1}, std::string(40, 'n'));
    EXPECT_EQ(file[28 + 26], 'n');
    EXPECT_EQ(file[28 + 27], 0);
}

TEST(ProgramFile, RawChunksAreAcceptedOnlyFromFilesNotNamedFxp) {
    const std::vector<uint8_t> raw = {56, 0, 0, 0, 4, 0, 0, 0};
    std::vector<uint8_t> chunk;
    std::string error;
    ASSERT_TRUE(extractStateChunk(raw, false, kId, chunk, error));
    EXPECT_EQ(chunk, raw);
    EXPECT_FALSE(extractStateChunk(raw, true, kId, chunk, error));
    EXPECT_EQ(error, "not a program file: magic is '8\?\?\?', expected 'CcnK'");
    EXPECT_FALSE(extractStateChunk({}, false, kId, chunk, error));
    EXPECT_TRUE(hasProgramFileExtension("a/b/preset.FXP"));
    EXPECT_FALSE(hasProgramFileExtension("preset.fxb"));
}

TEST(ProgramFile, FaultsAreNamed) {
    const std::vector<uint8_t> good = buildProgramFile(std::vector<uint8_t>(100, 7), {kId, 1}, "");
    struct Case {
        const char* what;
        size_t offset;
        std::vector<uint8_t> bytes;
        const char* message;
    };
    const Case cases[] = {
        {"other plug-in",
         16,
         {'a', 'b', 'c', 'd'},
         "the program belongs to plug-in 'abcd', this plug-in is 'trwS'"},
        {"bank", 8, {'F', 'B', 'C', 'h'}, "this is a bank file ('FBCh'), not a program file ('FPCh')"},
        {"unknown kind", 8, {'x', 'y', 'z', 'w'}, "unknown program kind 'xyzw', expected 'FPCh'"},
        {"format version", 12, {0, 0, 0, 2}, "unsupported program file format version 2, expected 1"},
        {"program count", 24, {0, 0, 0, 3}, "the program file claims 3 programs, expected 1"},
        {"byte size",
         4,
         {0, 0, 1, 0},
         "truncated program file: its header gives 264 bytes, the file has 160"},
        {"chunk size", 56, {0, 0, 0, 101}, "chunk size 101 is larger than the 100 bytes after the header"},
        {"huge chunk size",
         56,
         {0xFF, 0xFF, 0xFF, 0xFF},
         "chunk size 4294967295 is larger than the 100 bytes after the header"},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> file = good;
        std::copy(c.bytes.begin(), c.bytes.end(), file.begin() + long(c.offset));
        std::vector<uint8_t> chunk;
        std::string error;
        EXPECT_FALSE(extractStateChunk(file, true, kId, chunk, error)) << c.what;
        EXPECT_EQ(error, c.message) << c.what;
    }

    std::vector<uint8_t> chunk;
    std::string error;
    EXPECT_FALSE(
        extractStateChunk(std::vector<uint8_t>(good.begin(), good.begin() + 59), true, kId, chunk, error));
    EXPECT_EQ(error, "truncated program file: 59 bytes, the header alone needs 60");
}

TEST(ProgramFile, ReadingReportsThePath) {
    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_FALSE(readWholeFile("/nonexistent/dir/x.fxp", bytes, error));
    EXPECT_EQ(error, "cannot open /nonexistent/dir/x.fxp: No such file or directory");
}

} // namespace
