// The engine's own UTF-8 <-> UTF-16 conversions (it sits below the application's text
// helpers). Invalid input becomes U+FFFD; nothing fails.
#pragma once

#include <string>
#include <string_view>

namespace tavopix {

std::u16string Utf8ToUtf16(std::string_view utf8);
void AppendUtf8(std::u16string_view text, std::string& out);
std::string Utf16ToUtf8(std::u16string_view text);
// Appends one code point as UTF-16.
void AppendCodePoint(char32_t codePoint, std::u16string& out);

}  // namespace tavopix
