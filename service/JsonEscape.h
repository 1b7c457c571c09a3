// Making user text safe to place between the double quotes of a JSON string in the OpenApi
// request templates (album names and descriptions, the album question and answer, feedback).
#pragma once

#include <string>

namespace tavopix {

// Escapes `text` in place: a backslash before every double quote and backslash, the short
// escapes \b \f \n \r \t for those control characters and \u00XX for the other ones below 32,
// so that any JSON reader gives back exactly the text that was typed.
void JsonEscape(std::u16string& text);

}  // namespace tavopix
