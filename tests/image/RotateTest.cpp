// Turning picture files in place: lossless JPEG turns, re-encoded ones at the source's
// quality, the other formats, and failures that leave the file as it was.
#include "image/PictureRotate.h"

#include <gtest/gtest.h>

#include "TestPictures.h"
#include "app/AppContext.h"
#include "app/TextConvert.h"
#include "image/PictureDecoder.h"
#include "image/PictureHeader.h"
#include "image/Thumbnail.h"

namespace tavopix {
namespace {

using test::Gradient;
using test::Psnr;

class Rotation : public test::PictureFolder {
protected:
    std::optional<Bitmap> DecodeFile(const std::u16string& path) const {
        const Bytes bytes = ReadBack(path);
        const std::optional<PictureHeader> header = ReadPictureHeader(bytes);
        return header ? DecodePicture(bytes, *header) : std::nullopt;
    }

    static bool Rotate(const std::u16string& path, RotateDirection direction) {
        return RotatePictureAndThumbnail(path, direction).ok;
    }
};

// A JPEG with an Exif segment after its start of image, as cameras write them. Copied into a
// buffer of the final size: GCC 12 at -O2 and above misreads range inserts into a short vector
// as writing out of bounds.
Bytes WithExif(const Bytes& jpeg) {
    return test::WithApp1(jpeg, std::string_view("Exif\0\0tavopix-test-marker", 26));
}

bool Contains(const Bytes& bytes, std::string_view text) {
    return std::search(bytes.begin(), bytes.end(), text.begin(), text.end()) != bytes.end();
}

TEST_F(Rotation, AlignedJpegTurnsLosslesslyAndKeepsItsMetadata) {
    const Bytes original = WithExif(test::MakeJpeg(Gradient(64, 48), 85));
    const std::u16string path = Write("a.jpg", original);
    const std::optional<Bitmap> before = DecodeFile(path);
    ASSERT_TRUE(before);

    const Thumbnail thumbnail = RotatePictureAndThumbnail(path, RotateDirection::Right);
    ASSERT_TRUE(thumbnail.ok);
    const std::optional<Bitmap> turned = DecodeFile(path);
    ASSERT_TRUE(turned);
    EXPECT_EQ(turned->width, 48);
    EXPECT_EQ(turned->height, 64);
    EXPECT_TRUE(Contains(ReadBack(path), "tavopix-test-marker"));
    // Small enough to be its own thumbnail, at the turned size.
    EXPECT_EQ(thumbnail.source, path);
    EXPECT_EQ(thumbnail.width, 48);
    EXPECT_EQ(thumbnail.height, 64);

    // Right and back left gives the very same pixels: nothing was re-encoded.
    ASSERT_TRUE(Rotate(path, RotateDirection::Left));
    const std::optional<Bitmap> back = DecodeFile(path);
    ASSERT_TRUE(back);
    EXPECT_EQ(Psnr(*back, *before), 99.0);
}

TEST_F(Rotation, UnalignedJpegIsReencodedWholeAtItsOwnQuality) {
    const Bitmap picture = Gradient(67, 45);
    const std::u16string path =
        Write("odd.jpeg", WithExif(test::MakeJpeg(picture, 92, ChromaSubsampling::S422)));
    EXPECT_EQ(EstimateJpegQuality(ReadBack(path)), 92);
    ASSERT_TRUE(Rotate(path, RotateDirection::Left));
    const Bytes turnedBytes = ReadBack(path);
    EXPECT_EQ(EstimateJpegQuality(turnedBytes), 92);
    EXPECT_EQ(JpegSubsampling(turnedBytes), ChromaSubsampling::S440);
    EXPECT_TRUE(Contains(turnedBytes, "tavopix-test-marker"));
    const std::optional<Bitmap> turned = DecodeFile(path);
    ASSERT_TRUE(turned);
    // No pixel cropped, and the picture is the original turned.
    EXPECT_EQ(turned->width, 45);
    EXPECT_EQ(turned->height, 67);
    EXPECT_GT(Psnr(*turned, RotateBitmap(picture, QuarterTurn::CounterClockwise)), 34.0);
}

TEST_F(Rotation, FourTurnsReturnEveryFormatToItsFirstOrientation) {
    const Bitmap picture = Gradient(33, 21, 4);
    const std::vector<std::pair<std::string, Bytes>> cases = {
        {"p.png", test::MakePng(picture)},
        {"p.bmp", test::MakeBmp(picture)},
        {"p.tif", test::MakeTiff(picture)},
        {"p.gif", test::MakeGif(33, 21, 2, true, true)},
        {"p.JPG", test::MakeJpeg(picture)}};
    for (const auto& [name, bytes] : cases) {
        const std::u16string path = Write(name, bytes);
        const std::optional<Bitmap> before = DecodeFile(path);
        ASSERT_TRUE(before) << name;
        ASSERT_TRUE(Rotate(path, RotateDirection::Left)) << name;
        const std::optional<Bitmap> once = DecodeFile(path);
        ASSERT_TRUE(once);
        EXPECT_EQ(once->width, 21) << name;
        EXPECT_EQ(once->channels, before->channels) << name;  // transparency kept
        ASSERT_TRUE(Rotate(path, RotateDirection::Left));
        ASSERT_TRUE(Rotate(path, RotateDirection::Right));
        ASSERT_TRUE(Rotate(path, RotateDirection::Right));
        const std::optional<Bitmap> after = DecodeFile(path);
        ASSERT_TRUE(after);
        if (name == "p.JPG") {
            EXPECT_GT(Psnr(FlattenOnWhite(*after), FlattenOnWhite(*before)), 30.0);
        } else {
            EXPECT_EQ(after->pixels, before->pixels) << name;
        }
    }
}

TEST_F(Rotation, GifFramesTurnOnTheirIndexes) {
    const std::u16string path = Write("anim.gif", test::MakeGif(6, 4, 3, true));
    ASSERT_TRUE(Rotate(path, RotateDirection::Right));
    const Bytes turned = ReadBack(path);
    const std::optional<PictureHeader> header = ReadPictureHeader(turned);
    ASSERT_TRUE(header);
    EXPECT_EQ(header->width, 4u);
    EXPECT_EQ(header->height, 6u);
    // Turned clockwise, the new (x, y) is the old (y, height - 1 - x); old index 3 is clear.
    const std::optional<Bitmap> first = DecodeFile(path);
    ASSERT_TRUE(first);
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 4; ++x) {
            const int index = test::GifIndexAt(y, 3 - x, 0);
            EXPECT_EQ(first->pixels[first->Stride() * y + x * 4 + 3], index == 3 ? 0 : 255);
        }
    }
    EXPECT_EQ(std::count(turned.begin(), turned.end(), std::uint8_t{0x2C}) >= 3,
              true);  // three frames
}

