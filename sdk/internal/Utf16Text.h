// UTF-16 ⇄ UTF-8 at the SDK's edges (HTTP bodies, file names, the configuration file), and the
// SDK's text buffers that callers free with ovkReleaseBuffer. The SDK sits below the program's
// own text helpers, so it carries this small codec itself.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tavopix::sdk {

// UTF-8 of `text`; an unpaired surrogate becomes U+FFFD.
std::string Utf8FromUtf16(std::u16string_view text);

// UTF-16 of `utf8`; malformed sequences become U+FFFD.
std::u16string Utf16FromUtf8(std::string_view utf8);

// UTF-16 of `utf8`, or nothing when it is not well-formed UTF-8.
std::optional<std::u16string> StrictUtf16FromUtf8(std::string_view utf8);

// The text of a NUL-terminated pointer; null reads as empty.
std::u16string_view TextOf(const char16_t* text);

// A NUL-terminated copy of `text` in an SDK buffer; null only when memory runs out.
char16_t* NewTextBuffer(std::u16string_view text);

}  // namespace tavopix::sdk
