#include "platform/DirectoryListing.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <vector>

#include "platform/FileTime.h"
#include "platform/LastError.h"
#include "platform/ScratchFolder.h"

namespace tavopix {
namespace {

using test::ScratchFolder;

std::map<std::string, DirectoryEntry> ListAll(const std::string& folder, EntryDetails details) {
    std::map<std::string, DirectoryEntry> entries;
    DirectoryListing listing(folder, details);
    EXPECT_TRUE(listing.IsOpen());
    DirectoryEntry entry;
    while (listing.Next(entry)) {
        entries[entry.name] = entry;
    }
    EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
    return entries;
}

class DirectoryListingTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder.Write("a.jpg", "123");
        folder.Write("名字 with blanks.png", "");
        std::filesystem::create_directory(folder.Path("sub"));
        std::filesystem::create_directory_symlink(folder.Path("sub"), folder.Path("link-to-sub"));
        std::filesystem::create_symlink(folder.Path("a.jpg"), folder.Path("link-to-a"));
        std::filesystem::create_symlink(folder.Path("gone"), folder.Path("dangling"));
        timespec times[2] = {{1'204'445'109, 0}, {1'204'445'109, 0}};
        ::utimensat(AT_FDCWD, folder.Path("a.jpg").c_str(), times, 0);
    }
    ScratchFolder folder;
};

TEST_F(DirectoryListingTest, ListsNamesAndKindsWithoutDotEntries) {
    auto entries = ListAll(folder.Path(), EntryDetails::NameAndKind);
    ASSERT_EQ(entries.size(), 6u);
    EXPECT_EQ(entries.count("."), 0u);
    EXPECT_EQ(entries.count(".."), 0u);
    EXPECT_FALSE(entries["a.jpg"].isDirectory);
    EXPECT_FALSE(entries["名字 with blanks.png"].isDirectory);
    EXPECT_TRUE(entries["sub"].isDirectory);
    EXPECT_FALSE(entries["sub"].isSymlink);
    EXPECT_TRUE(entries["link-to-sub"].isDirectory);
    EXPECT_TRUE(entries["link-to-sub"].isSymlink);
    EXPECT_FALSE(entries["link-to-a"].isDirectory);
    EXPECT_TRUE(entries["link-to-a"].isSymlink);
    EXPECT_FALSE(entries["dangling"].isDirectory);
    // Without details nothing more is asked of the file system.
    EXPECT_EQ(entries["a.jpg"].size, 0u);
    EXPECT_EQ(entries["a.jpg"].lastWriteTime, 0u);
}

TEST_F(DirectoryListingTest, FullDetailsGiveSizesAndTimesOfTheTargets) {
    auto entries = ListAll(folder.Path(), EntryDetails::Full);
    EXPECT_EQ(entries["a.jpg"].size, 3u);
    EXPECT_EQ(entries["a.jpg"].lastWriteTime, FileTimeFromUnix(1'204'445'109, 0));
    EXPECT_EQ(entries["link-to-a"].size, 3u);
    EXPECT_EQ(entries["sub"].size, 0u);
    EXPECT_EQ(entries["dangling"].size, 0u);
    EXPECT_TRUE(entries["dangling"].isSymlink);
}

TEST_F(DirectoryListingTest, AcceptsTheFolderWithOrWithoutTrailingSeparator) {
    std::string withSeparator = folder.Path("sub/");
    folder.Write("sub/x", "");
    EXPECT_EQ(ListAll(withSeparator, EntryDetails::NameAndKind).size(), 1u);
    EXPECT_EQ(ListAll(folder.Path("sub"), EntryDetails::NameAndKind).size(), 1u);
    EXPECT_TRUE(ListAll(folder.Path("link-to-sub"), EntryDetails::NameAndKind).count("x"));
}

TEST(DirectoryListing, NamesComeInCaseInsensitiveOrder) {
    ScratchFolder folder;
    // Made in an order that is neither the name order nor its reverse.
    for (const char* name : {"Day2", "b", "_x", "Ärger", "day10", "Day1", "a", "B", "ärmel", "A"}) {
        std::filesystem::create_directory(folder.Path(name));
    }
    std::vector<std::string> names;
    DirectoryListing listing(folder.Path());
    DirectoryEntry entry;
    while (listing.Next(entry)) {
        names.push_back(entry.name);
    }
    // Upper-case folding puts "_" after the letters; names that fold alike keep byte order.
    EXPECT_EQ(names, (std::vector<std::string>{"A", "a", "B", "b", "Day1", "day10", "Day2", "_x",
                                               "Ärger", "ärmel"}));
}

TEST(DirectoryListing, FolderThatCannotBeOpened) {
    ScratchFolder folder;
    folder.Write("file", "");
    for (const std::string& path : {folder.Path("missing/"), folder.Path("file"), std::string()}) {
        DirectoryListing listing(path);
        EXPECT_FALSE(listing.IsOpen()) << path;
        EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND) << path;
        DirectoryEntry entry;
        EXPECT_FALSE(listing.Next(entry));
    }
}

TEST(DirectoryListing, UnreadableFolderIsRefused) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "permissions do not bind the superuser";
    }
    ScratchFolder folder;
    std::filesystem::create_directory(folder.Path("closed"));
    ::chmod(folder.Path("closed").c_str(), 0);
    DirectoryListing listing(folder.Path("closed/"));
    EXPECT_FALSE(listing.IsOpen());
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

TEST(DirectoryListing, EmptyFolderEndsAtOnce) {
    ScratchFolder folder;
    EXPECT_TRUE(ListAll(folder.Path(), EntryDetails::Full).empty());
}

}  // namespace
}  // namespace tavopix
