#include "app/SettingsStore.h"

#include "app/TextFile.h"

namespace tavopix::SettingsStore {

namespace {

bool IsLineEnd(char16_t c) {
    return c == u'\r' || c == u'\n';
}

size_t SkipBlanks(std::u16string_view text, size_t at) {
    while (at < text.size() && IsBlank(text[at])) {
        ++at;
    }
    return at;
}

// Where the value of `key` begins: past the key's first occurrence, the separator and the
// blanks around it. npos when the key is missing or not followed by a separator.
size_t FindValue(std::u16string_view text, std::u16string_view key) {
    size_t at = text.find(key);
    if (key.empty() || at == std::u16string_view::npos) {
        return std::u16string_view::npos;
    }
    at = SkipBlanks(text, at + key.size());
    if (at >= text.size() || (text[at] != u'=' && text[at] != u':')) {
        return std::u16string_view::npos;
    }
    return SkipBlanks(text, at + 1);
}

size_t LineEndFrom(std::u16string_view text, size_t at) {
    while (at < text.size() && !IsLineEnd(text[at])) {
        ++at;
    }
    return at;
}

}  // namespace

bool Get(const std::u16string& file, std::u16string_view key, std::u16string& value) {
    std::u16string text;
    if (!ReadTextFile(file, text)) {
        return false;
    }
    size_t start = FindValue(text, key);
    if (start == std::u16string::npos || start >= text.size()) {
        return false;
    }
    size_t end = LineEndFrom(text, start);
    while (end > start && (text[end - 1] == u' ' || text[end - 1] == u'\t')) {
        --end;
    }
    value.assign(text, start, end - start);
    return true;
}

bool Set(const std::u16string& file, std::u16string_view key, std::u16string_view value) {
    if (key.empty()) {
        return false;
    }
    std::u16string text;
    if (!ReadTextFile(file, text)) {
        text.clear();
    }
    size_t start = FindValue(text, key);
    if (start == std::u16string::npos) {
        // A last line without its line end would otherwise run into the appended key.
        if (!text.empty() && !IsLineEnd(text.back())) {
            text += u"\r\n";
        }
        text.append(key).append(u" = ").append(value).append(u"\r\n");
    } else if (start >= text.size()) {
        // Only blanks follow the separator: the value goes at the end, ended like a line so a
        // later appended key stays apart from it.
        text.append(value).append(u"\r\n");
    } else {
        text.replace(start, LineEndFrom(text, start) - start, value);
    }
    return WriteTextFile(file, text);
}

}  // namespace tavopix::SettingsStore
