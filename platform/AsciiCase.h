// ASCII letter case, for the names in pages, style sheets and file extensions: they fold A-Z to
// a-z and nothing else, whatever the locale.
#pragma once

#include <string>
#include <string_view>

namespace tavopix {

template <typename Char>
constexpr Char AsciiLower(Char c) {
    return c >= Char('A') && c <= Char('Z') ? static_cast<Char>(c - Char('A') + Char('a')) : c;
}

inline std::string AsciiLowercase(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        c = AsciiLower(c);
    }
    return lower;
}

inline std::u16string AsciiLowercase(std::u16string_view text) {
    std::u16string lower(text);
    for (char16_t& c : lower) {
        c = AsciiLower(c);
    }
    return lower;
}

}  // namespace tavopix
