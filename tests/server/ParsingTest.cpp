// The readers of outside text: request targets, forms and cookies, the clients' JSON texts, and
// the recognition of picture files.
#include <gtest/gtest.h>

#include "ClientJson.h"
#include "HttpMessage.h"
#include "PhotoFiles.h"

namespace albumd {
namespace {

TEST(ParseTargetTest, SplitsDecodesAndRefusesEscapes) {
    auto target = ParseTarget("/u/%E7%8C%AB/3?appid=2&returnurl=http%3A%2F%2Fh%2Flogin&x=a+b");
    ASSERT_TRUE(target);
    EXPECT_EQ(target->segments, (std::vector<std::string>{"u", "猫", "3"}));
    EXPECT_EQ(target->query.at("returnurl"), "http://h/login");
    EXPECT_EQ(target->query.at("x"), "a b");
    EXPECT_TRUE(ParseTarget("//a//b/")->segments.size() == 2);
    for (const char* bad : {"", "x", "/..", "/a/../b", "/a/%2E%2E/b", "/a%2Fb", "/a%5Cb", "/%",
                            "/%zz", "/a?k=%0", "/a?k=%00"}) {
        EXPECT_FALSE(ParseTarget(bad)) << bad;
    }
}

TEST(ParseFormTest, KeepsTheFirstOfRepeatedKeys) {
    auto form = ParseForm("a=1&&b=x%20y&a=2&flag");
    ASSERT_TRUE(form);
    EXPECT_EQ(form->at("a"), "1");
    EXPECT_EQ(form->at("b"), "x y");
    EXPECT_EQ(form->at("flag"), "");
    EXPECT_FALSE(ParseForm("a=%4"));
}

TEST(CookieValueTest, FindsTheNamedCookieAmongOthers) {
    HttpRequest request;
    request.headers = {{"cookie", "a=1; albumd_session=T1 ;b=2"}, {"cookie", "c=3"}};
    EXPECT_EQ(CookieValue(request, "albumd_session"), "T1");
    EXPECT_EQ(CookieValue(request, "c"), "3");
    EXPECT_EQ(CookieValue(request, "albumd"), "");
}

TEST(Utf8Test, RefusesMalformedSequences) {
    EXPECT_TRUE(IsValidUtf8("plain 中文 😀"));
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));          // overlong "/"
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));      // surrogate
    EXPECT_FALSE(IsValidUtf8("\xE4\xB8"));          // cut short
    EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80"));  // beyond U+10FFFF
    EXPECT_EQ(Utf8Length("a中😀"), 3u);
}

TEST(ClientJsonTest, ReadsRawControlCharactersAsMeant) {
    // Backslash + raw line feed, as the desktop client escapes it, and a raw tab.
    auto parsed = ParseClientObject(
        "{\"a\":\"x\\\ny\",\"b\":\"\\\r\\\n\",\"c\":\"t\tt\","
        "\"d\":\"q\\\"\\\\\"}");
    ASSERT_TRUE(parsed);
    EXPECT_EQ((*parsed)["a"], "x\ny");
    EXPECT_EQ((*parsed)["b"], "\r\n");
    EXPECT_EQ((*parsed)["c"], "t\tt");
    EXPECT_EQ((*parsed)["d"], "q\"\\");
    EXPECT_TRUE(ParseClientObject("  ")->empty());
    EXPECT_FALSE(ParseClientObject("[1]"));
    EXPECT_FALSE(ParseClientObject("{\"a\":1"));
    EXPECT_FALSE(ParseClientObject("{\"a\":\"\xFF\"}"));
    EXPECT_EQ(MemberText(*ParseClientObject("{\"n\":3,\"s\":\"3\",\"f\":1.5}"), "n"), "3");
    EXPECT_FALSE(MemberText(*ParseClientObject("{\"f\":1.5}"), "f"));
}

TEST(SniffPictureTest, KnowsThePictureFormatsByTheirFirstBytes) {
    EXPECT_STREQ(SniffPicture("\xFF\xD8\xFF\xDB....")->extension, "jpg");
    EXPECT_STREQ(SniffPicture("\x89PNG\r\n\x1A\n....")->mime, "image/png");
    EXPECT_STREQ(SniffPicture("GIF89a")->extension, "gif");
    EXPECT_STREQ(SniffPicture(std::string("II*\0", 4))->extension, "tif");
    EXPECT_STREQ(SniffPicture(std::string("RIFF\x10\0\0\0WEBPVP8 ", 16))->extension, "webp");
    EXPECT_STREQ(SniffPicture("BM" + std::string(40, '\0'))->extension, "bmp");
    EXPECT_FALSE(SniffPicture("<svg onload=alert(1)>"));
    EXPECT_FALSE(SniffPicture("BM"));
    EXPECT_FALSE(SniffPicture(""));
}

TEST(ContentLengthTest, ReadsWhatTheBodysFramingReads) {
    EXPECT_EQ(ParseContentLength("00000000000000000000204800"), 204800u);
    EXPECT_EQ(ParseContentLength("12, 12"), 12u);
    EXPECT_EQ(ParseContentLength("99999999999999999999999"), UINT64_MAX);
    for (const char* bad : {"", "12, 13", "12,", "-1", "0x10", "1 2"}) {
        EXPECT_FALSE(ParseContentLength(bad)) << bad;
    }
}

}  // namespace
}  // namespace albumd
