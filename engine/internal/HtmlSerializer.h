// Writes elements back as standard HTML (UTF-8): "class" and "id" as plain attributes, text
// and attribute values escaped (& < > in text; & " in values), void elements without an end
// tag, raw-text elements (script, style) unescaped. What it writes parses back to the same
// tree.
#pragma once

#include <string>

namespace tavopix {

class Element;

void WriteOuterHtml(const Element& element, std::string& out);
void WriteInnerHtml(const Element& element, std::string& out);

// Element names that never have content.
bool IsVoidElement(std::string_view tag);
// Element names whose content is raw text.
bool IsRawTextElement(std::string_view tag);

}  // namespace tavopix
