// The SDK's UTF-16 text at its C boundary: the caller's NUL-terminated strings, and the text
// buffers the SDK hands out for callers to free with ovkReleaseBuffer. Conversions to and from
// UTF-8 are the program's codec in platform/Utf8.h.
#pragma once

#include <string_view>

namespace tavopix::sdk {

// The text of a NUL-terminated pointer; null reads as empty.
std::u16string_view TextOf(const char16_t* text);

// A NUL-terminated copy of `text` in an SDK buffer; null only when memory runs out.
char16_t* NewTextBuffer(std::u16string_view text);

// Stores a new SDK buffer holding `text` in `*buffer`; false, with the thread's last error set to
// ERROR_NOT_ENOUGH_MEMORY, when memory runs out.
[[nodiscard]] bool HandOutText(std::u16string_view text, char16_t** buffer);

}  // namespace tavopix::sdk
