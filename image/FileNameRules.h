// Internal to image/: the file-name tests the picture helpers make. They look at names only
// where the program's rules are about names (which encoder a rotation writes with, which files
// may be shown as they are); the content is always decoded by what it is.
#pragma once

#include <string>
#include <string_view>

#include "platform/AsciiCase.h"

namespace tavopix {

// The last `count` units of `path`, ASCII letters lower-cased.
inline std::u16string LowerTail(std::u16string_view path, std::size_t count) {
    return AsciiLowercase(path.substr(path.size() > count ? path.size() - count : 0));
}

// The file name's extension from its last dot, lower-cased; empty when it has none.
inline std::u16string LowerExtension(std::u16string_view path) {
    const std::size_t name = path.find_last_of(u'/');
    const std::size_t dot = path.find_last_of(u'.');
    if (dot == std::u16string_view::npos || (name != std::u16string_view::npos && dot < name)) {
        return {};
    }
    return LowerTail(path, path.size() - dot);
}

// The text after the last separator (all of it when there is none).
inline std::u16string FileNameOf(std::u16string_view path) {
    const std::size_t slash = path.find_last_of(u'/');
    return std::u16string(slash == std::u16string_view::npos ? path : path.substr(slash + 1));
}

}  // namespace tavopix
