#include "library/data/PictureFilter.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "library/LibraryFiles.h"

namespace tavopix {
namespace {

using test::ReadBytes;
using test::TempFolder;
using test::WriteBytes;

const std::string kStartBytes("\x01\0\0\0\x06\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0", 20);

TEST(PictureFilterFile, WritesTheTwentyByteLittleEndianRecord) {
    TempFolder folder;
    PictureFilter filter{kTypeJpeg | kTypePng, kSizeSmall | kSizeLarge, 0x01020304, {}};
    ASSERT_TRUE(SavePictureFilter(folder.File("ImgFilterCfg.dat"), filter));
    EXPECT_EQ(ReadBytes(folder.Native("ImgFilterCfg.dat")),
              std::string("\x05\0\0\0\x05\0\0\0\x04\x03\x02\x01\0\0\0\0\0\0\0\0", 20));

    ASSERT_TRUE(SavePictureFilter(folder.File("ImgFilterCfg.dat"), kStartPictureFilter));
    EXPECT_EQ(ReadBytes(folder.Native("ImgFilterCfg.dat")), kStartBytes);
    // Nothing is left beside the file.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Native("")),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(PictureFilterFile, ReadsTheFirstTwentyBytesAsTheyAre) {
    TempFolder folder;
    std::string bytes("\x0F\0\0\0\x07\0\0\0\xFF\xFF\xFF\xFF\x01\x02\x03\x04\x05\x06\x07\x08", 20);
    WriteBytes(folder.Native("f.dat"), bytes + "trailing bytes are ignored");
    PictureFilter filter;
    ASSERT_TRUE(LoadPictureFilter(folder.File("f.dat"), filter));
    EXPECT_EQ(filter.typeBits, 15u);
    EXPECT_EQ(filter.sizeBits, 7u);
    EXPECT_EQ(filter.dayCount, 0xFFFFFFFFu);
    // Reserved bytes survive a round trip, so rewriting a file changes nothing it held.
    ASSERT_TRUE(SavePictureFilter(folder.File("f.dat"), filter));
    EXPECT_EQ(ReadBytes(folder.Native("f.dat")), bytes);
}

TEST(PictureFilterFile, ShortMissingOrFolderFailsAndKeepsTheRecord) {
    TempFolder folder;
    const PictureFilter before = kSearchPictureFilter;
    PictureFilter filter = before;
    WriteBytes(folder.Native("short.dat"), kStartBytes.substr(0, 19));
    WriteBytes(folder.Native("empty.dat"), "");
    EXPECT_FALSE(LoadPictureFilter(folder.File("short.dat"), filter));
    EXPECT_FALSE(LoadPictureFilter(folder.File("empty.dat"), filter));
    EXPECT_FALSE(LoadPictureFilter(folder.File("missing.dat"), filter));
    EXPECT_FALSE(LoadPictureFilter(folder.Folder(), filter));
    EXPECT_EQ(filter, before);
}

TEST(PictureFilterFile, FailedWriteKeepsTheOldFile) {
    TempFolder folder;
    ASSERT_TRUE(SavePictureFilter(folder.File("f.dat"), kStartPictureFilter));
    EXPECT_FALSE(SavePictureFilter(folder.File("no-such-folder/f.dat"), kSearchPictureFilter));
    // A folder in the way of the file cannot be replaced; the write reports it.
    std::filesystem::create_directory(folder.Native("taken"));
    EXPECT_FALSE(SavePictureFilter(folder.File("taken"), kSearchPictureFilter));
    EXPECT_EQ(ReadBytes(folder.Native("f.dat")), kStartBytes);
}

}  // namespace
}  // namespace tavopix
