// Pictures whose Exif orientation turns them: the transforms compose as the pictures do, and
// sizes, thumbnails, conversions and rotations all work on the picture as it is seen.
#include <gtest/gtest.h>

#include "TestPictures.h"
#include "image/ExifOrientation.h"
#include "image/JpegExport.h"
#include "image/PictureDecoder.h"
#include "image/PictureDetails.h"
#include "image/PictureHeader.h"
#include "image/PictureRotate.h"
#include "image/Resample.h"
#include "image/Thumbnail.h"

namespace tavopix::test {
namespace {

// The JPEG with an Exif segment (little-endian TIFF, one entry) saying `orientation`.
Bytes WithExifOrientation(const Bytes& jpeg, int orientation) {
    const char payload[] = {'E', 'x',  'i',  'f', 0,
                            0,   'I',  'I',  42,  0,
                            8,   0,    0,    0,   1,
                            0,   0x12, 0x01, 3,   0,
                            1,   0,    0,    0,   static_cast<char>(orientation),
                            0,   0,    0,    0,   0,
                            0,   0};
    return WithApp1(jpeg, std::string_view(payload, sizeof payload));
}

TEST(ExifOrientationTest, TransformsComposeAsPicturesDo) {
    const Bitmap source = Gradient(3, 2);
    for (int first = 0; first < 8; ++first) {
        for (int second = 0; second < 8; ++second) {
            const auto a = static_cast<Transform>(first);
            const auto b = static_cast<Transform>(second);
            EXPECT_EQ(TransformBitmap(TransformBitmap(source, a), b).pixels,
                      TransformBitmap(source, Compose(a, b)).pixels)
                << first << " then " << second;
        }
    }
    // Orientation 6 is stored turned counter-clockwise: a clockwise turn stands it upright.
    EXPECT_EQ(UprightTransform(6), Transform::Clockwise);
    EXPECT_EQ(UprightTransform(8), Transform::CounterClockwise);
    EXPECT_EQ(UprightTransform(1), Transform::None);
}

class SeenPictureTest : public PictureFolder {};

TEST_F(SeenPictureTest, SizesThumbnailsAndConversionsStandUpright) {
    const Bitmap stored = Gradient(640, 320);
    const Bitmap upright = TransformBitmap(stored, Transform::Clockwise);  // 320 x 640
    const std::u16string path = Write("turned.jpg", WithExifOrientation(MakeJpeg(stored), 6));

    PictureDetails details;
    details.realPath = path;
    ASSERT_TRUE(ReadPictureDetails(details));
    EXPECT_EQ(details.width, 320);
    EXPECT_EQ(details.height, 640);

    const Thumbnail thumbnail = MakeFileThumbnail(path);
    ASSERT_TRUE(thumbnail.ok);
    EXPECT_EQ(thumbnail.width, 140);
    EXPECT_EQ(thumbnail.height, 280);
    const Bytes cached = ReadBack(thumbnail.source);
    const std::optional<Bitmap> shown = DecodeJpeg(cached, 0, 0);
    ASSERT_TRUE(shown);
    EXPECT_GT(Psnr(*shown, ResizeBitmap(upright, 140, 280)), 30.0);

    const std::u16string converted = Path("converted.jpg");
    ASSERT_TRUE(ConvertToJpeg(path, converted));
    const Bytes written = ReadBack(converted);
    EXPECT_EQ(ReadPictureHeader(written)->orientation, 1);
    EXPECT_GT(Psnr(*DecodeJpeg(written, 0, 0), upright), 30.0);
    // It fits 1600 already, yet is written anew, upright.
    EXPECT_EQ(FitJpeg(path, Path("fitted.jpg"), 1600), FitResult::Written);
    EXPECT_EQ(ReadPictureHeader(ReadBack(Path("fitted.jpg")))->width, 320u);
}

TEST_F(SeenPictureTest, RotationTurnsWhatIsSeen) {
    const Bitmap stored = Gradient(64, 32);
    for (const int orientation : {6, 8}) {
        const std::u16string path =
            Write("r" + std::to_string(orientation) + ".jpg",
                  WithExifOrientation(MakeJpeg(stored, 95, ChromaSubsampling::S444), orientation));
        const Bitmap seen = TransformBitmap(stored, UprightTransform(orientation));
        Bytes turned;
        ASSERT_TRUE(RotatePictureFile(path, QuarterTurn::Clockwise, turned));
        const Bytes file = ReadBack(path);
        EXPECT_EQ(ReadPictureHeader(file)->orientation, 1);
        const std::optional<Bitmap> now = DecodeJpeg(file, 0, 0);
        ASSERT_TRUE(now);
        EXPECT_GT(Psnr(*now, TransformBitmap(seen, Transform::Clockwise)), 35.0) << orientation;
    }
}

}  // namespace
}  // namespace tavopix::test
