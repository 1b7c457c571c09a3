#include "service/JsonValueOf.h"

#include "app/TextFile.h"

namespace tavopix {
namespace {

std::size_t SkipBlanks(std::u16string_view text, std::size_t at) {
    while (at < text.size() && IsBlank(text[at])) {
        ++at;
    }
    return at;
}

}  // namespace

int JsonValueOf(std::u16string_view text, std::u16string_view quotedKey, int start,
                std::u16string& value) {
    if (start < 0 || static_cast<std::size_t>(start) >= text.size() || quotedKey.empty()) {
        return -1;
    }
    const std::size_t key = text.find(quotedKey, static_cast<std::size_t>(start));
    if (key == std::u16string_view::npos) {
        return -1;
    }
    std::size_t at = SkipBlanks(text, key + quotedKey.size());
    // A key given without its closing quote still finds the value behind that quote.
    if (at < text.size() && text[at] == u'"') {
        at = SkipBlanks(text, at + 1);
    }
    if (at >= text.size() || text[at] != u':') {
        return -1;
    }
    at = SkipBlanks(text, at + 1);
    if (at >= text.size()) {
        return -1;
    }
    std::size_t end;
    if (text[at] == u'"') {
        ++at;
        end = text.find(u'"', at);
    } else {
        // The value ends at whichever delimiter comes first, so the last value of an inner
        // object does not take the object's closing brace along.
        end = text.find_first_of(u",}", at);
    }
    if (end == std::u16string_view::npos) {
        return -1;
    }
    value.assign(text.substr(at, end - at));
    return static_cast<int>(end + 1);
}

}  // namespace tavopix
