#include "library/PictureMatcher.h"

#include <gtest/gtest.h>

namespace tavopix {
namespace {

constexpr std::uint64_t kHour = 3600 * kFileTimeTicksPerSecond;
// 2026-12-07 20:00 UTC as a file time.
constexpr std::uint64_t kNow = FileTimeFromUnix(1796673600, 0);

PictureFilter Filter(std::uint32_t types, std::uint32_t sizes, std::uint32_t days = 0) {
    return PictureFilter{types, sizes, days, {}};
}

bool Passes(const PictureFilter& filter, std::u16string_view name, std::uint32_t size = 50000,
            std::uint64_t written = kNow) {
    return PictureMatcher(filter, kNow).Matches(name, false, size, written);
}

TEST(PictureMatcherType, ExtensionsByBitIgnoringCase) {
    const PictureFilter jpeg = Filter(kTypeJpeg, kSizeMiddle);
    EXPECT_TRUE(Passes(jpeg, u"HOLIDAY.JPEG"));
    EXPECT_TRUE(Passes(jpeg, u"a.Jpg"));
    EXPECT_FALSE(Passes(jpeg, u"a.jpe"));
    EXPECT_FALSE(Passes(jpeg, u"a.png"));
    EXPECT_FALSE(Passes(jpeg, u"jpg"));
    EXPECT_FALSE(Passes(jpeg, u"a.jpg "));

    const PictureFilter others = Filter(kTypeGif | kTypePng | kTypeBmp, kSizeMiddle);
    EXPECT_TRUE(Passes(others, u"a.GIF"));
    EXPECT_TRUE(Passes(others, u"a.png"));
    EXPECT_TRUE(Passes(others, u"a.bMp"));
    EXPECT_FALSE(Passes(others, u"a.jpeg"));
    EXPECT_FALSE(Passes(others, u"a.tiff"));
}

TEST(PictureMatcherType, FoldersNeverPass) {
    const PictureMatcher matcher(Filter(15, 7), kNow);
    EXPECT_FALSE(matcher.Matches(u"album.jpg", true, 0, kNow));
    EXPECT_TRUE(matcher.Matches(u"album.jpg", false, 0, kNow));
}

TEST(PictureMatcherSize, ClassesIncludeBothBounds) {
    const PictureFilter small = Filter(kTypeJpeg, kSizeSmall);
    EXPECT_TRUE(Passes(small, u"a.jpg", 0));
    EXPECT_TRUE(Passes(small, u"a.jpg", 20480));
    EXPECT_FALSE(Passes(small, u"a.jpg", 20481));

    const PictureFilter middle = Filter(kTypeJpeg, kSizeMiddle);
    EXPECT_FALSE(Passes(middle, u"a.jpg", 20479));
    EXPECT_TRUE(Passes(middle, u"a.jpg", 20480));
    EXPECT_TRUE(Passes(middle, u"a.jpg", 1048576));
    EXPECT_FALSE(Passes(middle, u"a.jpg", 1048577));

    const PictureFilter large = Filter(kTypeJpeg, kSizeLarge);
    EXPECT_FALSE(Passes(large, u"a.jpg", 1048575));
    EXPECT_TRUE(Passes(large, u"a.jpg", 1048576));
    EXPECT_TRUE(Passes(large, u"a.jpg", 52428800));
    EXPECT_FALSE(Passes(Filter(kTypeJpeg, 7), u"a.jpg", 52428801));
    EXPECT_FALSE(Passes(Filter(kTypeJpeg, 0), u"a.jpg", 100));
}

TEST(PictureMatcherAge, DayCountCutsOffOlderFiles) {
    const PictureFilter oneDay = Filter(kTypeJpeg, kSizeMiddle, 1);
    EXPECT_FALSE(Passes(oneDay, u"a.jpg", 50000, kNow - 25 * kHour));
    EXPECT_TRUE(Passes(oneDay, u"a.jpg", 50000, kNow - 23 * kHour));
    EXPECT_TRUE(Passes(oneDay, u"a.jpg", 50000, kNow - 24 * kHour));
    EXPECT_TRUE(Passes(oneDay, u"a.jpg", 50000, kNow + kHour));
    // No age filter: even a file time of 0 passes.
    EXPECT_TRUE(Passes(Filter(kTypeJpeg, kSizeMiddle, 0), u"a.jpg", 50000, 0));
}

TEST(PictureMatcherAge, DayCountBeyondHistoryLetsEveryFilePass) {
    // A day count typed as -1 is stored as 4294967295; it reaches back before 1601.
    const PictureFilter huge = Filter(kTypeJpeg, kSizeMiddle, 0xFFFFFFFFu);
    EXPECT_TRUE(Passes(huge, u"a.jpg", 50000, 0));
    EXPECT_TRUE(Passes(huge, u"a.jpg", 50000, kNow - 100000 * kHour));
}

}  // namespace
}  // namespace tavopix
