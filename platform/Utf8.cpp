#include "platform/Utf8.h"

namespace tavopix {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsHighSurrogate(char32_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(char32_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

void AppendScalarUtf8(char32_t code, std::string& out) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

enum class OnInvalid { Fail, Replace };

// Appends the UTF-8 of `text`; false at the first unpaired surrogate when asked to fail.
bool EncodeUtf8(std::u16string_view text, std::string& out, OnInvalid onInvalid) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t code = text[i];
        if (IsHighSurrogate(code) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            code =
                0x10000 + ((code - 0xD800) << 10) + (static_cast<char32_t>(text[i + 1]) - 0xDC00);
            ++i;
        } else if (IsHighSurrogate(code) || IsLowSurrogate(code)) {
            if (onInvalid == OnInvalid::Fail) {
                return false;
            }
            code = kReplacement;
        }
        AppendScalarUtf8(code, out);
    }
    return true;
}

// The length of the UTF-8 sequence that `lead` starts, 0 for a byte that cannot start one.
int SequenceLength(unsigned char lead) {
    if (lead < 0x80) {
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        return 2;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        return 4;
    }
    return 0;
}

// The allowed range of the second byte, which rules out overlong forms, surrogates and codes
// above U+10FFFF as early as the second byte, so the invalid part ends there.
bool SecondByteFits(unsigned char lead, unsigned char second) {
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead == 0xE0) {
        low = 0xA0;
    } else if (lead == 0xED) {
        high = 0x9F;
    } else if (lead == 0xF0) {
        low = 0x90;
    } else if (lead == 0xF4) {
        high = 0x8F;
    }
    return second >= low && second <= high;
}

// Appends the UTF-16 of `utf8`; false at the first invalid part when asked to fail.
bool DecodeUtf8(std::string_view utf8, std::u16string& out, OnInvalid onInvalid) {
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const int length = SequenceLength(lead);
        if (length == 1) {
            out += static_cast<char16_t>(lead);
            ++i;
            continue;
        }
        std::size_t valid = 1;
        char32_t code = length == 2 ? (lead & 0x1F) : length == 3 ? (lead & 0x0F) : (lead & 0x07);
        if (length > 0) {
            while (valid < static_cast<std::size_t>(length) && i + valid < utf8.size()) {
                const auto next = static_cast<unsigned char>(utf8[i + valid]);
                const bool fits = valid == 1 ? SecondByteFits(lead, next) : (next & 0xC0) == 0x80;
                if (!fits) {
                    break;
                }
                code = (code << 6) | (next & 0x3F);
                ++valid;
            }
        }
        if (length > 0 && valid == static_cast<std::size_t>(length)) {
            AppendCodePoint(code, out);
        } else if (onInvalid == OnInvalid::Fail) {
            return false;
        } else {
            out += static_cast<char16_t>(kReplacement);
        }
        i += valid;
    }
    return true;
}

}  // namespace

void AppendUtf8(std::u16string_view text, std::string& out) {
    EncodeUtf8(text, out, OnInvalid::Replace);
}

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    EncodeUtf8(text, out, OnInvalid::Replace);
    return out;
}

std::optional<std::string> StrictUtf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    if (!EncodeUtf8(text, out, OnInvalid::Fail)) {
        return std::nullopt;
    }
    return out;
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    DecodeUtf8(utf8, out, OnInvalid::Replace);
    return out;
}

std::optional<std::u16string> StrictUtf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    if (!DecodeUtf8(utf8, out, OnInvalid::Fail)) {
        return std::nullopt;
    }
    return out;
}

void AppendCodePoint(char32_t codePoint, std::u16string& out) {
    if (codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
        codePoint = kReplacement;
    }
    if (codePoint < 0x10000) {
        out += static_cast<char16_t>(codePoint);
        return;
    }
    codePoint -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (codePoint >> 10));
    out += static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF));
}

}  // namespace tavopix
