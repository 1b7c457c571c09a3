#include <gtest/gtest.h>

#include "service/JsonEscape.h"
#include "service/JsonValueOf.h"

namespace tavopix {
namespace {

std::u16string Escaped(std::u16string text) {
    JsonEscape(text);
    return text;
}

TEST(JsonEscape, QuotesBackslashesAndControlCharacters) {
    EXPECT_EQ(Escaped(u"say \"hi\""), u"say \\\"hi\\\"");
    EXPECT_EQ(Escaped(u"C:\\dir"), u"C:\\\\dir");
    EXPECT_EQ(Escaped(u"a\nb\rc\td\be\ff"), u"a\\nb\\rc\\td\\be\\ff");
    EXPECT_EQ(Escaped(u"\x01\x1F"), u"\\u0001\\u001f");
    EXPECT_EQ(Escaped(u"\u76F8\u518C 2008"), u"\u76F8\u518C 2008");
    EXPECT_EQ(Escaped(u""), u"");
}

TEST(JsonValueOf, QuotedValuesRunToTheNextQuote) {
    std::u16string value;
    const std::u16string reply = u"{\"album_id\" : \"a1\",\"album_name\":\"Trip\"}";
    EXPECT_EQ(JsonValueOf(reply, u"\"album_id\"", 0, value), 18);
    EXPECT_EQ(value, u"a1");
    EXPECT_EQ(JsonValueOf(reply, u"\"album_name\"", 19, value), 38);
    EXPECT_EQ(value, u"Trip");
}

TEST(JsonValueOf, UnquotedValuesEndAtTheFirstDelimiter) {
    std::u16string value;
    EXPECT_EQ(JsonValueOf(u"{\"album_id\":12 ,\"x\":1}", u"\"album_id\"", 0, value), 16);
    EXPECT_EQ(value, u"12 ");
    EXPECT_EQ(JsonValueOf(u"{\"album_id\":34}", u"\"album_id\"", 0, value), 15);
    EXPECT_EQ(value, u"34");
    // The last value of an inner object stops at its brace, not at a later comma.
    EXPECT_GT(JsonValueOf(u"{\"d\":{\"album_id\":56},\"ok\":1}", u"\"album_id\"", 0, value), 0);
    EXPECT_EQ(value, u"56");
}

TEST(JsonValueOf, KeyWithoutItsClosingQuoteStillFindsTheValue) {
    std::u16string value;
    EXPECT_GT(JsonValueOf(u"{\"msg\" \t:\"ok\"}", u"\"msg", 0, value), 0);
    EXPECT_EQ(value, u"ok");
}

TEST(JsonValueOf, MissingPiecesGiveMinusOneAndKeepTheValue) {
    std::u16string value = u"kept";
    EXPECT_EQ(JsonValueOf(u"{\"a\":\"1\"}", u"\"b\"", 0, value), -1);
    EXPECT_EQ(JsonValueOf(u"{\"a\" \"1\"}", u"\"a\"", 0, value), -1);
    EXPECT_EQ(JsonValueOf(u"{\"a\":   ", u"\"a\"", 0, value), -1);
    EXPECT_EQ(JsonValueOf(u"{\"a\":\"open", u"\"a\"", 0, value), -1);
    EXPECT_EQ(JsonValueOf(u"{\"a\":12", u"\"a\"", 0, value), -1);
    EXPECT_EQ(JsonValueOf(u"{\"a\":1}", u"\"a\"", 7, value), -1);
    EXPECT_EQ(JsonValueOf(u"{\"a\":1}", u"\"a\"", -3, value), -1);
    EXPECT_EQ(JsonValueOf(u"{\"a\":1}", u"\"a\"", 2, value), -1);
    EXPECT_EQ(JsonValueOf(u"", u"\"a\"", 0, value), -1);
    EXPECT_EQ(value, u"kept");
}

}  // namespace
}  // namespace tavopix
