// ovkDecodeJsonW on any UTF-16 text: decoding in place and into a separate buffer agree, the
// result is never longer than the text, and a second pass over an escape-free text changes
// nothing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "sdk/OvkSdk.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::u16string text(size / 2, u'\0');
    if (!text.empty()) {
        std::memcpy(text.data(), data, text.size() * 2);
    }
    text = std::u16string(text.c_str());  // the function reads up to the first NUL
    std::u16string inPlace = text;
    std::u16string separate(text.size() + 1, u'#');
    tavopix::ovkDecodeJsonW(inPlace.c_str(), inPlace.data());
    tavopix::ovkDecodeJsonW(text.c_str(), separate.data());
    std::u16string decoded(inPlace.c_str());
    if (decoded != std::u16string(separate.c_str()) || decoded.size() > text.size()) {
        std::abort();
    }
    if (text.find(u'\\') == std::u16string::npos && decoded != text) {
        std::abort();
    }
    return 0;
}
