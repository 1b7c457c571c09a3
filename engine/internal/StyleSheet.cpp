#include "engine/internal/StyleSheet.h"

#include "engine/Element.h"
#include "engine/internal/HtmlSpace.h"
#include "platform/AsciiCase.h"
#include "platform/Utf8.h"

namespace tavopix {

namespace {

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsHtmlSpace(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsHtmlSpace(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::string WithoutComments(std::string_view css) {
    std::string out;
    out.reserve(css.size());
    std::size_t i = 0;
    while (i < css.size()) {
        const std::size_t open = css.find("/*", i);
        if (open == std::string_view::npos) {
            out.append(css.substr(i));
            break;
        }
        out.append(css.substr(i, open - i));
        out.push_back(' ');
        const std::size_t close = css.find("*/", open + 2);
        i = close == std::string_view::npos ? css.size() : close + 2;
    }
    return out;
}

// The index just after the '}' that closes the block whose '{' is at `open`, or the end.
std::size_t BlockEnd(std::string_view css, std::size_t open) {
    int depth = 0;
    for (std::size_t i = open; i < css.size(); ++i) {
        if (css[i] == '{') {
            ++depth;
        } else if (css[i] == '}' && --depth == 0) {
            return i + 1;
        }
    }
    return css.size();
}

// Calls `declaration(name, value)` for each "name: value" of a declaration list, the name in
// lower case and the value without "!important".
template <class Fn>
void ForEachDeclaration(std::string_view list, Fn&& declaration) {
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find(';', start);
        if (end == std::string_view::npos) {
            end = list.size();
        }
        const std::string_view item = list.substr(start, end - start);
        const std::size_t colon = item.find(':');
        if (colon != std::string_view::npos) {
            std::string_view value = Trim(item.substr(colon + 1));
            const std::size_t important = value.find("!important");
            if (important != std::string_view::npos) {
                value = Trim(value.substr(0, important));
            }
            declaration(AsciiLowercase(Trim(item.substr(0, colon))), value);
        }
        start = end + 1;
    }
}

// The selector inside "selector(...)"; std::nullopt for anything else ("none" included).
std::optional<Selector> MenuSelector(std::string_view value) {
    constexpr std::string_view kPrefix = "selector(";
    if (AsciiLowercase(value.substr(0, kPrefix.size())) != kPrefix || !value.ends_with(')')) {
        return std::nullopt;
    }
    return Selector::Parse(value.substr(kPrefix.size(), value.size() - kPrefix.size() - 1));
}

bool IsEngineProperty(std::string_view name) {
    return name == "behavior" || name == "context-menu";
}

}  // namespace

void StyleSheet::Add(std::string_view css) {
    const std::string text = WithoutComments(css);
    const std::string_view in = text;
    std::size_t pos = 0;
    while (pos < in.size()) {
        while (pos < in.size() && (IsHtmlSpace(in[pos]) || in[pos] == '}' || in[pos] == ';')) {
            ++pos;
        }
        if (pos >= in.size()) {
            break;
        }
        const std::size_t open = in.find('{', pos);
        const std::size_t semicolon = in.find(';', pos);
        if (in[pos] == '@') {
            // @media and @supports hold rules; other at-rules end at ';' or hold no rules.
            const std::string keyword = AsciiLowercase(in.substr(pos, 9));
            if (open == std::string_view::npos ||
                (semicolon != std::string_view::npos && semicolon < open)) {
                pos = semicolon == std::string_view::npos ? in.size() : semicolon + 1;
            } else if (keyword.starts_with("@media") || keyword.starts_with("@supports")) {
                pos = open + 1;  // read the inner rules as if at the top
            } else {
                pos = BlockEnd(in, open);
            }
            continue;
        }
        if (open == std::string_view::npos) {
            break;
        }
        const std::size_t end = BlockEnd(in, open);
        const std::string_view prelude = Trim(in.substr(pos, open - pos));
        const std::size_t bodyEnd = end > open + 1 && in[end - 1] == '}' ? end - 1 : end;
        const std::string_view body = in.substr(open + 1, bodyEnd - open - 1);
        pos = end;
        std::optional<Selector> selector;
        ForEachDeclaration(body, [&](const std::string& name, std::string_view value) {
            if (!IsEngineProperty(name)) {
                return;
            }
            if (!selector) {
                selector = Selector::Parse(prelude);
                if (!selector) {
                    return;
                }
            }
            rules_.push_back({*selector, name, std::string(value), MenuSelector(value)});
        });
    }
}

const StyleSheet::Rule* StyleSheet::Winner(const Element& element,
                                           std::string_view property) const {
    const Rule* winner = nullptr;
    std::uint32_t best = 0;
    for (const Rule& rule : rules_) {
        if (rule.property != property) {
            continue;
        }
        const std::optional<std::uint32_t> specificity = rule.selector.MatchSpecificity(element);
        if (specificity && (!winner || *specificity >= best)) {
            winner = &rule;
            best = *specificity;
        }
    }
    return winner;
}

std::vector<std::string> StyleSheet::BehaviorsOf(const Element& element) const {
    std::string value;
    const std::u16string* inlineStyle = element.GetAttribute("style");
    std::optional<std::string> inlineValue;
    if (inlineStyle) {
        inlineValue = DeclarationValue(Utf16ToUtf8(*inlineStyle), "behavior");
    }
    if (inlineValue) {
        value = *inlineValue;
    } else if (const Rule* rule = Winner(element, "behavior")) {
        value = rule->value;
    }
    std::vector<std::string> names;
    std::size_t start = 0;
    const std::string_view list = value;
    while (start < list.size()) {
        while (start < list.size() && (IsHtmlSpace(list[start]) || list[start] == ',')) {
            ++start;
        }
        std::size_t end = start;
        while (end < list.size() && !IsHtmlSpace(list[end]) && list[end] != ',') {
            ++end;
        }
        if (end > start) {
            names.emplace_back(list.substr(start, end - start));
        }
        start = end;
    }
    if (names.size() == 1 && AsciiLowercase(names.front()) == "none") {
        names.clear();
    }
    return names;
}

const Selector* StyleSheet::ContextMenuOf(const Element& element) const {
    if (const std::u16string* inlineStyle = element.GetAttribute("style")) {
        if (std::optional<std::string> value =
                DeclarationValue(Utf16ToUtf8(*inlineStyle), "context-menu")) {
            const std::optional<Selector> menu = MenuSelector(*value);
            return menu ? CachedSelector(menu->Text()) : nullptr;
        }
    }
    const Rule* rule = Winner(element, "context-menu");
    return rule && rule->menu ? &*rule->menu : nullptr;
}

std::optional<std::string> DeclarationValue(std::string_view declarations,
                                            std::string_view property) {
    std::optional<std::string> found;
    ForEachDeclaration(declarations, [&](const std::string& name, std::string_view value) {
        if (name == property) {
            found = std::string(value);
        }
    });
    return found;
}

}  // namespace tavopix
