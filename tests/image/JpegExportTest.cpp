// Conversion to JPEG and fitting for upload.
#include "image/JpegExport.h"

#include <gtest/gtest.h>

#include "TestPictures.h"
#include "image/PictureDecoder.h"
#include "image/PictureHeader.h"

namespace tavopix {
namespace {

using test::Gradient;

class JpegExport : public test::PictureFolder {
protected:
    std::optional<PictureHeader> TargetHeader() const {
        return ReadPictureHeader(ReadBack(Path("out.jpg")));
    }
};

TEST_F(JpegExport, FitRules) {
    const std::u16string target = Path("out.jpg");
    EXPECT_EQ(FitJpeg(Write("a.jpg", test::MakeJpeg(Gradient(1200, 800))), target, kUploadSide),
              FitResult::SourceUnchanged);
    EXPECT_FALSE(TargetHeader());

    EXPECT_EQ(FitJpeg(Write("b.jpg", test::MakeJpeg(Gradient(3000, 2000))), target, kUploadSide),
              FitResult::Written);
    ASSERT_TRUE(TargetHeader());
    EXPECT_EQ(TargetHeader()->width, 1600u);
    EXPECT_EQ(TargetHeader()->height, 1066u);

    EXPECT_EQ(FitJpeg(Write("c.png", test::MakePng(Gradient(800, 600, 4))), target, kUploadSide),
              FitResult::Written);
    EXPECT_EQ(TargetHeader()->format, PictureFormat::Jpeg);
    EXPECT_EQ(TargetHeader()->width, 800u);

    // Only ".jpg" may go as it is: ".jpeg" is re-encoded, and so is a PNG that calls itself ".jpg".
    EXPECT_EQ(FitJpeg(Write("d.jpeg", test::MakeJpeg(Gradient(100, 100))), target, kUploadSide),
              FitResult::Written);
    EXPECT_EQ(FitJpeg(Write("e.jpg", test::MakePng(Gradient(100, 50))), target, kUploadSide),
              FitResult::Written);
    EXPECT_EQ(TargetHeader()->format, PictureFormat::Jpeg);

    EXPECT_EQ(FitJpeg(Write("tall.gif", test::MakeGif(30, 4000)), target, kUploadSide),
              FitResult::Written);
    EXPECT_EQ(TargetHeader()->width, 12u);
    EXPECT_EQ(TargetHeader()->height, 1600u);
}

TEST_F(JpegExport, FitFailsOnBadInputAndUnwritableTargets) {
    const Bytes jpeg = test::MakeJpeg(Gradient(1000, 700));
    EXPECT_EQ(FitJpeg(Write("cut.jpg", test::Truncated(jpeg, jpeg.size() / 2)), Path("out.jpg"),
                      kUploadSide),
              FitResult::Failed);
    EXPECT_EQ(FitJpeg(Write("none.png", {}), Path("out.jpg"), kUploadSide), FitResult::Failed);
    EXPECT_EQ(FitJpeg(Write("ok.png", test::MakePng(Gradient(10, 10))),
                      Path("no/such/folder/out.jpg"), kUploadSide),
              FitResult::Failed);
}

TEST_F(JpegExport, ConvertKeepsTheSizeAndPutsTransparencyOnWhite) {
    ASSERT_TRUE(ConvertToJpeg(Write("clear.png", test::MakePng(test::Flat(31, 17, 0, 0, 0, 0))),
                              Path("out.jpg")));
    const Bytes out = ReadBack(Path("out.jpg"));
    const std::optional<PictureHeader> header = ReadPictureHeader(out);
    ASSERT_TRUE(header);
    EXPECT_EQ(header->format, PictureFormat::Jpeg);
    EXPECT_EQ(header->width, 31u);
    const std::optional<Bitmap> decoded = DecodePicture(out, *header);
    ASSERT_TRUE(decoded);
    EXPECT_GE(decoded->pixels[0], 250);

    // A sound JPEG is copied as it is; a broken one is refused.
    const Bytes jpeg = test::MakeJpeg(Gradient(50, 40));
    ASSERT_TRUE(ConvertToJpeg(Write("photo.jpeg", jpeg), Path("out.jpg")));
    EXPECT_EQ(ReadBack(Path("out.jpg")), jpeg);
    EXPECT_FALSE(ConvertToJpeg(Write("cut.jpeg", test::Truncated(jpeg, 300)), Path("out2.jpg")));
    EXPECT_FALSE(ConvertToJpeg(Path("missing.bmp"), Path("out2.jpg")));
    EXPECT_TRUE(ReadBack(Path("out2.jpg")).empty());
}

}  // namespace
}  // namespace tavopix
