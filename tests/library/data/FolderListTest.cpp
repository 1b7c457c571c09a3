#include "library/data/FolderList.h"

#include <gtest/gtest.h>

#include "library/LibraryFiles.h"

namespace tavopix {
namespace {

using test::ReadBytes;
using test::TempFolder;
using test::Utf16File;
using test::WriteBytes;
using Entries = std::vector<std::u16string>;

class FolderListTest : public ::testing::Test {
protected:
    std::string Native() const { return folder_.Native("SetPathCfg.dat"); }
    FolderList MakeList() const { return FolderList(folder_.File("SetPathCfg.dat")); }

    TempFolder folder_;
};

TEST_F(FolderListTest, SaveWritesSortedEntriesEachEndedByLfOnly) {
    FolderList list = MakeList();
    ASSERT_TRUE(list.Include(u"/media/photos/"));
    ASSERT_TRUE(list.Include(u"%mypic%Trip/"));
    ASSERT_TRUE(list.Include(u"%destop%"));
    ASSERT_TRUE(list.Include(u"/Media/"));
    ASSERT_TRUE(list.Save());
    EXPECT_EQ(ReadBytes(Native()), Utf16File(u"%destop%\n%mypic%Trip/\n/Media/\n/media/photos/\n"));
    EXPECT_EQ(list.Entries(),
              (Entries{u"%destop%", u"%mypic%Trip/", u"/Media/", u"/media/photos/"}));
}

TEST_F(FolderListTest, LoadReplacesTheListWithTheFileLines) {
    WriteBytes(Native(), Utf16File(u"\r\n/b/\r\n\n/a/\r\r\n/b/\n/not-a-line/"));
    FolderList list = MakeList();
    ASSERT_TRUE(list.Include(u"/dropped/"));
    ASSERT_TRUE(list.Load());
    // Empty and CR-only lines are skipped, repeats stay, text after the last LF is not a line.
    EXPECT_EQ(list.Entries(), (Entries{u"/b/", u"/a/", u"/b/"}));
}

TEST_F(FolderListTest, MissingOrEmptyFileGivesAnEmptyList) {
    FolderList list = MakeList();
    ASSERT_TRUE(list.Include(u"/a/"));
    EXPECT_FALSE(list.Load());
    EXPECT_TRUE(list.empty());
    WriteBytes(Native(), "");
    ASSERT_TRUE(list.Include(u"/a/"));
    EXPECT_FALSE(list.Load());
    EXPECT_TRUE(list.empty());
}

TEST_F(FolderListTest, CoversAndCheckAttributeArePrefixTests) {
    FolderList list = MakeList();
    ASSERT_TRUE(list.Include(u"%mypic%Trip/"));
    EXPECT_TRUE(list.Covers(u"%mypic%Trip/"));
    EXPECT_TRUE(list.Covers(u"%mypic%Trip/Day1/"));
    EXPECT_FALSE(list.Covers(u"%mypic%"));
    EXPECT_FALSE(list.Covers(u"%mypic%trip/"));
    EXPECT_FALSE(list.Covers(u"%mypic%Trips/"));

    EXPECT_EQ(list.CheckAttributeFor(u"%mypic%"), u"check=\"mixed\"");
    EXPECT_EQ(list.CheckAttributeFor(u"%mypic%Trip/"), u"check=\"on\"");
    EXPECT_EQ(list.CheckAttributeFor(u"%mypic%Trip/Day1/"), u"check=\"on\"");
    EXPECT_EQ(list.CheckAttributeFor(u"%mypic%Home/"), u"check=\"off\"");
    EXPECT_EQ(list.CheckAttributeFor(u"%mydoc%"), u"check=\"off\"");
}

TEST_F(FolderListTest, IncludeReplacesEntriesAboveAndBelowExcludeOnlyBelow) {
    FolderList list = MakeList();
    ASSERT_TRUE(list.Include(u"/data/a/x/"));
    ASSERT_TRUE(list.Include(u"/data/a/y/"));
    ASSERT_TRUE(list.Include(u"/data/b/"));
    ASSERT_TRUE(list.Include(u"/data/a/"));
    EXPECT_EQ(list.Entries(), (Entries{u"/data/b/", u"/data/a/"}));
    ASSERT_TRUE(list.Include(u"/data/a/x/"));
    EXPECT_EQ(list.Entries(), (Entries{u"/data/b/", u"/data/a/x/"}));
    ASSERT_TRUE(list.Include(u"/data/a/x/"));
    EXPECT_EQ(list.Entries(), (Entries{u"/data/b/", u"/data/a/x/"}));
    ASSERT_TRUE(list.Exclude(u"/data/a/"));
    EXPECT_EQ(list.Entries(), (Entries{u"/data/b/"}));
    // Excluding below an entry leaves the entry: the list holds no exceptions.
    ASSERT_TRUE(list.Exclude(u"/data/b/c/"));
    EXPECT_EQ(list.Entries(), (Entries{u"/data/b/"}));
}

TEST_F(FolderListTest, PathsThatCannotBeStoredChangeNothing) {
    FolderList list = MakeList();
    ASSERT_TRUE(list.Include(u"/a/"));
    // An empty path would replace every entry and then vanish from the file.
    EXPECT_FALSE(list.Include(u""));
    EXPECT_FALSE(list.Exclude(u""));
    // A line break would come back from the file as other folders.
    EXPECT_FALSE(list.Include(u"/a/new\nline/"));
    EXPECT_FALSE(list.Include(u"/cr\r/"));
    EXPECT_EQ(list.Entries(), (Entries{u"/a/"}));
}

TEST_F(FolderListTest, SaveReportsAFailedWrite) {
    FolderList list(folder_.File("missing-folder/SetPathCfg.dat"));
    ASSERT_TRUE(list.Include(u"/b/"));
    EXPECT_FALSE(list.Save());
    EXPECT_EQ(list.Entries(), (Entries{u"/b/"}));
}

}  // namespace
}  // namespace tavopix
