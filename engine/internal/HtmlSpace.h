// Internal to the engine: the blanks of the page dialect's markup, selectors and style sheets
// (space, tab, line feed, carriage return, form feed), which separate tokens wherever they occur.
#pragma once

namespace tavopix {

inline bool IsHtmlSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

}  // namespace tavopix
