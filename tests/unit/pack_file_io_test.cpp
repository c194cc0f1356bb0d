// The packaging tool's host file access: paths resolved against the manifest's folder, files
// replaced whole, folders created with their parents, and file times set and read as UTC.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>

#include "pack/file_io.h"
#include "pack/pack_error.h"
#include "tests/support/scratch_test.h"

namespace {

TEST(PackFileIo, FolderOfAndResolvePath) {
    struct {
        const char* path;
        const char* folder;
    } folders[] = {{"m.toml", "."},    {"/m.toml", "/"},    {"a/b/m.toml", "a/b"},
                   {"a//m.toml", "a"}, {"/x/m.toml", "/x"}, {"a/b/", "a/b"}};
    for (const auto& f : folders) EXPECT_EQ(FolderOf(f.path), f.folder) << f.path;
    struct {
        const char *folder, *path, *resolved;
    } joins[] = {{".", "x.txt", "./x.txt"},  {"/", "x.txt", "/x.txt"},
                 {"a/", "x.txt", "a/x.txt"}, {"a", "/abs/x.txt", "/abs/x.txt"},
                 {"", "x.txt", "x.txt"},     {"a/b", "c/x.txt", "a/b/c/x.txt"}};
    for (const auto& j : joins) EXPECT_EQ(ResolvePath(j.folder, j.path), j.resolved) << j.path;
}

using FileIoTest = ScratchTest<>;

TEST_F(FileIoTest, WriteReplacesAnExistingFileAndLeavesNoTemporary) {
    std::string path = dir_ + "/out.bin";
    WriteFileBytes(path, std::vector<uint8_t>(1000, 1));
    WriteFileBytes(path, std::vector<uint8_t>{7, 8});
    EXPECT_EQ(ReadFileBytes(path), (std::vector<uint8_t>{7, 8}));
    struct stat st;
    EXPECT_NE(stat((path + ".partial").c_str(), &st), 0);
}

TEST_F(FileIoTest, MakeDirectoriesCreatesParentsAndRefusesAFileInTheWay) {
    MakeDirectories(dir_ + "/a/b/c/");
    MakeDirectories(dir_ + "/a/b/c");  // already there
    WriteFileBytes(dir_ + "/a/b/c/f", {1});
    EXPECT_THROW(MakeDirectories(dir_ + "/a/b/c/f/g"), PackError);
}

TEST_F(FileIoTest, TimesAreSetAndReadAsUtc) {
    std::string path = dir_ + "/t";
    WriteFileBytes(path, {1, 2, 3});
    setenv("TZ", "America/New_York", 1);  // a zone must not shift either direction
    tzset();
    SetFileTimeUtc(path, DosDateTime{2001, 10, 11, 17, 42, 12});
    FileFacts facts;
    ASSERT_TRUE(ReadFileFacts(path, &facts));
    unsetenv("TZ");
    tzset();
    EXPECT_EQ(facts.size, 3u);
    const DosDateTime& m = facts.modified;
    EXPECT_EQ((std::vector<int>{m.year, m.month, m.day, m.hour, m.minute, m.second}),
              (std::vector<int>{2001, 10, 11, 17, 42, 12}));
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, 1002822132);
    EXPECT_FALSE(ReadFileFacts(dir_, &facts));
    EXPECT_FALSE(ReadFileFacts(dir_ + "/missing", &facts));
}

}  // namespace
