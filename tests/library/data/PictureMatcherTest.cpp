#include "library/data/PictureMatcher.h"

#include <gtest/gtest.h>

namespace tavopix {
namespace {

constexpr std::uint64_t kHour = 3600 * kFileTimeTicksPerSecond;
// 2026-12-07 20:00 UTC as a file time.
constexpr std::uint64_t kNow = FileTimeFromUnix(1796673600, 0);

struct Case {
    std::uint32_t types;
    std::uint32_t sizes;
    std::uint32_t days;
    std::u16string_view name;
    std::uint32_t size;
    std::uint64_t written;
    bool passes;
};

constexpr Case kCases[] = {
    // Extensions by type bit, ignoring case; ".jpeg" counts as JPEG.
    {kTypeJpeg, kSizeMiddle, 0, u"HOLIDAY.JPEG", 50000, kNow, true},
    {kTypeJpeg, kSizeMiddle, 0, u"a.Jpg", 50000, kNow, true},
    {kTypeJpeg, kSizeMiddle, 0, u"a.jpe", 50000, kNow, false},
    {kTypeJpeg, kSizeMiddle, 0, u"a.png", 50000, kNow, false},
    {kTypeJpeg, kSizeMiddle, 0, u"a.jpg ", 50000, kNow, false},
    {kTypeGif | kTypePng | kTypeBmp, kSizeMiddle, 0, u"a.GIF", 50000, kNow, true},
    {kTypeGif | kTypePng | kTypeBmp, kSizeMiddle, 0, u"a.bMp", 50000, kNow, true},
    {kTypeGif | kTypePng | kTypeBmp, kSizeMiddle, 0, u"a.jpeg", 50000, kNow, false},
    {15, 7, 0, u"a.tiff", 50000, kNow, false},
    // Size classes include both bounds; nothing above 50 MiB passes.
    {kTypeJpeg, kSizeSmall, 0, u"a.jpg", 0, kNow, true},
    {kTypeJpeg, kSizeSmall, 0, u"a.jpg", 20480, kNow, true},
    {kTypeJpeg, kSizeSmall, 0, u"a.jpg", 20481, kNow, false},
    {kTypeJpeg, kSizeMiddle, 0, u"a.jpg", 20479, kNow, false},
    {kTypeJpeg, kSizeMiddle, 0, u"a.jpg", 1048576, kNow, true},
    {kTypeJpeg, kSizeMiddle, 0, u"a.jpg", 1048577, kNow, false},
    {kTypeJpeg, kSizeLarge, 0, u"a.jpg", 1048575, kNow, false},
    {kTypeJpeg, kSizeLarge, 0, u"a.jpg", 52428800, kNow, true},
    {kTypeJpeg, 7, 0, u"a.jpg", 52428801, kNow, false},
    {kTypeJpeg, 0, 0, u"a.jpg", 100, kNow, false},
    // Age: whole days back from now; no filter lets even file time 0 pass.
    {kTypeJpeg, kSizeMiddle, 1, u"a.jpg", 50000, kNow - 25 * kHour, false},
    {kTypeJpeg, kSizeMiddle, 1, u"a.jpg", 50000, kNow - 24 * kHour, true},
    {kTypeJpeg, kSizeMiddle, 1, u"a.jpg", 50000, kNow + kHour, true},
    {kTypeJpeg, kSizeMiddle, 0, u"a.jpg", 50000, 0, true},
    // A day count typed as -1 is 4294967295 days, back before 1601: every file passes.
    {kTypeJpeg, kSizeMiddle, 0xFFFFFFFFu, u"a.jpg", 50000, 0, true},
};

TEST(PictureMatcher, TypeSizeAndAge) {
    for (const Case& c : kCases) {
        const PictureMatcher matcher(PictureFilter{c.types, c.sizes, c.days, {}}, kNow);
        EXPECT_EQ(matcher.Matches(c.name, false, c.size, c.written), c.passes)
            << "types " << c.types << " sizes " << c.sizes << " days " << c.days << " size "
            << c.size << " written " << c.written << " name #" << (&c - kCases);
    }
}

TEST(PictureMatcher, FoldersNeverPass) {
    const PictureMatcher matcher(PictureFilter{15, 7, 0, {}}, kNow);
    EXPECT_FALSE(matcher.Matches(u"album.jpg", true, 0, kNow));
    EXPECT_TRUE(matcher.Matches(u"album.jpg", false, 0, kNow));
}

}  // namespace
}  // namespace tavopix
