#include "sdk/internal/UrlText.h"

#include "platform/HexDigit.h"
#include "platform/PercentEncode.h"

namespace tavopix::sdk {

std::string PercentEncode(std::string_view text) {
    std::string encoded;
    encoded.reserve(text.size());
    AppendPercentEncoded(
        text,
        [](unsigned char c) {
            return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                   c == '-' || c == '.' || c == '_' || c == '~';
        },
        encoded);
    return encoded;
}

std::string PercentDecode(std::string_view text) {
    std::string decoded;
    decoded.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        int high = -1;
        int low = -1;
        if (text[i] == '%' && i + 2 < text.size()) {
            high = HexDigitValue(static_cast<unsigned char>(text[i + 1]));
            low = HexDigitValue(static_cast<unsigned char>(text[i + 2]));
        }
        if (high >= 0 && low >= 0) {
            decoded += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            decoded += text[i];
        }
    }
    return decoded;
}

}  // namespace tavopix::sdk
