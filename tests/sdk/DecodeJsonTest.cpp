#include <gtest/gtest.h>

#include "sdk/OvkSdk.h"

namespace tavopix {
namespace {

std::u16string Decoded(std::u16string text) {
    EXPECT_TRUE(ovkDecodeJsonW(text.c_str(), text.data()));
    return std::u16string(text.c_str());
}

TEST(DecodeJsonTest, SimpleEscapes) {
    EXPECT_EQ(Decoded(uR"({"msg":"a\"b\\c\/d\b\f\n\r\t"})"), u"{\"msg\":\"a\"b\\c/d\b\f\n\r\t\"}");
    EXPECT_EQ(Decoded(u""), u"");
    EXPECT_EQ(Decoded(u"no escapes, 中文"), u"no escapes, 中文");
}

TEST(DecodeJsonTest, UnicodeEscapesIncludingSurrogatePairs) {
    EXPECT_EQ(Decoded(uR"(\u7a7a\u95f4\u5df2\u6ee1)"), u"空间已满");
    EXPECT_EQ(Decoded(uR"(\u00E9\u0041)"), u"éA");
    EXPECT_EQ(Decoded(uR"(x\uD83D\uDE00y)"), u"x\U0001F600y");
}

TEST(DecodeJsonTest, MalformedEscapesStayAsTheyStand) {
    EXPECT_EQ(Decoded(uR"(\q\x)"), uR"(\q\x)");
    EXPECT_EQ(Decoded(uR"(\u12)"), uR"(\u12)");
    EXPECT_EQ(Decoded(uR"(\u12G4)"), uR"(\u12G4)");
    EXPECT_EQ(Decoded(uR"(\uD83Dx)"), uR"(\uD83Dx)");       // a lone high surrogate
    EXPECT_EQ(Decoded(uR"(\uDE00)"), uR"(\uDE00)");         // a lone low surrogate
    EXPECT_EQ(Decoded(uR"(\uD83D\u0041)"), uR"(\uD83DA)");  // high surrogate, then no low
    EXPECT_EQ(Decoded(u"end\\"), u"end\\");
    EXPECT_EQ(Decoded(uR"(\\n)"), u"\\n");
}

TEST(DecodeJsonTest, IntoASeparateBuffer) {
    std::u16string source = uR"(\"\u4e2d\")";
    std::u16string target(source.size() + 1, u'#');
    ASSERT_TRUE(ovkDecodeJsonW(source.c_str(), target.data()));
    EXPECT_EQ(std::u16string(target.c_str()), u"\"中\"");
    EXPECT_EQ(source, uR"(\"\u4e2d\")");
    EXPECT_FALSE(ovkDecodeJsonW(nullptr, target.data()));
}

}  // namespace
}  // namespace tavopix
