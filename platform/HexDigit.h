// The value of one hexadecimal digit: shared by the decoders of "%XX" escapes in addresses and
// of numeric character references in pages.
#pragma once

namespace tavopix {

// The value of a hexadecimal digit of either case; -1 for anything else.
constexpr int HexDigitValue(char32_t c) {
    if (c >= U'0' && c <= U'9') {
        return static_cast<int>(c - U'0');
    }
    if (c >= U'a' && c <= U'f') {
        return static_cast<int>(c - U'a') + 10;
    }
    if (c >= U'A' && c <= U'F') {
        return static_cast<int>(c - U'A') + 10;
    }
    return -1;
}

}  // namespace tavopix
