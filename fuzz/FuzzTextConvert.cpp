// Any UTF-16 text through the conversions: what ToUtf8 accepts converts back unchanged, the
// lenient forms always give valid text, and PercentEscape leaves only ASCII.
#include <cstdint>
#include <string>

#include "FuzzUnits.h"
#include "app/TextConvert.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tavopix;
    const std::u16string text = fuzzing::Utf16Units(data, size);
    std::string narrow;
    int bytes = ToUtf8(text, narrow);
    if ((bytes > 0) != !narrow.empty() || (bytes > 0 && FromUtf8(narrow) != text)) {
        __builtin_trap();
    }
    // The lenient forms: replacing once gives text that converts strictly and round-trips.
    std::u16string repaired = FromUtf8(Utf8(text));
    std::string strict;
    if (!repaired.empty() && (ToUtf8(repaired, strict) == 0 || FromUtf8(strict) != repaired)) {
        __builtin_trap();
    }
    std::u16string fromBytes = FromUtf8(std::string(reinterpret_cast<const char*>(data), size));
    if (FromUtf8(Utf8(fromBytes)) != fromBytes) {
        __builtin_trap();
    }
    std::u16string escaped = text;
    PercentEscape(escaped);
    for (char16_t unit : escaped) {
        if (unit >= 0x80) {
            __builtin_trap();
        }
    }
    if (escaped.empty() != text.empty()) {
        __builtin_trap();
    }
    return 0;
}
