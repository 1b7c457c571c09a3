#include "app/TextConvert.h"

namespace tavopix {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

void AppendUtf8(char32_t code, std::string& out) {
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

void AppendUtf16(char32_t code, std::u16string& out) {
    if (code < 0x10000) {
        out += static_cast<char16_t>(code);
    } else {
        code -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (code >> 10));
        out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
    }
}

enum class OnUnpaired { Fail, Replace };

// UTF-8 of `text`; false at the first unpaired surrogate when asked to fail.
bool EncodeUtf8(std::u16string_view text, std::string& out, OnUnpaired onUnpaired) {
    out.reserve(out.size() + text.size() * 3);
    for (size_t i = 0; i < text.size(); ++i) {
        char16_t unit = text[i];
        char32_t code = unit;
        if (IsHighSurrogate(unit) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            code = 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) +
                   (static_cast<char32_t>(text[i + 1]) - 0xDC00);
            ++i;
        } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
            if (onUnpaired == OnUnpaired::Fail) {
                return false;
            }
            code = kReplacement;
        }
        AppendUtf8(code, out);
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
// above U+10FFFF.
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

}  // namespace

int ToUtf8(std::u16string_view text, std::string& narrow) {
    std::string converted;
    if (text.empty() || !EncodeUtf8(text, converted, OnUnpaired::Fail)) {
        return 0;
    }
    narrow = std::move(converted);
    return static_cast<int>(narrow.size());
}

int ToAnsi(std::u16string_view text, std::string& narrow) {
    return ToUtf8(text, narrow);
}

std::string Utf8(std::u16string_view text) {
    std::string converted;
    EncodeUtf8(text, converted, OnUnpaired::Replace);
    return converted;
}

std::u16string FromUtf8(std::string_view utf8) {
    std::u16string text;
    text.reserve(utf8.size());
    size_t i = 0;
    while (i < utf8.size()) {
        auto lead = static_cast<unsigned char>(utf8[i]);
        int length = SequenceLength(lead);
        if (length == 1) {
            text += static_cast<char16_t>(lead);
            ++i;
            continue;
        }
        // An invalid sequence becomes one replacement for its longest valid beginning.
        size_t valid = 1;
        char32_t code = length == 2 ? (lead & 0x1F) : length == 3 ? (lead & 0x0F) : (lead & 0x07);
        if (length > 0) {
            while (valid < static_cast<size_t>(length) && i + valid < utf8.size()) {
                auto next = static_cast<unsigned char>(utf8[i + valid]);
                bool fits = valid == 1 ? SecondByteFits(lead, next) : (next & 0xC0) == 0x80;
                if (!fits) {
                    break;
                }
                code = (code << 6) | (next & 0x3F);
                ++valid;
            }
        }
        if (length > 0 && valid == static_cast<size_t>(length)) {
            AppendUtf16(code, text);
        } else {
            text += static_cast<char16_t>(kReplacement);
        }
        i += valid;
    }
    return text;
}

void PercentEscape(std::u16string& text) {
    static constexpr char16_t kHex[] = u"0123456789ABCDEF";
    if (text.empty()) {
        return;
    }
    std::u16string escaped;
    for (unsigned char byte : Utf8(text)) {
        if (byte < 0x80) {
            escaped += static_cast<char16_t>(byte);
        } else {
            escaped += u'%';
            escaped += kHex[byte >> 4];
            escaped += kHex[byte & 15];
        }
    }
    text = std::move(escaped);
}

}  // namespace tavopix
