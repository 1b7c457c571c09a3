// The program's one UTF-8 <-> UTF-16 codec. Every layer converts at its edges through these: the
// engine for pages and the browser socket, the SDK for HTTP bodies and its configuration file,
// the application's text helpers for paths and pages.
//
// The lenient forms never fail: an unpaired surrogate becomes U+FFFD, and so does each maximal
// invalid part of a UTF-8 sequence (the longest beginning that could still have become a valid
// sequence, or a single byte), so a damaged byte never swallows the valid text after it. The
// strict forms give nothing at all for such input.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tavopix {

// Appends the UTF-8 of `text` to `out`; unpaired surrogates become U+FFFD.
void AppendUtf8(std::u16string_view text, std::string& out);

// UTF-8 of `text`; unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

// UTF-8 of `text`, or nothing when it holds an unpaired surrogate.
[[nodiscard]] std::optional<std::string> StrictUtf16ToUtf8(std::u16string_view text);

// UTF-16 of `utf8`; malformed sequences, overlong forms, surrogates and values above U+10FFFF
// become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view utf8);

// UTF-16 of `utf8`, or nothing when it is not well-formed UTF-8.
[[nodiscard]] std::optional<std::u16string> StrictUtf8ToUtf16(std::string_view utf8);

// Appends one code point as UTF-16; a surrogate or a value above U+10FFFF becomes U+FFFD.
void AppendCodePoint(char32_t codePoint, std::u16string& out);

}  // namespace tavopix
