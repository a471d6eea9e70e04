// Where a batch writes each input, and the batches refused before anything starts.
#include "render/batch_plan.h"
#include "tool_runner.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

TEST(BatchPlan, OutputsKeepTheNameAndTakeTheRequestedContainersExtension) {
    EXPECT_EQ(batchOutputPath("out", "music/song.wav", ""), "out/song.wav");
    EXPECT_EQ(batchOutputPath("out/", "song.wav", "24"), "out/song.wav");
    EXPECT_EQ(batchOutputPath("out", "/a/b/song.wav", "flac:16"), "out/song.flac");
    EXPECT_EQ(batchOutputPath("out", "song.FLAC", "flac"), "out/song.FLAC");
    EXPECT_EQ(batchOutputPath("out", "take.2.aif", "wav:float"), "out/take.2.wav");
    EXPECT_EQ(batchOutputPath("out", "noextension", "ogg"), "out/noextension.ogg");
    EXPECT_EQ(batchOutputPath("out", ".hidden", "aiff"), "out/.hidden.aiff");
}

class BatchPlanRefusal : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directories(dir.path("a"));
        std::filesystem::create_directories(dir.path("b"));
        std::filesystem::create_directories(dir.path("out"));
        for (const char* name : {"a/x.wav", "b/x.wav", "a/y.wav", "a/y.flac"})
            writeBytes(dir.path(name), {'R'});
    }

    std::string refusal(const std::vector<std::string>& inputs, const std::string& folder,
                        const std::string& format = "", const std::string& state = "") {
        RenderOptions options;
        options.batchInputs = inputs;
        options.outputFolder = folder;
        options.format = format;
        options.loadStatePath = state;
        std::vector<BatchFile> files;
        std::string error;
        if (planBatch(options, files, error)) {
            EXPECT_EQ(files.size(), inputs.size());
            return "";
        }
        return error;
    }

    ScratchDirectory dir;
};

TEST_F(BatchPlanRefusal, TwoInputsForOneOutput) {
    EXPECT_EQ(refusal({dir.path("a/x.wav"), dir.path("a/y.wav"), dir.path("b/x.wav")}, dir.path("out")),
              dir.path("a/x.wav") + " and " + dir.path("b/x.wav") + " would both be written to " +
                  dir.path("out") + "/x.wav; rename one or render them separately");
    // Only once the container changes do y.wav and y.flac meet.
    EXPECT_EQ(refusal({dir.path("a/y.wav"), dir.path("a/y.flac")}, dir.path("out")), "");
    EXPECT_NE(refusal({dir.path("a/y.wav"), dir.path("a/y.flac")}, dir.path("out"), "flac:24"), "");
    EXPECT_NE(refusal({dir.path("a/y.wav"), dir.path("a/y.wav")}, dir.path("out")), "");
    // The same folder named two ways is one folder.
    EXPECT_NE(refusal({dir.path("a/x.wav"), dir.path("b/x.wav")}, dir.path("out/../out")), "");
}

TEST_F(BatchPlanRefusal, OutputsOverInputsOrTheStateFile) {
    EXPECT_EQ(refusal({dir.path("b/x.wav"), dir.path("a/y.wav")}, dir.path("a")),
              "the output of " + dir.path("a/y.wav") + " would replace the input " + dir.path("a/y.wav") +
                  "; choose another --out-dir");
    std::filesystem::create_symlink(dir.path("a"), dir.path("link"));
    EXPECT_NE(refusal({dir.path("link/y.wav")}, dir.path("a")), "");
    EXPECT_NE(refusal({dir.path("b/x.wav")}, dir.path("out"), "", dir.path("out/x.wav")), "");
    writeBytes(dir.path("out/x.wav"), {'o'});
    EXPECT_NE(refusal({dir.path("b/x.wav")}, dir.path("out"), "", dir.path("out/x.wav")), "");
    EXPECT_EQ(refusal({dir.path("b/x.wav")}, dir.path("out"), "", dir.path("a/x.wav")), "");
}

TEST_F(BatchPlanRefusal, AFolderThatIsNotOne) {
    EXPECT_EQ(refusal({dir.path("a/x.wav")}, dir.path("none")),
              "--out-dir " + dir.path("none") + ": not a folder");
    EXPECT_EQ(refusal({dir.path("b/x.wav")}, dir.path("a/y.wav")),
              "--out-dir " + dir.path("a/y.wav") + ": not a folder");
}

} // namespace
