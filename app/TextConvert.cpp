#include "app/TextConvert.h"

#include <optional>
#include <utility>

#include "platform/PercentEncode.h"
#include "platform/Utf8.h"

namespace tavopix {

int ToUtf8(std::u16string_view text, std::string& narrow) {
    if (text.empty()) {
        return 0;
    }
    std::optional<std::string> converted = StrictUtf16ToUtf8(text);
    if (!converted) {
        return 0;
    }
    narrow = std::move(*converted);
    return static_cast<int>(narrow.size());
}

int ToAnsi(std::u16string_view text, std::string& narrow) {
    return ToUtf8(text, narrow);
}

std::string Utf8(std::u16string_view text) {
    return Utf16ToUtf8(text);
}

std::u16string FromUtf8(std::string_view utf8) {
    return Utf8ToUtf16(utf8);
}

void PercentEscape(std::u16string& text) {
    if (text.empty()) {
        return;
    }
    std::u16string escaped;
    // "%", "#" and "?" too, so that the page's address decodes back to exactly this path: a
    // file named "%41.png" is not "A.png", and "a#b.jpg" holds no fragment.
    AppendPercentEncoded(
        Utf8(text),
        [](unsigned char byte) { return byte < 0x80 && byte != '%' && byte != '#' && byte != '?'; },
        escaped);
    text = std::move(escaped);
}

}  // namespace tavopix
