#include "engine/TreeDump.h"

#include <cstdio>

#include "engine/Element.h"
#include "platform/Utf8.h"

namespace tavopix {

namespace {

// The same walk serves elements and snapshots through these accessors.
const std::string& TagOf(const Element& e) {
    return e.Tag();
}
const std::string& TagOf(const NodeSnapshot& n) {
    return n.tag;
}
const std::vector<ElementAttribute>& AttributesOf(const Element& e) {
    return e.Attributes();
}
const std::vector<ElementAttribute>& AttributesOf(const NodeSnapshot& n) {
    return n.attributes;
}
const std::vector<StyleProperty>& StyleOf(const Element& e) {
    return e.StyleProperties();
}
const std::vector<StyleProperty>& StyleOf(const NodeSnapshot& n) {
    return n.style;
}
ElementStateBits StateOf(const Element& e) {
    return e.State();
}
ElementStateBits StateOf(const NodeSnapshot& n) {
    return n.state;
}
const std::u16string& TextOf(const Element& e) {
    return e.Text();
}
const std::u16string& TextOf(const NodeSnapshot& n) {
    return n.text;
}
const std::u16string& TailOf(const Element& e) {
    return e.Tail();
}
const std::u16string& TailOf(const NodeSnapshot& n) {
    return n.tail;
}
const std::u16string& ValueOf(const Element& e) {
    return e.Value();
}
const std::u16string& ValueOf(const NodeSnapshot& n) {
    return n.value;
}
std::size_t CountOf(const Element& e) {
    return e.ChildCount();
}
std::size_t CountOf(const NodeSnapshot& n) {
    return n.children.size();
}
const Element& ChildOf(const Element& e, std::size_t i) {
    return *e.Child(i);
}
const NodeSnapshot& ChildOf(const NodeSnapshot& n, std::size_t i) {
    return n.children[i];
}

void AppendQuoted(std::u16string_view text, std::string& out) {
    out += '"';
    const std::string utf8 = Utf16ToUtf8(text);
    for (const char c : utf8) {
        switch (c) {
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
                    out += escaped;
                } else {
                    out += c;
                }
        }
    }
    out += '"';
}

bool IsBlank(std::u16string_view text) {
    for (const char16_t c : text) {
        if (c > u' ') {
            return false;
        }
    }
    return true;
}

void AppendTextLine(std::u16string_view text, int depth, DumpBlankText blank, std::string& out) {
    if (text.empty() || (blank == DumpBlankText::Skip && IsBlank(text))) {
        return;
    }
    out.append(static_cast<std::size_t>(depth) * 2, ' ');
    AppendQuoted(text, out);
    out += '\n';
}

template <class Node>
void Dump(const Node& node, int depth, DumpBlankText blank, std::string& out) {
    out.append(static_cast<std::size_t>(depth) * 2, ' ');
    out += TagOf(node);
    for (const ElementAttribute& attribute : AttributesOf(node)) {
        out += ' ';
        out += attribute.name;
        out += '=';
        AppendQuoted(attribute.value, out);
    }
    if (!StyleOf(node).empty()) {
        out += " {";
        bool first = true;
        for (const StyleProperty& property : StyleOf(node)) {
            out += first ? "" : "; ";
            first = false;
            out += property.name;
            out += ": ";
            out += Utf16ToUtf8(property.value);
        }
        out += '}';
    }
    if (StateOf(node)) {
        char state[24];
        std::snprintf(state, sizeof state, " [state 0x%x]", static_cast<unsigned>(StateOf(node)));
        out += state;
    }
    if (!ValueOf(node).empty()) {
        out += " [value ";
        AppendQuoted(ValueOf(node), out);
        out += ']';
    }
    out += '\n';
    AppendTextLine(TextOf(node), depth + 1, blank, out);
    for (std::size_t i = 0; i < CountOf(node); ++i) {
        const auto& child = ChildOf(node, i);
        Dump(child, depth + 1, blank, out);
        AppendTextLine(TailOf(child), depth + 1, blank, out);
    }
}

}  // namespace

std::string DumpTree(const Element& element, DumpBlankText blank) {
    std::string out;
    Dump(element, 0, blank, out);
    return out;
}

std::string DumpTree(const NodeSnapshot& node, DumpBlankText blank) {
    std::string out;
    Dump(node, 0, blank, out);
    return out;
}

}  // namespace tavopix
