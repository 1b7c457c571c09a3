#include "platform/WholeFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/LastError.h"
#include "platform/ScratchFolder.h"

namespace tavopix {
namespace {

using test::ScratchFolder;

int CountEntries(const std::string& folder) {
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) {
        ++entries;
    }
    return entries;
}

TEST(WholeFile, WritesAtomicallyWithTheAskedPermissions) {
    ScratchFolder folder;
    std::string path = folder.Path("UserInfo.dat");
    ASSERT_TRUE(
        WriteFileAtomically(path, std::string_view("\xFF\xFE\0a", 4), FilePermissions::OwnerOnly));
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(path, bytes));
    EXPECT_EQ(bytes, std::string_view("\xFF\xFE\0a", 4));

    ASSERT_TRUE(WriteFileAtomically(path, "shorter"));
    ASSERT_TRUE(ReadWholeFile(path, bytes));
    EXPECT_EQ(bytes, "shorter");
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0600, 0600u);
    EXPECT_EQ(info.st_mode & 0111, 0u);

    // No temporary file stays behind.
    EXPECT_EQ(CountEntries(folder.Path()), 1);
}

TEST(WholeFile, ReplacesTheTargetOfALink) {
    ScratchFolder folder;
    std::filesystem::create_directory(folder.Path("real"));
    folder.Write("real/tavopix.ini", "old");
    std::filesystem::create_symlink(folder.Path("real/tavopix.ini"), folder.Path("tavopix.ini"));
    ASSERT_TRUE(WriteFileAtomically(folder.Path("tavopix.ini"), "new"));
    EXPECT_TRUE(std::filesystem::is_symlink(folder.Path("tavopix.ini")));
    EXPECT_EQ(folder.Read("real/tavopix.ini"), "new");
    EXPECT_EQ(CountEntries(folder.Path("real")), 1);
}

TEST(WholeFile, FailedWritesKeepTheOldFile) {
    ScratchFolder folder;
    EXPECT_FALSE(WriteFileAtomically(folder.Path("missing/tavopix.ini"), "x"));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(WriteFileAtomically("", "x"));

    // A folder in the file's place is neither replaced nor emptied.
    std::filesystem::create_directory(folder.Path("taken"));
    folder.Write("taken/inside", "keep");
    EXPECT_FALSE(WriteFileAtomically(folder.Path("taken"), "x"));
    EXPECT_EQ(folder.Read("taken/inside"), "keep");
    EXPECT_EQ(CountEntries(folder.Path()), 1);
}

TEST(WholeFile, ReadsRegularFilesOnly) {
    ScratchFolder folder;
    std::string bytes = "untouched";
    EXPECT_FALSE(ReadWholeFile(folder.Path("missing"), bytes));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(ReadWholeFile(folder.Path(), bytes));
    // A pipe with no writer must not block the reader.
    ASSERT_EQ(::mkfifo(folder.Path("pipe").c_str(), 0600), 0);
    EXPECT_FALSE(ReadWholeFile(folder.Path("pipe"), bytes));
    EXPECT_EQ(bytes, "untouched");

    ASSERT_TRUE(ReadWholeFile(folder.Write("empty", ""), bytes));
    EXPECT_EQ(bytes, "");
    std::string large(300'000, 'z');
    ASSERT_TRUE(ReadWholeFile(folder.Write("large", large), bytes));
    EXPECT_EQ(bytes, large);
}

}  // namespace
}  // namespace tavopix
