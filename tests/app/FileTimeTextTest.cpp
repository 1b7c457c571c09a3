#include "app/FileTimeText.h"

#include <gtest/gtest.h>

#include "platform/FileTime.h"

namespace tavopix {
namespace {

std::u16string Format(std::uint64_t fileTime) {
    std::u16string text = u"old";
    FormatFileTime(fileTime, text);
    return text;
}

TEST(FormatFileTime, WritesTheUtcCalendarTime) {
    EXPECT_EQ(Format(FileTimeFromUnix(1'204'445'109, 999'999'999)), u"2008-03-02 08:05:09");
    EXPECT_EQ(Format(0), u"1601-01-01 00:00:00");
    EXPECT_EQ(Format(FileTimeFromUnix(0, 0)), u"1970-01-01 00:00:00");
    EXPECT_EQ(Format(FileTimeFromUnix(951'782'400, 0)), u"2000-02-29 00:00:00");
    EXPECT_EQ(Format(FileTimeFromUnix(-2'203'891'200, 0)), u"1900-03-01 00:00:00");
    EXPECT_EQ(Format(FileTimeFromUnix(4'107'542'399, 0)), u"2100-02-28 23:59:59");
}

TEST(FormatFileTime, LargestValidValueAndBeyond) {
    EXPECT_EQ(Format(0x7FFF'FFFF'FFFF'FFFF), u"30828-09-14 02:48:05");
    EXPECT_EQ(Format(0x8000'0000'0000'0000), u"未知时间");
    EXPECT_EQ(Format(~std::uint64_t{0}), u"未知时间");
}

}  // namespace
}  // namespace tavopix
