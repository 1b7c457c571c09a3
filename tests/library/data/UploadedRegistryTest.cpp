#include "library/data/UploadedRegistry.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "app/AppContext.h"
#include "library/LibraryFiles.h"

namespace tavopix {
namespace {

using test::ReadBytes;
using test::TempFolder;
using test::Utf16File;
using test::WriteBytes;
using Write = UploadedRegistry::Write;
using Paths = std::vector<std::u16string>;

class UploadedRegistryTest : public ::testing::Test {
protected:
    std::string Native() const { return folder_.Native("uploadedImg.dat"); }
    bool FileExists() const { return std::filesystem::exists(Native()); }

    TempFolder folder_;
    std::vector<std::u16string> shown_;
    UploadedRegistry registry_{folder_.File("uploadedImg.dat"),
                               [this](std::u16string_view text) { shown_.emplace_back(text); }};
};

TEST_F(UploadedRegistryTest, EmptyRegistryIsWrittenAsTheMarkAlone) {
    ASSERT_TRUE(registry_.Save(Write::On));
    EXPECT_EQ(ReadBytes(Native()), "\xFF\xFE");
    EXPECT_EQ(shown_, (Paths{u"(0)"}));
}

TEST_F(UploadedRegistryTest, SavedEntriesAreSortedByCodeUnitsWithCrLf) {
    EXPECT_TRUE(registry_.Add(u"b.jpg"));
    EXPECT_TRUE(registry_.Add(u"a.jpg"));
    EXPECT_TRUE(registry_.Add(u"B.jpg"));
    EXPECT_TRUE(registry_.Add(u"%mypic%\u65C5\u884C/1.jpg"));
    EXPECT_TRUE(registry_.Add(u"a.jpg"));
    // Add neither writes nor shows the count.
    EXPECT_FALSE(FileExists());
    EXPECT_TRUE(shown_.empty());
    EXPECT_EQ(registry_.Count(), 4u);

    EXPECT_TRUE(registry_.Save(Write::Off));
    EXPECT_FALSE(FileExists());
    ASSERT_TRUE(registry_.Save(Write::On));
    EXPECT_EQ(ReadBytes(Native()),
              Utf16File(u"%mypic%\u65C5\u884C/1.jpg\r\nB.jpg\r\na.jpg\r\nb.jpg\r\n"));
    EXPECT_EQ(shown_, (Paths{u"(4)", u"(4)"}));
}

TEST_F(UploadedRegistryTest, LoadCollapsesRepeatsAndSkipsEmptyLines) {
    WriteBytes(Native(), Utf16File(u"x\r\n\r\nx\r\n"));
    ASSERT_TRUE(registry_.Load());
    EXPECT_EQ(registry_.Count(), 1u);
    EXPECT_TRUE(registry_.Contains(u"x"));
    EXPECT_EQ(shown_, (Paths{u"(1)"}));
    // Loading only shows the count; the file stays as it was.
    EXPECT_EQ(ReadBytes(Native()), Utf16File(u"x\r\n\r\nx\r\n"));
}

TEST_F(UploadedRegistryTest, LoadKeepsBlanksAndDropsTextAfterTheLastLf) {
    WriteBytes(Native(), Utf16File(u"a.jpg \r\nLF only.jpg\nlast.jpg"));
    ASSERT_TRUE(registry_.Load());
    EXPECT_TRUE(registry_.Contains(u"a.jpg "));
    EXPECT_FALSE(registry_.Contains(u"a.jpg"));
    EXPECT_TRUE(registry_.Contains(u"LF only.jpg"));
    EXPECT_FALSE(registry_.Contains(u"last.jpg"));
    EXPECT_EQ(registry_.Count(), 2u);
}

TEST_F(UploadedRegistryTest, LoadReadsFilesWithoutMarkAndWithAnOddByte) {
    std::u16string text;
    for (char16_t c = u'a'; c < u'a' + 12; ++c) {
        text += std::u16string(1, c) + u".jpg\r\n";
    }
    WriteBytes(Native(), Utf16File(text).substr(2) + "\x62");
    ASSERT_TRUE(registry_.Load());
    EXPECT_TRUE(registry_.Contains(u"a.jpg"));
    EXPECT_TRUE(registry_.Contains(u"l.jpg"));
    EXPECT_EQ(shown_, (Paths{u"(12)"}));
}

TEST_F(UploadedRegistryTest, FailedLoadLeavesTheDisplayAndTheSetAlone) {
    EXPECT_FALSE(registry_.Load());
    WriteBytes(Native(), "");
    EXPECT_FALSE(registry_.Load());
    EXPECT_TRUE(shown_.empty());
    EXPECT_EQ(registry_.Count(), 0u);
}

TEST_F(UploadedRegistryTest, LoadAddsToEntriesAlreadyHeld) {
    EXPECT_TRUE(registry_.Add(u"kept.jpg"));
    WriteBytes(Native(), Utf16File(u"file.jpg\r\n"));
    ASSERT_TRUE(registry_.Load());
    EXPECT_TRUE(registry_.Contains(u"kept.jpg"));
    EXPECT_TRUE(registry_.Contains(u"file.jpg"));
}

TEST_F(UploadedRegistryTest, PathsThatCannotBeLinesAreRefused) {
    EXPECT_FALSE(registry_.Add(u""));
    EXPECT_FALSE(registry_.Add(u"two\nlines.jpg"));
    EXPECT_FALSE(registry_.Add(u"cr\r.jpg"));
    EXPECT_EQ(registry_.Count(), 0u);
}

TEST_F(UploadedRegistryTest, RemoveRewritesTheFileEvenForAnAbsentPath) {
    EXPECT_TRUE(registry_.Add(u"a.jpg"));
    EXPECT_TRUE(registry_.Add(u"b.jpg"));
    ASSERT_TRUE(registry_.Remove(u"a.jpg"));
    EXPECT_EQ(ReadBytes(Native()), Utf16File(u"b.jpg\r\n"));
    std::filesystem::remove(Native());
    ASSERT_TRUE(registry_.Remove(u"never-there.jpg"));
    EXPECT_EQ(ReadBytes(Native()), Utf16File(u"b.jpg\r\n"));
    EXPECT_EQ(shown_, (Paths{u"(1)", u"(1)"}));
}

TEST_F(UploadedRegistryTest, FailedWriteKeepsTheSet) {
    UploadedRegistry elsewhere(folder_.File("missing-folder/uploadedImg.dat"));
    EXPECT_TRUE(elsewhere.Add(u"a.jpg"));
    EXPECT_FALSE(elsewhere.Remove(u"b.jpg"));
    EXPECT_FALSE(elsewhere.Save(Write::On));
    EXPECT_TRUE(elsewhere.Contains(u"a.jpg"));
}

class UploadedRegistryPruneTest : public UploadedRegistryTest {
protected:
    void SetUp() override {
        savedPictures_ = appContext.myPicturesDir;
        appContext.myPicturesDir = folder_.Folder() + u"pictures/";
        std::filesystem::create_directory(folder_.Native("pictures"));
        WriteBytes(folder_.Native("pictures/kept.jpg"), "jpeg");
        WriteBytes(folder_.Native("here.jpg"), "jpeg");
    }
    void TearDown() override { appContext.myPicturesDir = savedPictures_; }

