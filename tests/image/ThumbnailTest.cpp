// Thumbnails and their cache names, and the header-only picture details.
#include "image/Thumbnail.h"

#include <gtest/gtest.h>

#include "TestPictures.h"
#include "app/AppContext.h"
#include "app/TextConvert.h"
#include "image/PictureDetails.h"
#include "image/PictureFile.h"
#include "image/PictureHeader.h"
#include "platform/FileSystem.h"

namespace tavopix {
namespace {

using test::Gradient;

class Thumbnails : public test::PictureFolder {
protected:
    // The thumbnail of a picture written under `name`.
    Thumbnail Make(const std::string& name, const Bytes& bytes) {
        return MakeFileThumbnail(Write(name, bytes));
    }

    // The size of the JPEG the thumbnail names (its source is percent-escaped; these paths are
    // ASCII).
    static std::optional<PictureHeader> ThumbnailHeader(const Thumbnail& thumbnail) {
        return ReadPictureHeaderOfFile(Utf8(thumbnail.source));
    }

    static void ExpectError(const Thumbnail& thumbnail) {
        EXPECT_FALSE(thumbnail.ok);
        EXPECT_EQ(thumbnail.source, appContext.errorImagePath);
        EXPECT_EQ(thumbnail.width, 160);
        EXPECT_EQ(thumbnail.height, 115);
    }
};

TEST(PathChecksumTest, FoldsTheSumAndComplements) {
    EXPECT_EQ(PathChecksum(u""), 0xFFFF);
    EXPECT_EQ(PathChecksum(u"a"), static_cast<std::uint16_t>(~0x61));
    // 0x8000 + 0x8000 ends exactly at 0x10000, which is not folded: its low 16 bits are 0.
    EXPECT_EQ(PathChecksum(u"\x8000\x8000"), 0xFFFF);
    // 0xFFFF + 0xFFFF + 2 = 0x20000 folds to 0x0002.
    EXPECT_EQ(PathChecksum(u"\xFFFF\xFFFF\x0002"), static_cast<std::uint16_t>(~0x0002));
}

TEST_F(Thumbnails, CacheNameIsTimeSizeAndChecksumInHex) {
    const std::u16string path = Write("a.jpg", Bytes(0x12345, 'x'));
    FileAttributes attributes;
    ASSERT_TRUE(ReadFileAttributes(Utf8(path), attributes));
    char expected[64];
    std::snprintf(expected, sizeof expected, "%08x2345%04x.jpg",
                  static_cast<unsigned>(attributes.lastWriteTime), PathChecksum(path));
    std::u16string name;
    ASSERT_TRUE(ThumbnailCacheName(path, name));
    EXPECT_EQ(name, appContext.iconCacheDir + FromUtf8(expected));
    EXPECT_FALSE(ThumbnailCacheName(Path("missing.jpg"), name));
}

TEST_F(Thumbnails, LargeJpegIsScaledAndCachedThenOnlyLoaded) {
    const std::u16string path = Write("photo.jpg", test::MakeJpeg(Gradient(4000, 3000)));
    const Thumbnail thumbnail = MakeFileThumbnail(path);
    ASSERT_TRUE(thumbnail.ok);
    EXPECT_EQ(thumbnail.width, 280);
    EXPECT_EQ(thumbnail.height, 210);
    std::u16string cacheName;
    ASSERT_TRUE(ThumbnailCacheName(path, cacheName));
    EXPECT_EQ(thumbnail.source, cacheName);
    const std::optional<PictureHeader> made = ThumbnailHeader(thumbnail);
    ASSERT_TRUE(made);
    EXPECT_EQ(made->width, 280u);
    EXPECT_EQ(made->height, 210u);
    // A second call only measures the cached file.
    ASSERT_TRUE(ReplaceFile(Utf8(cacheName), test::MakeJpeg(Gradient(12, 9))));
    Thumbnail again = MakeFileThumbnail(path);
    ASSERT_TRUE(again.ok);
    EXPECT_EQ(again.width, 12);
    EXPECT_EQ(again.height, 9);
    // An unreadable cached file still counts, at 0 x 0.
    ASSERT_TRUE(ReplaceFile(Utf8(cacheName), Bytes{'?'}));
    again = MakeFileThumbnail(path);
    EXPECT_TRUE(again.ok);
    EXPECT_EQ(again.width, 0);
    EXPECT_EQ(again.source, cacheName);
}

TEST_F(Thumbnails, ScalingRules) {
    const std::vector<std::tuple<int, int, int, int>> cases = {
        {3000, 40, 280, 4},  // 3.7 raised to the minimum of 4
        {40, 3000, 4, 280},   {200, 300, 186, 280}, {281, 281, 280, 280},
        {280, 280, 280, 280}, {500, 100, 280, 56}};
    for (const auto& [width, height, thumbWidth, thumbHeight] : cases) {
        int w = width;
        int h = height;
        ScaleToThumbnail(w, h);
        EXPECT_EQ(w, thumbWidth) << width << "x" << height;
        EXPECT_EQ(h, thumbHeight) << width << "x" << height;
    }
    const Thumbnail wide = Make("wide.JPG", test::MakeJpeg(Gradient(3000, 40)));
    ASSERT_TRUE(wide.ok);
    EXPECT_EQ(wide.width, 280);
    EXPECT_EQ(wide.height, 4);
    ASSERT_TRUE(ThumbnailHeader(wide));
    EXPECT_EQ(ThumbnailHeader(wide)->height, 4u);
}

TEST_F(Thumbnails, SmallJpegAndPngAreTheirOwnThumbnails) {
    const Thumbnail png = Make("small.png", test::MakePng(Gradient(200, 150, 4)));
    ASSERT_TRUE(png.ok);
    EXPECT_EQ(png.source, Path("small.png"));
    EXPECT_EQ(png.width, 200);
    EXPECT_EQ(png.height, 150);
    const Thumbnail jpeg = Make("small.JPG", test::MakeJpeg(Gradient(279, 280)));  // 78,120
    ASSERT_TRUE(jpeg.ok);
    EXPECT_EQ(jpeg.source, Path("small.JPG"));
    EXPECT_TRUE(CacheFiles().empty());
}

TEST_F(Thumbnails, SmallBmpGifAndTiffGetACachedJpeg) {
    const std::vector<std::pair<std::string, Bytes>> cases = {
        {"small.bmp", test::MakeBmp(Gradient(200, 150))},
        {"small.gif", test::MakeGif(200, 150, 3, true)},
        {"small.tif", test::MakeTiff(Gradient(200, 150, 4))},
        {"bmp-inside.png", test::MakeBmp(Gradient(200, 150))}};
    for (const auto& [name, bytes] : cases) {
        const Thumbnail thumbnail = Make(name, bytes);
        ASSERT_TRUE(thumbnail.ok) << name;
        EXPECT_NE(thumbnail.source, Path(name)) << name;
        EXPECT_EQ(thumbnail.width, 200);
        EXPECT_EQ(thumbnail.height, 150);
        const std::optional<PictureHeader> made = ThumbnailHeader(thumbnail);
        ASSERT_TRUE(made) << name;
        EXPECT_EQ(made->format, PictureFormat::Jpeg);
        EXPECT_EQ(made->width, 200u);
    }
}

TEST_F(Thumbnails, PathIsPercentEscaped) {
    const Thumbnail thumbnail = Make(Utf8(u"相册.png"), test::MakePng(Gradient(20, 20)));
    ASSERT_TRUE(thumbnail.ok);
    EXPECT_NE(thumbnail.source.find(u"%E7%9B%B8%E5%86%8C.png"), std::u16string::npos);
}

TEST_F(Thumbnails, BadPicturesGetTheErrorPicture) {
    const Bytes jpeg = test::MakeJpeg(Gradient(640, 480));
    const std::vector<std::pair<std::string, Bytes>> cases = {
        {"empty.jpg", {}},
        {"cut.jpg", test::Truncated(jpeg, jpeg.size() / 2)},
        {"cut-small.png", test::Truncated(test::MakePng(Gradient(50, 50)), 200)},
        {"text.png", Bytes{'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c', 't', 'u', 'r', 'e'}},
        {"cut.gif", test::Truncated(test::MakeGif(300, 300), 300)},
        {"cut.tif", test::Truncated(test::MakeTiff(Gradient(300, 300)), 5000)},
        {"cut.bmp", test::Truncated(test::MakeBmp(Gradient(300, 300)), 5000)}};
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        ExpectError(Make(name, bytes));
    }
    ExpectError(MakeFileThumbnail(Path("missing.jpg")));
    EXPECT_TRUE(CacheFiles().empty());
}

TEST_F(Thumbnails, DetailsComeFromTheHeaderAlone) {
    // Only the header is there; the sizes are still read.
    const Bytes jpeg = test::MakeJpeg(Gradient(1234, 567));
    PictureDetails details;
    details.realPath = Write("cut.jpg", test::Truncated(jpeg, 700));
    ASSERT_TRUE(ReadPictureDetails(details));
    EXPECT_EQ(details.name, u"cut.jpg");
    EXPECT_EQ(details.width, 1234);
    EXPECT_EQ(details.height, 567);
    EXPECT_EQ(details.size, 700u);
    EXPECT_NE(details.lastWriteTime, 0u);

    details.realPath = Write("note.gif", Bytes{'h', 'i'});
    ASSERT_TRUE(ReadPictureDetails(details));
    EXPECT_EQ(details.width, 0);
    EXPECT_EQ(details.height, 0);

    PictureDetails missing;
    missing.realPath = Path("missing.png");
    missing.width = 5;
    EXPECT_FALSE(ReadPictureDetails(missing));
    EXPECT_EQ(missing.width, 5);
}

}  // namespace
}  // namespace tavopix
