// The library's data files keep one path per line, so a path can be stored only when it is
// non-empty and holds no line break: an empty line is skipped when the file is read back, and a
// CR or LF inside a path would come back as a different path or as two of them.
#pragma once

#include <string_view>

namespace tavopix {

constexpr bool IsLineSafe(std::u16string_view path) {
    return !path.empty() && path.find_first_of(u"\r\n") == std::u16string_view::npos;
}

}  // namespace tavopix
