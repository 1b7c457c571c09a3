// Percent-encoding, the one way the program writes bytes into addresses, paths in pages and
// keys: each caller says which bytes stay as they are; every other byte becomes "%" and two
// upper-case hexadecimal digits.
#pragma once

#include <string_view>

namespace tavopix {

// Appends `bytes` to `out` (a std::string or std::u16string), percent-encoding every byte for
// which `staysPlain(byte)` is false.
template <typename Text, typename StaysPlain>
void AppendPercentEncoded(std::string_view bytes, StaysPlain staysPlain, Text& out) {
    using Unit = typename Text::value_type;
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (staysPlain(byte)) {
            out.push_back(static_cast<Unit>(byte));
        } else {
            out.push_back(static_cast<Unit>('%'));
            out.push_back(static_cast<Unit>(kHex[byte >> 4]));
            out.push_back(static_cast<Unit>(kHex[byte & 0xF]));
        }
    }
}

}  // namespace tavopix
