#include "engine/internal/WordList.h"

#include <algorithm>

#include "platform/AsciiCase.h"

namespace tavopix {

namespace {

bool SameWord(std::u16string_view a, std::u16string_view b, LetterCase letterCase) {
    if (letterCase == LetterCase::Exact) {
        return a == b;
    }
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](char16_t x, char16_t y) { return AsciiLower(x) == AsciiLower(y); });
}

}  // namespace

bool ListHoldsWord(std::u16string_view list, std::u16string_view word, LetterCase letterCase) {
    if (word.empty()) {
        return false;
    }
    std::size_t start = 0;
    while (start < list.size()) {
        while (start < list.size() && list[start] <= u' ') {
            ++start;
        }
        std::size_t end = start;
        while (end < list.size() && list[end] > u' ') {
            ++end;
        }
        if (end > start && SameWord(list.substr(start, end - start), word, letterCase)) {
            return true;
        }
        start = end;
    }
    return false;
}

}  // namespace tavopix