    std::u16string savedPictures_;
};

TEST_F(UploadedRegistryPruneTest, DropsMissingFilesVisitsTheRestAndRewrites) {
    const std::u16string here = folder_.File("here.jpg");
    EXPECT_TRUE(registry_.Add(u"%mypic%kept.jpg"));
    EXPECT_TRUE(registry_.Add(u"%mypic%gone.jpg"));
    EXPECT_TRUE(registry_.Add(u"%temp%x.jpg"));
    EXPECT_TRUE(registry_.Add(here));
    EXPECT_TRUE(registry_.Add(folder_.File("deleted-outside.jpg")));

    Paths visited;
    registry_.PruneMissing([&](const std::u16string& path) { visited.push_back(path); });
    EXPECT_EQ(visited, (Paths{u"%mypic%kept.jpg", here}));
    EXPECT_EQ(registry_.Count(), 2u);
    EXPECT_EQ(ReadBytes(Native()), Utf16File(u"%mypic%kept.jpg\r\n" + here + u"\r\n"));
    EXPECT_EQ(shown_, (Paths{u"(2)"}));
}

TEST_F(UploadedRegistryPruneTest, NothingMissingWritesNothing) {
    EXPECT_TRUE(registry_.Add(u"%mypic%kept.jpg"));
    Paths visited;
    registry_.PruneMissing([&](const std::u16string& path) { visited.push_back(path); });
    EXPECT_EQ(visited, (Paths{u"%mypic%kept.jpg"}));
    EXPECT_FALSE(FileExists());
    EXPECT_TRUE(shown_.empty());
}

}  // namespace
}  // namespace tavopix
