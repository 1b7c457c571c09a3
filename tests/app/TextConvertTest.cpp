#include "app/TextConvert.h"

#include <gtest/gtest.h>

namespace tavopix {
namespace {

TEST(ToUtf8, ConvertsWholeTextsAndCountsBytes) {
    std::string narrow;
    EXPECT_EQ(ToUtf8(u"a桌😀", narrow), 8);
    EXPECT_EQ(narrow, "a\xE6\xA1\x8C\xF0\x9F\x98\x80");
    EXPECT_EQ(ToAnsi(u"é", narrow), 2);
    EXPECT_EQ(narrow, "\xC3\xA9");
}

TEST(ToUtf8, EmptyOrUnconvertibleTextLeavesTheOutput) {
    std::string narrow = "kept";
    EXPECT_EQ(ToUtf8(u"", narrow), 0);
    EXPECT_EQ(ToUtf8(std::u16string(1, 0xD800), narrow), 0);
    EXPECT_EQ(ToUtf8(u"a\xDC00"
                     u"b",
                     narrow),
              0);
    EXPECT_EQ(ToAnsi(std::u16string(1, 0xDBFF), narrow), 0);
    EXPECT_EQ(narrow, "kept");
}

TEST(PercentEscape, EscapesEveryByteAbove0x7FAndTheEscapeCharacters) {
    std::u16string path = u"/home/me/桌面/a b%.jpg";
    PercentEscape(path);
    EXPECT_EQ(path, u"/home/me/%E6%A1%8C%E9%9D%A2/a b%25.jpg");
    std::u16string reserved = u"/p/%41#1?v=2.png";
    PercentEscape(reserved);
    EXPECT_EQ(reserved, u"/p/%2541%231%3Fv=2.png");
    std::u16string folder = u"url(/opt/相册/skin/res/view_prev.ani)";
    PercentEscape(folder);
    EXPECT_EQ(folder, u"url(/opt/%E7%9B%B8%E5%86%8C/skin/res/view_prev.ani)");
    std::u16string empty;
    PercentEscape(empty);
    EXPECT_EQ(empty, u"");
    std::u16string broken(1, 0xDC00);
    PercentEscape(broken);
    EXPECT_EQ(broken, u"%EF%BF%BD");
}

}  // namespace
}  // namespace tavopix
