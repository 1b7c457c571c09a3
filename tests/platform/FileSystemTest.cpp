#include "platform/FileSystem.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/FileTime.h"
#include "platform/LastError.h"
#include "platform/ScratchFolder.h"

namespace tavopix {
namespace {

using test::ScratchFolder;

void SetModificationTime(const std::string& path, std::int64_t seconds, long nanoseconds) {
    timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

TEST(FileTime, CountsTicksFrom1601) {
    EXPECT_EQ(FileTimeFromUnix(0, 0), 116'444'736'000'000'000u);
    EXPECT_EQ(FileTimeFromUnix(1, 250), 116'444'736'010'000'002u);
    EXPECT_EQ(FileTimeFromUnix(-11'644'473'601, 0), 0u);
}

TEST(FileSystem, AttributesOfFilesAndFolders) {
    ScratchFolder folder;
    std::string file = folder.Write("a.jpg", "12345");
    SetModificationTime(file, 1'204'445'109, 123'456'789);  // 2008-03-02 08:05:09.123456789

    FileAttributes attributes;
    ASSERT_TRUE(ReadFileAttributes(file, attributes));
    EXPECT_FALSE(attributes.isDirectory);
    EXPECT_EQ(attributes.size, 5u);
    EXPECT_EQ(attributes.lastWriteTime, FileTimeFromUnix(1'204'445'109, 123'456'700));

    ASSERT_TRUE(ReadFileAttributes(folder.Path(), attributes));
    EXPECT_TRUE(attributes.isDirectory);
    EXPECT_EQ(attributes.size, 0u);
    EXPECT_TRUE(PathExists(file));
    EXPECT_TRUE(PathExists(folder.Path()));
}

TEST(FileSystem, MissingPathsLeaveTheOutputAndSayWhy) {
    ScratchFolder folder;
    FileAttributes attributes;
    attributes.size = 77;
    EXPECT_FALSE(ReadFileAttributes(folder.Path("missing.jpg"), attributes));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(attributes.size, 77u);
    EXPECT_FALSE(ReadFileAttributes("", attributes));
    EXPECT_FALSE(PathExists(folder.Path("missing.jpg")));
    EXPECT_FALSE(PathExists(""));
}

TEST(FileSystem, MakeDirectoryReportsAnExistingFolderAs183) {
    ScratchFolder folder;
    std::string made = folder.Path("iconsdb");
    ASSERT_TRUE(MakeDirectory(made));
    EXPECT_FALSE(MakeDirectory(made));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_FALSE(MakeDirectory(folder.Path("no/such/parent")));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(MakeDirectory(""));
}

TEST(FileSystem, RemoveFileDeletesFilesOnly) {
    ScratchFolder folder;
    std::string file = folder.Write("~uploadtmp.jpg", "x");
    EXPECT_TRUE(RemoveFile(file));
    EXPECT_FALSE(PathExists(file));
    EXPECT_FALSE(RemoveFile(file));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(RemoveFile(folder.Path()));
    EXPECT_TRUE(PathExists(folder.Path()));
}

}  // namespace
}  // namespace tavopix
