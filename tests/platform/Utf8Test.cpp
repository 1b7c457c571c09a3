#include "platform/Utf8.h"

#include <gtest/gtest.h>

namespace tavopix {
namespace {

TEST(Utf16ToUtf8, EncodesEveryPlaneAndReplacesUnpairedSurrogates) {
    EXPECT_EQ(Utf16ToUtf8(u"a\u00E9桌😀"), "a\xC3\xA9\xE6\xA1\x8C\xF0\x9F\x98\x80");
    EXPECT_EQ(Utf16ToUtf8(u"a\xD800"
                          u"b"),
              "a\xEF\xBF\xBD"
              "b");
    // A low surrogate first, then a high one at the very end: neither pairs.
    EXPECT_EQ(Utf16ToUtf8(u"\xDC00\xD800"), "\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(Utf16ToUtf8(u""), "");

    std::string appended = "x";
    AppendUtf8(u"\xD83D\xDE00", appended);
    EXPECT_EQ(appended, "x\xF0\x9F\x98\x80");
}

TEST(Utf16ToUtf8, StrictFormRefusesUnpairedSurrogates) {
    EXPECT_EQ(StrictUtf16ToUtf8(u"a桌😀"), "a\xE6\xA1\x8C\xF0\x9F\x98\x80");
    EXPECT_EQ(StrictUtf16ToUtf8(u""), "");
    EXPECT_FALSE(StrictUtf16ToUtf8(std::u16string(1, 0xD800)));
    EXPECT_FALSE(
        StrictUtf16ToUtf8(u"a\xDC00"
                          u"b"));
}

TEST(Utf8ToUtf16, DecodesAndReplacesEachInvalidPart) {
    EXPECT_EQ(Utf8ToUtf16("a\xE6\xA1\x8C\xF0\x9F\x98\x80"), u"a桌😀");
    EXPECT_EQ(Utf8ToUtf16(std::string("\0x", 2)), std::u16string(u"\0x", 2));
    // Overlong, surrogate, beyond U+10FFFF: each byte is its own invalid part, since the second
    // byte already rules the sequence out.
    EXPECT_EQ(Utf8ToUtf16("\xC0\x80"), u"\xFFFD\xFFFD");
    EXPECT_EQ(Utf8ToUtf16("\xE0\x80\x80"), u"\xFFFD\xFFFD\xFFFD");
    EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), u"\xFFFD\xFFFD\xFFFD");
    EXPECT_EQ(Utf8ToUtf16("\xF4\x90\x80\x80"), u"\xFFFD\xFFFD\xFFFD\xFFFD");
    // Lone continuation, cut short (one replacement for the whole beginning), invalid lead.
    EXPECT_EQ(Utf8ToUtf16("\x80z"), u"\xFFFDz");
    EXPECT_EQ(Utf8ToUtf16("\xE6\xA1z"), u"\xFFFDz");
    EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x98"), u"\xFFFD");
    EXPECT_EQ(Utf8ToUtf16("\xFF"), u"\xFFFD");
    // A broken sequence never swallows the valid character that cuts it short.
    EXPECT_EQ(Utf8ToUtf16("\xE6\xE6\xA1\x8C"), u"\xFFFD桌");
}

TEST(Utf8ToUtf16, StrictFormRefusesWhatTheLenientOneReplaces) {
    EXPECT_EQ(StrictUtf8ToUtf16("a\xE6\xA1\x8C\xF0\x9F\x98\x80"), u"a桌😀");
    EXPECT_EQ(StrictUtf8ToUtf16(""), u"");
    for (const char* invalid :
         {"\xC0\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\x80", "\xE6\xA1", "ok\xFF", "\xC3("}) {
        EXPECT_FALSE(StrictUtf8ToUtf16(invalid)) << invalid;
    }
}

TEST(AppendCodePoint, WritesSurrogatePairsAndReplacesNonCharacters) {
    std::u16string out;
    AppendCodePoint(U'A', out);
    AppendCodePoint(0x1F600, out);
    AppendCodePoint(0x10FFFF, out);
    EXPECT_EQ(out, u"A\xD83D\xDE00\xDBFF\xDFFF");
    out.clear();
    AppendCodePoint(0xD800, out);
    AppendCodePoint(0xDFFF, out);
    AppendCodePoint(0x110000, out);
    EXPECT_EQ(out, u"\xFFFD\xFFFD\xFFFD");
}

}  // namespace
}  // namespace tavopix
