// Staged outputs: nothing reaches the destination before commit(), a commit replaces it whole
// (keeping its permissions and any symbolic link to it), and a folder is never a destination.
// Which paths count as one file is tested through the tool.
#include "render/staged_file.h"
#include "tool_runner.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

namespace {

size_t entryCount(const ScratchDirectory& dir) {
    return folderEntries(dir.path("")).size();
}

TEST(StagedFile, TheDestinationChangesOnlyAtCommit) {
    ScratchDirectory dir;
    const std::string path = dir.path("out.bin");
    writeBytes(path, {'o', 'l', 'd'});
    ASSERT_EQ(chmod(path.c_str(), 0604), 0);
    std::string error;
    {
        StagedFile abandoned;
        ASSERT_TRUE(abandoned.create(path, error)) << error;
        ASSERT_TRUE(abandoned.writeAll({'n', 'e', 'w'}, error));
        EXPECT_EQ(entryCount(dir), 2u) << "the temporary sits beside the destination";
    }
    EXPECT_EQ(fileBytes(path), (std::vector<unsigned char>{'o', 'l', 'd'}));
    EXPECT_EQ(entryCount(dir), 1u);

    StagedFile staged;
    ASSERT_TRUE(staged.create(path, error)) << error;
    ASSERT_TRUE(staged.writeAll({'n', 'e', 'w'}, error));
    EXPECT_EQ(fileBytes(path), (std::vector<unsigned char>{'o', 'l', 'd'}));
    ASSERT_TRUE(staged.commit(error)) << error;
    EXPECT_EQ(fileBytes(path), (std::vector<unsigned char>{'n', 'e', 'w'}));
    EXPECT_EQ(entryCount(dir), 1u);
    struct stat status {};
    ASSERT_EQ(stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0604u);

    // A new file gets the permissions any new file of the user gets.
    const mode_t mask = umask(022);
    StagedFile fresh;
    ASSERT_TRUE(fresh.create(dir.path("fresh.bin"), error) && fresh.commit(error)) << error;
    umask(mask);
    ASSERT_EQ(stat(dir.path("fresh.bin").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0644u);
}

TEST(StagedFile, LinksStayAndTheirTargetsAreWritten) {
    ScratchDirectory dir;
    std::filesystem::create_directory(dir.path("elsewhere"));
    writeBytes(dir.path("elsewhere/real.bin"), {'o', 'l', 'd'});
    std::filesystem::create_symlink("elsewhere/real.bin", dir.path("link.bin"));
    std::filesystem::create_symlink("elsewhere/later.bin", dir.path("dangling.bin"));
    std::string error;
    for (const char* link : {"link.bin", "dangling.bin"}) {
        StagedFile staged;
        ASSERT_TRUE(staged.create(dir.path(link), error) && staged.writeAll({'n', 'e', 'w'}, error) &&
                    staged.commit(error))
            << error;
        EXPECT_TRUE(std::filesystem::is_symlink(dir.path(link))) << link;
    }
    EXPECT_EQ(fileBytes(dir.path("elsewhere/real.bin")), (std::vector<unsigned char>{'n', 'e', 'w'}));
    EXPECT_EQ(fileBytes(dir.path("elsewhere/later.bin")), (std::vector<unsigned char>{'n', 'e', 'w'}));
}

TEST(StagedFile, FoldersMissingFoldersAndReadOnlyFilesAreRefusedByName) {
    ScratchDirectory dir;
    StagedFile staged;
    std::string error;
    EXPECT_FALSE(staged.create(dir.path(""), error));
    EXPECT_EQ(error, "cannot create " + dir.path("") + ": it is a folder");
    EXPECT_FALSE(staged.create(dir.path("none/out.wav"), error));
    EXPECT_EQ(error, "cannot create " + dir.path("none/out.wav") + ": No such file or directory");
    EXPECT_EQ(entryCount(dir), 0u);

    // A file without any write permission is refused to everyone, the superuser included; one
    // that only its owner may write is still its owner's to replace.
    writeBytes(dir.path("locked.wav"), {'o', 'l', 'd'});
    ASSERT_EQ(chmod(dir.path("locked.wav").c_str(), 0444), 0);
    EXPECT_FALSE(staged.create(dir.path("locked.wav"), error));
    EXPECT_EQ(error, "cannot write " + dir.path("locked.wav") + ": Permission denied");
    EXPECT_EQ(entryCount(dir), 1u);
    EXPECT_EQ(fileBytes(dir.path("locked.wav")), (std::vector<unsigned char>{'o', 'l', 'd'}));

    writeBytes(dir.path("owners.wav"), {'o', 'l', 'd'});
    ASSERT_EQ(chmod(dir.path("owners.wav").c_str(), 0600), 0);
    EXPECT_TRUE(staged.create(dir.path("owners.wav"), error)) << error;
    staged.discard();
    EXPECT_EQ(entryCount(dir), 2u);
}

} // namespace
