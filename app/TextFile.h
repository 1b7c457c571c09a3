// Whole-file access to the program's UTF-16 data files, and the line and token readers that
// every data file is parsed with.
//
// Files are UTF-16 little-endian. Written files begin with the byte-order mark FF FE; a file
// that begins with U+FEFF is read without it, one without it is read as UTF-16LE all the same,
// and a trailing odd byte is ignored. An empty file counts as unreadable.
#pragma once

#include <string>
#include <string_view>

namespace tavopix {

// Who may read a written file: Private gives mode 0600 (for the remembered login).
enum class FileAccess { Shared, Private };

// Reads the whole file into `text`. Returns false (leaving `text` untouched) when the file is
// missing, unreadable or 0 bytes long.
[[nodiscard]] bool ReadTextFile(const std::u16string& path, std::u16string& text);

// Replaces the file with FF FE followed by `text` in UTF-16LE. The bytes go to a temporary file
// beside it that is then renamed over the old one, so a crash never leaves a truncated file.
bool WriteTextFile(const std::u16string& path, std::u16string_view text,
                   FileAccess access = FileAccess::Shared);

// Stores the next non-empty line at or after `start` (without its CR LF) in `line` and returns
// the index just after its LF, or -1 when no further line exists. Text after the last LF is not
// a line.
int ReadLine(std::u16string_view text, std::u16string& line, int start);

// Stores the next token at or after `start` in `token` and returns the index just after it, or
// -1 when none is left. Tokens are separated by blanks (code 32 or less); a token that begins
// with a double quote runs to the next double quote, without the quotes.
int ReadToken(std::u16string_view text, std::u16string& token, int start);

// True for the units this program treats as blank: every code of 32 or less.
constexpr bool IsBlank(char16_t c) {
    return c <= 32;
}

}  // namespace tavopix
