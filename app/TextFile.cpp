#include "app/TextFile.h"

#include "app/TextConvert.h"
#include "platform/WholeFile.h"

namespace tavopix {

namespace {

constexpr char16_t kByteOrderMark = 0xFEFF;

}  // namespace

bool ReadTextFile(const std::u16string& path, std::u16string& text) {
    std::string bytes;
    if (path.empty() || !ReadWholeFile(Utf8(path), bytes) || bytes.empty()) {
        return false;
    }
    std::u16string content;
    size_t units = bytes.size() / 2;  // a trailing odd byte is not a unit
    content.reserve(units);
    for (size_t i = 0; i < units; ++i) {
        auto low = static_cast<unsigned char>(bytes[2 * i]);
        auto high = static_cast<unsigned char>(bytes[2 * i + 1]);
        content += static_cast<char16_t>(low | (high << 8));
    }
    if (!content.empty() && content.front() == kByteOrderMark) {
        content.erase(0, 1);
    }
    text = std::move(content);
    return true;
}

bool WriteTextFile(const std::u16string& path, std::u16string_view text, FileAccess access) {
    if (path.empty()) {
        return false;
    }
    std::string bytes;
    bytes.reserve(2 + text.size() * 2);
    bytes += '\xFF';
    bytes += '\xFE';
    for (char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return WriteFileAtomically(
        Utf8(path), bytes,
        access == FileAccess::Private ? FilePermissions::OwnerOnly : FilePermissions::Shared);
}

int ReadLine(std::u16string_view text, std::u16string& line, int start) {
    if (start < 0) {
        return -1;
    }
    auto from = static_cast<size_t>(start);
    while (from < text.size()) {
        size_t lineFeed = text.find(u'\n', from);
        if (lineFeed == std::u16string_view::npos) {
            return -1;
        }
        size_t end = lineFeed;
        while (end > from && (text[end - 1] == u'\r' || text[end - 1] == u'\n')) {
            --end;
        }
        if (end > from) {
            line.assign(text.substr(from, end - from));
            return static_cast<int>(lineFeed + 1);
        }
        // An empty line, or one of carriage returns only, is skipped.
        from = lineFeed + 1;
    }
    return -1;
}

int ReadToken(std::u16string_view text, std::u16string& token, int start) {
    if (start < 0) {
        return -1;
    }
    auto from = static_cast<size_t>(start);
    while (from < text.size() && IsBlank(text[from])) {
        ++from;
    }
    if (from >= text.size()) {
        return -1;
    }
    size_t end;
    if (text[from] == u'"') {
        ++from;
        end = text.find(u'"', from);
    } else {
        end = from;
        while (end < text.size() && !IsBlank(text[end])) {
            ++end;
        }
    }
    if (end == std::u16string_view::npos) {
        end = text.size();
    }
    if (end == from) {
        return -1;
    }
    token.assign(text.substr(from, end - from));
    return static_cast<int>(end + 1);
}

}  // namespace tavopix