TEST_F(Rotation, FailuresShowTheErrorPictureAndLeaveTheFile) {
    const Bytes jpeg = test::MakeJpeg(Gradient(64, 64));
    const Bytes cut = test::Truncated(jpeg, jpeg.size() / 2);
    const std::vector<std::pair<std::string, Bytes>> cases = {
        {"a.tiff", test::MakeTiff(Gradient(8, 8))},  // only ".tif" is known
        {"a.webp", jpeg},
        {"cut.jpg", cut},
        {"empty.png", {}}};
    for (const auto& [name, bytes] : cases) {
        const std::u16string path = Write(name, bytes);
        const Thumbnail thumbnail = RotatePictureAndThumbnail(path, RotateDirection::Right);
        EXPECT_FALSE(thumbnail.ok) << name;
        EXPECT_EQ(thumbnail.source, appContext.errorImagePath);
        EXPECT_EQ(thumbnail.width, 160);
        EXPECT_EQ(thumbnail.height, 115);
        EXPECT_EQ(ReadBack(path), bytes) << name;
    }
}

TEST_F(Rotation, ThumbnailIsRemadeUnderTheNameTheFileHadBefore) {
    const std::u16string path = Write("big.png", test::MakePng(Gradient(600, 400)));
    std::u16string before;
    ASSERT_TRUE(ThumbnailCacheName(path, before));
    const Thumbnail made = RotatePictureAndThumbnail(path, RotateDirection::Right);
    ASSERT_TRUE(made.ok);
    EXPECT_EQ(made.source, before);
    EXPECT_EQ(made.width, 186);
    EXPECT_EQ(made.height, 280);
    const std::optional<PictureHeader> thumbnail = ReadPictureHeaderOfFile(Utf8(before));
    ASSERT_TRUE(thumbnail);
    EXPECT_EQ(thumbnail->width, 186u);
}

TEST_F(Rotation, ContentUnlikeItsNameIsWrittenInTheNamedFormat) {
    const std::u16string path = Write("really-png.jpg", test::MakePng(Gradient(40, 30)));
    ASSERT_TRUE(Rotate(path, RotateDirection::Right));
    const std::optional<PictureHeader> header = ReadPictureHeader(ReadBack(path));
    ASSERT_TRUE(header);
    EXPECT_EQ(header->format, PictureFormat::Jpeg);
    EXPECT_EQ(header->width, 30u);
}

}  // namespace
}  // namespace tavopix
