#include "engine/browser/BrowserProtocol.h"

#include <nlohmann/json.hpp>

#include "engine/Document.h"
#include "engine/browser/RequestPolicy.h"
#include "platform/PercentEncode.h"
#include "platform/Utf8.h"

namespace tavopix {
namespace {

using nlohmann::json;

bool IsUrlAttribute(std::string_view name) {
    return name == "src" || name == "href" || name == "background";
}

bool HasScheme(std::u16string_view reference) {
    for (std::size_t i = 0; i < reference.size(); ++i) {
        const char16_t c = reference[i];
        if (c == u':')
            return i > 1;  // "c:" would be a drive, never a scheme here
        const bool schemeChar =
            (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
            (i > 0 && ((c >= u'0' && c <= u'9') || c == u'+' || c == u'-' || c == u'.'));
        if (!schemeChar)
            return false;
    }
    return false;
}

// Bytes that may stand as they are in a path of the server's address.
bool PlainInPath(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '/' ||
           c == '-' || c == '_' || c == '.' || c == '~';
}

std::string ToString(const std::u16string& s) {
    return Utf16ToUtf8(s);
}

json NodeJson(const Document& document, const NodeSnapshot& node) {
    json a = json::array();
    for (const auto& attribute : node.attributes) {
        std::u16string value = attribute.value;
        if (IsUrlAttribute(attribute.name))
            value = ServerAddressOf(document, value);
        if (attribute.name == "style")
            value = ServerStyleValue(document, "", value);
        a.push_back(json::array({attribute.name, ToString(value)}));
    }
    json s = json::array();
    for (const auto& property : node.style) {
        s.push_back(json::array(
            {property.name, ToString(ServerStyleValue(document, property.name, property.value))}));
    }
    json c = json::array();
    for (const auto& child : node.children)
        c.push_back(NodeJson(document, child));
    json out = {{"u", node.uid},
                {"g", node.tag},
                {"a", std::move(a)},
                {"s", std::move(s)},
                {"st", node.state},
                {"x", ToString(node.text)},
                {"l", ToString(node.tail)},
                {"c", std::move(c)}};
    if (!node.value.empty())
        out["v"] = ToString(node.value);
    return out;
}

json OptionalText(const std::optional<std::u16string>& value) {
    return value ? json(ToString(*value)) : json(nullptr);
}

}  // namespace

std::u16string ServerAddressOf(const Document& document, std::u16string_view reference) {
    if (reference.empty() || reference.front() == u'#' || HasScheme(reference)) {
        return std::u16string(reference);
    }
    // Paths come percent-escaped (non-ASCII bytes as %XX): undo that to find the file.
    std::string decoded;
    PercentDecode(Utf16ToUtf8(reference), decoded, BadEscape::KeepLiteral);
    const std::u16string path = document.ResolveUrl(Utf8ToUtf16(decoded));
    std::string address(kFilePrefix);
    AppendPercentEncoded(Utf16ToUtf8(path), PlainInPath, address);
    return Utf8ToUtf16(address);
}

std::u16string ServerStyleValue(const Document& document, std::string_view property,
                                std::u16string_view value) {
    std::u16string out;
    std::size_t pos = 0;
    bool sawUrl = false;
    while (true) {
        const auto open = value.find(u"url(", pos);
        if (open == std::u16string_view::npos)
            break;
        const auto close = value.find(u')', open);
        if (close == std::u16string_view::npos)
            break;
        std::u16string_view inner = value.substr(open + 4, close - open - 4);
        while (!inner.empty() &&
               (inner.front() == u' ' || inner.front() == u'"' || inner.front() == u'\'')) {
            inner.remove_prefix(1);
        }
        while (!inner.empty() &&
               (inner.back() == u' ' || inner.back() == u'"' || inner.back() == u'\'')) {
            inner.remove_suffix(1);
        }
        out.append(value.substr(pos, open - pos));
        out += u"url(\"";
        for (char16_t c : ServerAddressOf(document, inner)) {
            if (c != u'"' && c != u'\\' && c != u'\n')
                out.push_back(c);
        }
        out += u"\")";
        pos = close + 1;
        sawUrl = true;
    }
    out.append(value.substr(pos));
    if (property == "cursor" && sawUrl && out.find(u',') == std::u16string::npos) {
        out += u", pointer";
    }
    return out;
}

std::string EncodeWindow(WindowKey window, std::uint32_t docId, const WindowPlacement& placement,
                         bool active, Rect workArea) {
    const char* show = placement.show == WindowShow::Maximized   ? "max"
                       : placement.show == WindowShow::Minimized ? "min"
                                                                 : "normal";
    json j = {{"t", "win"},
              {"id", window},
              {"owner", placement.owner},
              {"doc", docId},
              {"title", ToString(placement.title)},
              {"x", placement.bounds.left},
              {"y", placement.bounds.top},
              {"w", placement.bounds.Width()},
              {"h", placement.bounds.Height()},
              {"minW", placement.minTrack.cx},
              {"minH", placement.minTrack.cy},
              {"maxW", placement.maxTrack.cx},
              {"maxH", placement.maxTrack.cy},
              {"workW", workArea.Width()},
              {"workH", workArea.Height()},
              {"visible", placement.visible},
              {"enabled", placement.enabled},
              {"show", show},
              {"active", active}};
    return j.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::string EncodeDocument(std::uint32_t docId, const Document& document) {
    json sheets = json::array();
    for (const auto& sheet : document.StyleSheets()) {
        if (sheet.url.empty()) {
            sheets.push_back({{"text", sheet.text}});
        } else {
            sheets.push_back({{"href", ToString(ServerAddressOf(document, sheet.url))}});
        }
    }
    json j = {{"t", "doc"}, {"doc", docId}, {"sheets", std::move(sheets)}, {"root", nullptr}};
    if (const Element* root = document.Root())
        j["root"] = NodeJson(document, SnapshotOf(*root));
    return j.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::string EncodeChanges(std::uint32_t docId, std::uint64_t seq, const Document& document,
                          const std::vector<Change>& changes) {
    json ops = json::array();
    for (const Change& change : changes) {
        switch (change.kind) {
            case ChangeKind::Reset:
                // A reset replaces the page: the caller sends the whole document instead.
                break;
            case ChangeKind::Insert:
                ops.push_back(
                    json::array({"ins", change.target, change.index,
                                 change.node ? NodeJson(document, *change.node) : json(nullptr)}));
                break;
            case ChangeKind::Remove:
                ops.push_back(json::array({"rm", change.target}));
                break;
            case ChangeKind::Attribute: {
                std::optional<std::u16string> value = change.value;
                if (value && IsUrlAttribute(change.name)) {
                    value = ServerAddressOf(document, *value);
                }
                if (value && change.name == "style")
                    value = ServerStyleValue(document, "", *value);
                ops.push_back(
                    json::array({"attr", change.target, change.name, OptionalText(value)}));
                break;
            }
            case ChangeKind::Style: {
                std::optional<std::u16string> value = change.value;
                if (value)
                    value = ServerStyleValue(document, change.name, *value);
                ops.push_back(
                    json::array({"style", change.target, change.name, OptionalText(value)}));
                break;
            }
            case ChangeKind::State:
                ops.push_back(json::array({"state", change.target, change.state}));
                break;
            case ChangeKind::Text:
                ops.push_back(json::array({"text", change.target, OptionalText(change.value)}));
                break;
            case ChangeKind::Tail:
                ops.push_back(json::array({"tail", change.target, OptionalText(change.value)}));
                break;
            case ChangeKind::Value:
                ops.push_back(json::array({"value", change.target, OptionalText(change.value)}));
                break;
        }
    }
    json j = {{"t", "ops"}, {"doc", docId}, {"seq", seq}, {"ops", std::move(ops)}};
    return j.dump(-1, ' ', false, json::error_handler_t::replace);
}

}  // namespace tavopix
