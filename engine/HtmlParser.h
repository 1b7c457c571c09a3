// The page dialect parser. It reads the markup the program's pages and generated fragments are
// written in:
//   - `<div .loc it="3">` is class "loc" (several `.a .b` give "a b"), `<picture #pic>` is id
//     "pic";
//   - `/>` closes any element; img, input, br, hr, meta, link, col, area, base, param, source,
//     wbr and embed never have content;
//   - attributes may be bare (`<options collapsed>`, value "") or unquoted (`btn_id=16`);
//   - any tag name is an element; there are no implied parents or HTML5 tree-building rules;
//   - comments, <!DOCTYPE> and <? ?> are skipped; <script>, <style> and <textarea> hold raw
//     text up to their end tag;
//   - character references: the common named ones, &#n; and &#xh; (an unknown or malformed one
//     stays as written).
// Recovery: an end tag closes the nearest open element of that name and everything opened
// after it; an end tag with no open element of that name is ignored; elements still open at
// the end are closed there; tags nested more than 256 deep are dropped, their text kept.
// Invalid UTF-8 becomes U+FFFD. The parser never fails.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/ElementRef.h"

namespace tavopix {

// The top level of a parsed fragment: the text before the first element, then the elements,
// each carrying the text after it as its tail.
struct HtmlFragment {
    std::u16string leadingText;
    std::vector<ElementRef> elements;
};

[[nodiscard]] HtmlFragment ParseHtml(std::string_view utf8);

// Decodes the character references of `text` (attribute values and text use the same rules).
std::u16string DecodeCharacterReferences(std::u16string_view text);

}  // namespace tavopix
