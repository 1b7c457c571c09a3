// The grid's thumbnail worker and the upload dialog's thumbnail thread make thumbnails at the
// same time, now and then of the same picture.
#include <gtest/gtest.h>

#include <thread>

#include "TestPictures.h"
#include "app/TextConvert.h"
#include "image/PictureHeader.h"
#include "image/Thumbnail.h"

namespace tavopix {
namespace {

class ThumbnailThreads : public test::PictureFolder {};

TEST_F(ThumbnailThreads, TwoThreadsMakeThumbnailsAtOnce) {
    constexpr int kPictures = 6;
    std::vector<std::u16string> paths;
    for (int i = 0; i < kPictures; ++i) {
        const Bitmap picture = test::Gradient(900 + i * 7, 700 - i * 5, i % 2 ? 4 : 3);
        paths.push_back(i % 2 ? Write("p" + std::to_string(i) + ".png", test::MakePng(picture))
                              : Write("p" + std::to_string(i) + ".jpg", test::MakeJpeg(picture)));
    }
    // Both threads walk every picture, one from each end, so they meet on the same files.
    std::vector<Thumbnail> forward(kPictures);
    std::vector<Thumbnail> backward(kPictures);
    std::thread first([&] {
        for (int i = 0; i < kPictures; ++i) {
            forward[i] = MakeFileThumbnail(paths[i]);
        }
    });
    std::thread second([&] {
        for (int i = kPictures - 1; i >= 0; --i) {
            backward[i] = MakeFileThumbnail(paths[i]);
        }
    });
    first.join();
    second.join();
    for (int i = 0; i < kPictures; ++i) {
        EXPECT_TRUE(forward[i].ok);
        EXPECT_TRUE(backward[i].ok);
        EXPECT_EQ(forward[i].source, backward[i].source);
        EXPECT_EQ(forward[i].width, 280);
        EXPECT_EQ(backward[i].width, 280);
        const std::optional<PictureHeader> header =
            ReadPictureHeaderOfFile(Utf8(forward[i].source));
        ASSERT_TRUE(header);
        EXPECT_EQ(header->width, 280u);
    }
    EXPECT_EQ(CacheFiles().size(), static_cast<std::size_t>(kPictures));  // no temporary files left
}

}  // namespace
}  // namespace tavopix
