// Conversions between the program's UTF-16 text and the 8-bit forms used at its edges:
// file-system calls, HTML fragments, HTTP and the browser socket.
#pragma once

#include <string>
#include <string_view>

namespace tavopix {

// Converts to UTF-8. Returns the number of bytes produced; 0 when `text` is empty or holds an
// unpaired surrogate, and `narrow` is then untouched.
int ToUtf8(std::u16string_view text, std::string& narrow);

// The system's 8-bit code page; on this platform that is UTF-8, so this is ToUtf8.
int ToAnsi(std::u16string_view text, std::string& narrow);

// Convenience forms for the edges: invalid input becomes U+FFFD rather than failing (the
// codec of platform/Utf8.h).
std::string Utf8(std::u16string_view text);
std::u16string FromUtf8(std::string_view utf8);

// Replaces `text` by its UTF-8 form with every byte of 0x80 or more, and "%", "#" and "?",
// written as "%" and two upper-case hexadecimal digits; the form used for every path put into a
// page, which the view decodes exactly once.
void PercentEscape(std::u16string& text);

}  // namespace tavopix
