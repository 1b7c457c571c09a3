// Decoding the escapes of a JSON text in place.
#include "sdk/OvkSdk.h"

#include "platform/LastError.h"

namespace tavopix {

namespace {

// The value of four hex digits at `text`, or -1 when they are not four hex digits.
int HexQuad(const char16_t* text) {
    int value = 0;
    for (int i = 0; i < 4; ++i) {
        char16_t c = text[i];
        int digit = c >= u'0' && c <= u'9'   ? c - u'0'
                    : c >= u'a' && c <= u'f' ? c - u'a' + 10
                    : c >= u'A' && c <= u'F' ? c - u'A' + 10
                                             : -1;
        if (digit < 0) {
            return -1;  // also stops at the terminating NUL
        }
        value = value * 16 + digit;
    }
    return value;
}

bool IsHighSurrogate(int unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsLowSurrogate(int unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// How many units of source the escape at `text` (a backslash) takes, and what it writes; 0 when
// it is not a well-formed escape.
int DecodeEscape(const char16_t* text, char16_t out[2], int& written) {
    written = 1;
    switch (text[1]) {
        case u'"':
        case u'\\':
        case u'/':
            out[0] = text[1];
            return 2;
        case u'b':
            out[0] = u'\b';
            return 2;
        case u'f':
            out[0] = u'\f';
            return 2;
        case u'n':
            out[0] = u'\n';
            return 2;
        case u'r':
            out[0] = u'\r';
            return 2;
        case u't':
            out[0] = u'\t';
            return 2;
        case u'u':
            break;
        default:
            return 0;
    }
    int unit = HexQuad(text + 2);
    if (unit < 0 || IsLowSurrogate(unit)) {
        return 0;
    }
    if (!IsHighSurrogate(unit)) {
        out[0] = static_cast<char16_t>(unit);
        return 6;
    }
    int low = text[6] == u'\\' && text[7] == u'u' ? HexQuad(text + 8) : -1;
    if (!IsLowSurrogate(low)) {
        return 0;
    }
    out[0] = static_cast<char16_t>(unit);
    out[1] = static_cast<char16_t>(low);
    written = 2;
    return 12;
}

}  // namespace

OvkBool ovkDecodeJsonW(const char16_t* text, char16_t* decoded) {
    if (!text || !decoded) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    // Decoding never lengthens the text, so writing behind the read position is safe in place.
    std::size_t in = 0;
    std::size_t out = 0;
    while (text[in] != u'\0') {
        char16_t units[2];
        int written = 0;
        int consumed = text[in] == u'\\' ? DecodeEscape(text + in, units, written) : 0;
        if (consumed == 0) {
            decoded[out++] = text[in++];
            continue;
        }
        for (int i = 0; i < written; ++i) {
            decoded[out++] = units[i];
        }
        in += static_cast<std::size_t>(consumed);
    }
    decoded[out] = u'\0';
    return true;
}

}  // namespace tavopix
