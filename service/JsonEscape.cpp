#include "service/JsonEscape.h"

#include <utility>

namespace tavopix {
namespace {

// The letter of the short escape for `c`, or 0 when it has none.
char16_t ShortEscape(char16_t c) {
    switch (c) {
        case u'"':
            return u'"';
        case u'\\':
            return u'\\';
        case u'\b':
            return u'b';
        case u'\f':
            return u'f';
        case u'\n':
            return u'n';
        case u'\r':
            return u'r';
        case u'\t':
            return u't';
        default:
            return 0;
    }
}

}  // namespace

void JsonEscape(std::u16string& text) {
    static constexpr char16_t kHex[] = u"0123456789abcdef";
    std::u16string escaped;
    escaped.reserve(text.size());
    for (const char16_t c : text) {
        if (const char16_t letter = ShortEscape(c); letter != 0) {
            escaped += u'\\';
            escaped += letter;
        } else if (c < 0x20) {
            escaped += u"\\u00";
            escaped += kHex[c >> 4];
            escaped += kHex[c & 0xF];
        } else {
            escaped += c;
        }
    }
    text = std::move(escaped);
}

}  // namespace tavopix
