#include "engine/internal/HtmlSerializer.h"

#include <array>
#include <string_view>

#include "engine/Element.h"
#include "platform/Utf8.h"

namespace tavopix {

namespace {

void AppendEscaped(std::u16string_view text, bool inAttribute, std::string& out) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        std::string_view replacement;
        if (c == u'&') {
            replacement = "&amp;";
        } else if (c == u'<' && !inAttribute) {
            replacement = "&lt;";
        } else if (c == u'>' && !inAttribute) {
            replacement = "&gt;";
        } else if (c == u'"' && inAttribute) {
            replacement = "&quot;";
        } else {
            continue;
        }
        AppendUtf8(text.substr(start, i - start), out);
        out += replacement;
        start = i + 1;
    }
    AppendUtf8(text.substr(start), out);
}

void AppendText(const Element& owner, std::u16string_view text, std::string& out) {
    if (IsRawTextElement(owner.Tag())) {
        AppendUtf8(text, out);
    } else {
        AppendEscaped(text, false, out);
    }
}

}  // namespace

bool IsVoidElement(std::string_view tag) {
    static constexpr std::array<std::string_view, 14> kVoid{
        "area",  "base", "br",   "col",   "embed",  "hr",    "img",
        "input", "link", "meta", "param", "source", "track", "wbr"};
    for (std::string_view name : kVoid) {
        if (name == tag) {
            return true;
        }
    }
    return false;
}

bool IsRawTextElement(std::string_view tag) {
    return tag == "script" || tag == "style";
}

void WriteInnerHtml(const Element& element, std::string& out) {
    AppendText(element, element.Text(), out);
    for (std::size_t i = 0; i < element.ChildCount(); ++i) {
        const Element& child = *element.Child(i);
        WriteOuterHtml(child, out);
        AppendText(element, child.Tail(), out);
    }
}

void WriteOuterHtml(const Element& element, std::string& out) {
    out += '<';
    out += element.Tag();
    for (const ElementAttribute& attribute : element.Attributes()) {
        out += ' ';
        out += attribute.name;
        out += "=\"";
        AppendEscaped(attribute.value, true, out);
        out += '"';
    }
    out += '>';
    const bool empty = element.ChildCount() == 0 && element.Text().empty();
    if (IsVoidElement(element.Tag()) && empty) {
        return;
    }
    WriteInnerHtml(element, out);
    out += "</";
    out += element.Tag();
    out += '>';
}

}  // namespace tavopix
