// A picture record's thumbnail fields filled from what the image layer made.
#include "library/data/ItemThumbnail.h"

#include <gtest/gtest.h>

#include "app/AppContext.h"
#include "image/TestPictures.h"

namespace tavopix {
namespace {

class ItemThumbnails : public test::PictureFolder {};

TEST_F(ItemThumbnails, RecordTakesTheThumbnailItsSizeOrTheErrorPicture) {
    PictureItem item;
    item.path = Write("photo.jpg", test::MakeJpeg(test::Gradient(600, 300)));
    ASSERT_TRUE(MakeThumbnail(item));
    EXPECT_NE(item.thumbnail, item.path);
    EXPECT_EQ(item.width, 280);
    EXPECT_EQ(item.height, 140);

    ASSERT_TRUE(RotatePicture(item, RotateDirection::Left));
    EXPECT_EQ(item.width, 140);
    EXPECT_EQ(item.height, 280);

    PictureItem missing;
    missing.path = Path("missing.jpg");
    EXPECT_FALSE(RotatePicture(missing, RotateDirection::Right));
    EXPECT_EQ(missing.thumbnail, appContext.errorImagePath);
    EXPECT_EQ(missing.width, 160);
    EXPECT_EQ(missing.height, 115);

    // A path whose token cannot be expanded keeps the size it had.
    PictureItem unexpandable;
    unexpandable.path = u"%temp%/a.jpg";
    unexpandable.width = 7;
    EXPECT_FALSE(MakeThumbnail(unexpandable));
    EXPECT_EQ(unexpandable.thumbnail, appContext.errorImagePath);
    EXPECT_EQ(unexpandable.width, 7);
}

}  // namespace
}  // namespace tavopix
