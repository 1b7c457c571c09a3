// The user's preferences in the settings file (programDir + "tavopix.ini"): one key read or
// written per call, straight from and to the file, nothing cached.
//
// The format is lenient text: a key, blanks, "=" or ":", blanks, and the value up to the line
// end. A key is found by plain search anywhere in the text (its first occurrence only), and the
// blanks after the separator may cross a line end, so an empty value takes the next line's
// text. Lines written here are key, " = ", value and CR LF, in a UTF-16LE file with FF FE.
#pragma once

#include <string>
#include <string_view>

namespace tavopix::SettingsStore {

// Stores the value of `key` in `value` and returns true; returns false, leaving `value` as it
// was, when the file is missing, unreadable or empty, or holds no value for the key.
[[nodiscard]] bool Get(const std::u16string& file, std::u16string_view key, std::u16string& value);

// Replaces the value of `key` in the file, or appends a line for it, and writes the whole file
// back. True when it was written.
bool Set(const std::u16string& file, std::u16string_view key, std::u16string_view value);

}  // namespace tavopix::SettingsStore
