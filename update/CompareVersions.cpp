#include "update/CompareVersions.h"

#include <cstdint>

namespace tavopix {
namespace {

// The blanks that a component may start with, as the C library's number readers skip them.
bool IsLeadingSpace(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r';
}

// Value of one component. Huge numbers saturate instead of overflowing, so two components that
// are both beyond any real version still compare without undefined behaviour.
std::int64_t ComponentValue(std::u16string_view component) {
    constexpr std::int64_t kLimit = INT64_C(1) << 40;
    std::size_t i = 0;
    while (i < component.size() && IsLeadingSpace(component[i])) {
        ++i;
    }
    bool negative = false;
    if (i < component.size() && (component[i] == u'+' || component[i] == u'-')) {
        negative = component[i] == u'-';
        ++i;
    }
    std::int64_t value = 0;
    for (; i < component.size() && component[i] >= u'0' && component[i] <= u'9'; ++i) {
        if (value < kLimit) {
            value = value * 10 + (component[i] - u'0');
        }
    }
    return negative ? -value : value;
}

// Takes the next component off the front of `rest`; false once the text has none left.
bool NextComponent(std::u16string_view& rest, bool& exhausted, std::u16string_view& component) {
    if (exhausted) {
        return false;
    }
    const std::size_t dot = rest.find(u'.');
    if (dot == std::u16string_view::npos) {
        component = rest;
        exhausted = true;
    } else {
        component = rest.substr(0, dot);
        rest.remove_prefix(dot + 1);
    }
    return true;
}

}  // namespace

int CompareVersions(std::u16string_view a, std::u16string_view b) {
    bool aDone = false;
    bool bDone = false;
    while (!aDone || !bDone) {
        std::u16string_view aPart;
        std::u16string_view bPart;
        const std::int64_t aValue = NextComponent(a, aDone, aPart) ? ComponentValue(aPart) : 0;
        const std::int64_t bValue = NextComponent(b, bDone, bPart) ? ComponentValue(bPart) : 0;
        if (aValue != bValue) {
            return aValue < bValue ? -1 : 1;
        }
    }
    return 0;
}

}  // namespace tavopix
