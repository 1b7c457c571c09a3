#include "engine/internal/WordList.h"

#include <gtest/gtest.h>

namespace tavopix {
namespace {

TEST(WordList, FindsWholeWordsBetweenAnyWhiteSpace) {
    EXPECT_TRUE(ListHoldsWord(u"loc sel", u"loc"));
    EXPECT_TRUE(ListHoldsWord(u"\tloc\n\r sel ", u"sel"));
    EXPECT_FALSE(ListHoldsWord(u"loc sel", u"lo"));
    EXPECT_FALSE(ListHoldsWord(u"loc sel", u"loc sel"));
    EXPECT_FALSE(ListHoldsWord(u"   ", u"loc"));
}

TEST(WordList, AnEmptyWordIsNeverHeld) {
    EXPECT_FALSE(ListHoldsWord(u"", u""));
    EXPECT_FALSE(ListHoldsWord(u"a  b ", u""));
    EXPECT_FALSE(ListHoldsWord(u"a  b ", u"", LetterCase::AsciiInsensitive));
}

TEST(WordList, LetterCaseMattersUnlessAskedOtherwise) {
    EXPECT_FALSE(ListHoldsWord(u"StyleSheet", u"stylesheet"));
    EXPECT_TRUE(
        ListHoldsWord(u"alternate StyleSheet", u"stylesheet", LetterCase::AsciiInsensitive));
    // Only ASCII letters fold: U+0130 is not an upper-case "i".
    EXPECT_FALSE(ListHoldsWord(u"\u0130", u"i", LetterCase::AsciiInsensitive));
}

}  // namespace
}  // namespace tavopix
