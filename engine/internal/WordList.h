// Attribute values that hold a list of words separated by white space: an element's classes,
// a link's rel, what the selector operator "~=" looks into.
#pragma once

#include <string_view>

namespace tavopix {

enum class LetterCase { Exact, AsciiInsensitive };

// Whether `list` holds `word` as one of its words; never for an empty word. White space is
// every character up to U+0020, as the page dialect has always read it.
bool ListHoldsWord(std::u16string_view list, std::u16string_view word,
                   LetterCase letterCase = LetterCase::Exact);

}  // namespace tavopix
