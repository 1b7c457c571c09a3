#include "engine/browser/BrowserProtocol.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
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

// The trailing "?v=<digits>" of `reference`; empty when it has none.
std::u16string_view VersionQuery(std::u16string_view reference) {
    const auto mark = reference.rfind(u"?v=");
    if (mark == std::u16string_view::npos || mark + 3 == reference.size())
        return {};
    const std::u16string_view digits = reference.substr(mark + 3);
    const bool allDigits = std::all_of(digits.begin(), digits.end(),
                                       [](char16_t c) { return c >= u'0' && c <= u'9'; });
    return allDigits ? reference.substr(mark) : std::u16string_view{};
}

std::string ToString(const std::u16string& s) {
    return Utf16ToUtf8(s);
}

// Node JSON is written straight into the message: a page's first state can be tens of
// thousands of elements, and building a json value of each first costs several times the
// writing. Empty fields are left out; the mirror reads a missing one as empty.
class NodeWriter {
public:
    NodeWriter(const Document& document, std::string& out, const FilePlacer* placer)
        : document_(document), out_(out), placer_(placer) {}

    template <typename Node>
    void Write(const Node& node) {
        const NodeFields fields = FieldsOf(node);
        out_ += "{\"u\":";
        Number(fields.uid);
        out_ += ",\"g\":";
        Quoted(fields.tag);
        Pairs(",\"a\":[", fields.attributes, [&](const ElementAttribute& attribute) {
            if (IsUrlAttribute(attribute.name))
                Quoted(ServerAddressOf(document_, attribute.value, placer_));
            else if (attribute.name == "style")
                Quoted(ServerStyleValue(document_, "", attribute.value, placer_));
            else
                Quoted(attribute.value);
        });
        Pairs(",\"s\":[", fields.style, [&](const StyleProperty& property) {
            Quoted(ServerStyleValue(document_, property.name, property.value, placer_));
        });
        if (fields.state != 0) {
            out_ += ",\"st\":";
            Number(fields.state);
        }
        Field(",\"x\":", fields.text);
        Field(",\"l\":", fields.tail);
        Field(",\"v\":", fields.value);
        if (const std::size_t count = ChildCountOf(node); count > 0) {
            out_ += ",\"c\":[";
            for (std::size_t i = 0; i < count; ++i) {
                if (i > 0)
                    out_ += ',';
                Write(ChildOf(node, i));
            }
            out_ += ']';
        }
        out_ += '}';
    }

private:
    struct NodeFields {
        Element::Uid uid;
        const std::string& tag;
        const std::vector<ElementAttribute>& attributes;
        const std::vector<StyleProperty>& style;
        ElementStateBits state;
        const std::u16string& text;
        const std::u16string& tail;
        const std::u16string& value;
    };
    static NodeFields FieldsOf(const Element& e) {
        return {e.GetUid(), e.Tag(),  e.Attributes(), e.StyleProperties(),
                e.State(),  e.Text(), e.Tail(),       e.Value()};
    }
    static NodeFields FieldsOf(const NodeSnapshot& n) {
        return {n.uid, n.tag, n.attributes, n.style, n.state, n.text, n.tail, n.value};
    }
    static std::size_t ChildCountOf(const Element& e) { return e.ChildCount(); }
    static std::size_t ChildCountOf(const NodeSnapshot& n) { return n.children.size(); }
    static const Element& ChildOf(const Element& e, std::size_t i) { return *e.Child(i); }
    static const NodeSnapshot& ChildOf(const NodeSnapshot& n, std::size_t i) {
        return n.children[i];
    }

    // `key` and [[name, value]...] of `items`, each value written by `writeValue`; nothing when
    // there are none.
    template <typename Item, typename WriteValue>
    void Pairs(std::string_view key, const std::vector<Item>& items, WriteValue writeValue) {
        if (items.empty())
            return;
        out_ += key;
        for (const Item& item : items) {
            out_ += &item == &items.front() ? "[" : ",[";
            Quoted(item.name);
            out_ += ',';
            writeValue(item);
            out_ += ']';
        }
        out_ += ']';
    }

    void Number(std::uint32_t value) {
        char digits[10];
        out_.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
    }
    void Field(std::string_view key, const std::u16string& text) {
        if (!text.empty()) {
            out_ += key;
            Quoted(text);
        }
    }
    void Quoted(std::u16string_view text) {
        utf8_.clear();
        AppendUtf8(text, utf8_);
        QuotedUtf8(utf8_);
    }
    // Names come from page files: anything but plain ASCII goes through the codec, which
    // mends what is not UTF-8.
    void Quoted(std::string_view name) {
        if (std::all_of(name.begin(), name.end(),
                        [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
            QuotedUtf8(name);
        } else {
            Quoted(Utf8ToUtf16(name));
        }
    }
    void QuotedUtf8(std::string_view utf8) {
        out_ += '"';
        for (const char c : utf8) {
            if (c == '"' || c == '\\') {
                out_ += '\\';
                out_ += c;
            } else if (c == '\n') {
                out_ += "\\n";  // the markup's line breaks, short
            } else if (static_cast<unsigned char>(c) < 0x20) {
                static constexpr char kHex[] = "0123456789abcdef";
                out_ += "\\u00";
                out_ += kHex[static_cast<unsigned char>(c) >> 4];
                out_ += kHex[c & 0xF];
            } else {
                out_ += c;
            }
        }
        out_ += '"';
    }

    const Document& document_;
    std::string& out_;
    const FilePlacer* placer_;
    std::string utf8_;
};

json OptionalText(const std::optional<std::u16string>& value) {
    return value ? json(ToString(*value)) : json(nullptr);
}

}  // namespace

std::u16string ServerAddressOf(const Document& document, std::u16string_view reference,
                               const FilePlacer* placer) {
    if (reference.empty() || reference.front() == u'#' || HasScheme(reference)) {
        return std::u16string(reference);
    }
    const std::u16string_view version = VersionQuery(reference);
    reference.remove_suffix(version.size());
    // Paths come percent-escaped (non-ASCII bytes and "%", "#", "?" as %XX): undo that, once,
    // to find the file. A "%" that starts no escape can only come from a hand-written page.
    std::string decoded;
    PercentDecode(Utf16ToUtf8(reference), decoded, BadEscape::KeepLiteral);
    const std::string path = Utf16ToUtf8(document.ResolveUrl(Utf8ToUtf16(decoded)));
    if (placer && *placer)
        (*placer)(path);
    // Relative to the shell page, whose address holds the capability (RequestPolicy.h).
    std::string address(kFilePrefix.substr(1));
    AppendPercentEncoded(path, PlainInPath, address);
    return Utf8ToUtf16(address) + std::u16string(version);
}

std::u16string ServerStyleValue(const Document& document, std::string_view property,
                                std::u16string_view value, const FilePlacer* placer) {
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
        for (char16_t c : ServerAddressOf(document, inner, placer)) {
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

// ---- Program -> page ----------------------------------------------------------------------------

namespace {

std::string Text(const json& j) {
    return j.dump(-1, ' ', false, json::error_handler_t::replace);
}

json ElementJson(ShownElement element) {
    return {{"doc", element.doc}, {"u", element.uid}};
}

}  // namespace

std::string EncodeHello() {
    return R"({"t":"hello"})";
}

std::string EncodeQuit() {
    return R"({"t":"quit"})";
}

std::string EncodeTakeover() {
    return R"({"t":"takeover"})";
}

std::string EncodeWindow(WindowKey window, std::uint32_t docId, const WindowPlacement& placement,
                         bool active, Rect workArea) {
    const char* show = placement.show == WindowShow::Maximized   ? "max"
                       : placement.show == WindowShow::Minimized ? "min"
                                                                 : "normal";
    return Text({{"t", "win"},
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
                 {"active", active},
                 {"fill", placement.fillsView}});
}

std::string EncodeWindowClosed(WindowKey window) {
    return Text({{"t", "winclose"}, {"id", window}});
}

std::string EncodeDocument(std::uint32_t docId, const Document& document,
                           const FilePlacer* placer) {
    // A sheet's text goes along, so the page is styled as it is built: measuring it before a
    // fetched sheet arrived would lay out every element unstyled, and answer with that. Its
    // address is the base of the addresses inside it.
    json sheets = json::array();
    for (const auto& sheet : document.StyleSheets()) {
        if (sheet.url.empty()) {
            sheets.push_back({{"text", sheet.text}});
        } else {
            sheets.push_back({{"href", ToString(ServerAddressOf(document, sheet.url, placer))},
                              {"text", sheet.text}});
        }
    }
    std::string out = "{\"t\":\"doc\",\"doc\":" + std::to_string(docId) +
                      ",\"sheets\":" + Text(sheets) + ",\"root\":";
    if (const Element* root = document.Root())
        NodeWriter(document, out, placer).Write(*root);
    else
        out += "null";
    out += '}';
    return out;
}

std::string EncodeChanges(std::uint32_t docId, std::uint64_t seq, const Document& document,
                          const std::vector<Change>& changes, const EditAcknowledgements* edits,
                          const FilePlacer* placer) {
    const auto lastEdit = [edits](Element::Uid uid) -> std::uint64_t {
        if (!edits)
            return 0;
        const auto it = edits->find(uid);
        return it == edits->end() ? 0 : it->second;
    };
    // Small operations go through json values; inserted nodes are written in place.
    std::string out = "{\"t\":\"ops\",\"doc\":" + std::to_string(docId) +
                      ",\"seq\":" + std::to_string(seq) + ",\"ops\":[";
    NodeWriter nodes(document, out, placer);
    const std::size_t opsStart = out.size();
    for (const Change& change : changes) {
        if (change.kind == ChangeKind::Reset)
            continue;  // a reset replaces the page: the caller sends the whole document instead
        if (out.size() > opsStart)
            out += ',';
        json op;
        switch (change.kind) {
            case ChangeKind::Reset:
                break;
            case ChangeKind::Insert:
                out += "[\"ins\"," + std::to_string(change.target) + "," +
                       std::to_string(change.index) + ",";
                if (change.node)
                    nodes.Write(*change.node);
                else
                    out += "null";
                out += ']';
                continue;
            case ChangeKind::Remove:
                op = json::array({"rm", change.target});
                break;
            case ChangeKind::Attribute: {
                std::optional<std::u16string> value = change.value;
                if (value && IsUrlAttribute(change.name)) {
                    value = ServerAddressOf(document, *value, placer);
                }
                if (value && change.name == "style")
                    value = ServerStyleValue(document, "", *value, placer);
                op = json::array({"attr", change.target, change.name, OptionalText(value)});
                break;
            }
            case ChangeKind::Style: {
                std::optional<std::u16string> value = change.value;
                if (value)
                    value = ServerStyleValue(document, change.name, *value, placer);
                op = json::array({"style", change.target, change.name, OptionalText(value)});
                break;
            }
            case ChangeKind::State:
                op = json::array({"state", change.target, change.state});
                break;
            case ChangeKind::Text:
                op = json::array({"text", change.target, OptionalText(change.value)});
                // A text area's text is its value: the page weighs it against its edits.
                if (const std::uint64_t edit = lastEdit(change.target))
                    op.push_back(edit);
                break;
            case ChangeKind::Tail:
                op = json::array({"tail", change.target, OptionalText(change.value)});
                break;
            case ChangeKind::Value:
                op = json::array({"value", change.target, OptionalText(change.value)});
                if (const std::uint64_t edit = lastEdit(change.target))
                    op.push_back(edit);
                break;
        }
        out += Text(op);
    }
    out += "]}";
    return out;
}

std::string EncodeDocumentClosed(std::uint32_t docId) {
    return Text({{"t", "docclose"}, {"doc", docId}});
}

std::string EncodeQuestion(std::uint64_t id, const GeometryQuestion& question) {
    json j = {{"t", "q"}};
    if (id != 0)
        j["id"] = id;
    switch (question.what) {
        case GeometryWhat::Location:
            j["what"] = "loc";
            j["area"] = question.area;
            break;
        case GeometryWhat::IntrinsicWidths:
            j["what"] = "iw";
            break;
        case GeometryWhat::IntrinsicHeight:
            j["what"] = "ih";
            j["width"] = question.width;
            break;
        case GeometryWhat::Scroll:
            j["what"] = "scroll";
            break;
        case GeometryWhat::Locations: {
            j["what"] = "locs";
            j["area"] = question.area;
            json items = json::array();
            for (const ShownElement& item : question.items)
                items.push_back(json::array({item.doc, item.uid}));
            j["items"] = std::move(items);
            return Text(j);
        }
    }
    j["doc"] = question.element.doc;
    j["u"] = question.element.uid;
    return Text(j);
}

std::string EncodeScrollTo(ShownElement element, Point pos, bool smooth) {
    json j = ElementJson(element);
    j["t"] = "scrollto";
    j["x"] = pos.x;
    j["y"] = pos.y;
    j["smooth"] = smooth;
    return Text(j);
}

std::string EncodePopup(ShownElement element, Point anchor) {
    json j = ElementJson(element);
    j["t"] = "popup";
    j["x"] = anchor.x;
    j["y"] = anchor.y;
    return Text(j);
}

std::string EncodeHidePopup(ShownElement element) {
    json j = ElementJson(element);
    j["t"] = "hidepopup";
    return Text(j);
}

std::string EncodeDrag(WindowKey window, long hitCode, Point screen) {
    return Text(
        {{"t", "drag"}, {"win", window}, {"code", hitCode}, {"sx", screen.x}, {"sy", screen.y}});
}

std::string EncodeClipboard(std::u16string_view text) {
    return Text({{"t", "clip"}, {"text", Utf16ToUtf8(text)}});
}

std::string EncodeOpenTab(std::string_view url) {
    return Text({{"t", "open"}, {"url", std::string(url)}});
}

// ---- Page -> program ----------------------------------------------------------------------------

namespace {

// True when no array or object in `text` lies deeper than `limit`; checked before parsing, so a
// deep text never reaches the recursive parts of the JSON library.
bool NestingWithin(std::string_view text, int limit) {
    int depth = 0;
    bool inString = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > limit)
                return false;
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return true;
}

// Reads the fields of one message; the first fault is kept and every later read is skipped.
class Fields {
public:
    explicit Fields(const json& object) : object_(object) {}

    const std::string& Error() const { return error_; }
    bool Ok() const { return error_.empty(); }

    // An integer within [min, max], or `fallback` when the field is absent or null. A number
    // with a fraction (a scroll position at a fractional zoom) is rounded.
    template <class Int>
    Int Integer(const char* name, std::int64_t min, std::int64_t max, Int fallback = 0) {
        const json* value = Find(name);
        if (!value)
            return fallback;
        std::int64_t n = 0;
        if (value->is_number_integer()) {
            if (value->is_number_unsigned() &&
                value->get<std::uint64_t>() > static_cast<std::uint64_t>(max)) {
                return Fail(name, "is out of range"), fallback;
            }
            n = value->get<std::int64_t>();
        } else if (value->is_number_float()) {
            const double d = value->get<double>();
            constexpr double kExact = 9.0e15;  // every integer up to here is a double
            if (!(d >= static_cast<double>(min) && d <= static_cast<double>(max) &&
                  std::abs(d) <= kExact))
                return Fail(name, "is out of range"), fallback;
            n = static_cast<std::int64_t>(std::llround(d));
        } else {
            return Fail(name, "is not a number"), fallback;
        }
        if (n < min || n > max)
            return Fail(name, "is out of range"), fallback;
        return static_cast<Int>(n);
    }

    // A page coordinate or size, kept within kMaxPageCoordinate either way.
    int Coordinate(const char* name) {
        const std::int64_t n = Integer<std::int64_t>(name, INT32_MIN, INT32_MAX);
        return static_cast<int>(
            std::clamp<std::int64_t>(n, -kMaxPageCoordinate, kMaxPageCoordinate));
    }

    WindowKey Window() { return Integer<WindowKey>("win", 0, INT64_MAX); }
    Element::Uid Uid() { return Integer<Element::Uid>("u", 0, UINT32_MAX); }

    // A string of at most `maxUnits` UTF-16 code units; empty when absent.
    std::u16string String(const char* name, std::size_t maxUnits) {
        const json* value = Find(name);
        if (!value)
            return {};
        if (!value->is_string())
            return Fail(name, "is not a string"), std::u16string{};
        const auto& bytes = value->get_ref<const std::string&>();
        if (bytes.size() > maxUnits * 3)  // a code unit takes at most 3 bytes of UTF-8
            return Fail(name, "is too long"), std::u16string{};
        std::u16string text = Utf8ToUtf16(bytes);
        if (text.size() > maxUnits)
            return Fail(name, "is too long"), std::u16string{};
        return text;
    }

    // One of `names`, by index; `names.size()` on a fault.
    template <std::size_t N>
    std::size_t OneOf(const char* name, const std::string_view (&names)[N]) {
        const json* value = Find(name);
        if (value && value->is_string()) {
            for (std::size_t i = 0; i < N; ++i) {
                if (value->get_ref<const std::string&>() == names[i])
                    return i;
            }
        }
        Fail(name, value ? "is not one of the known names" : "is missing");
        return N;
    }

    void Fail(const char* name, const char* what) {
        if (error_.empty())
            error_ = std::string("\"") + name + "\" " + what;
    }

private:
    const json* Find(const char* name) const {
        if (!Ok())
            return nullptr;
        const auto it = object_.find(name);
        return it == object_.end() || it->is_null() ? nullptr : &*it;
    }

    const json& object_;
    std::string error_;
};

// Numbers in one answer (a scroll answer has eight).
constexpr std::size_t kMaxAnswerNumbers = 16;

bool Numbers(const json& list, std::vector<int>& out) {
    out.reserve(list.size());
    for (const json& value : list) {
        if (!value.is_number())
            return false;
        const double d = value.get<double>();
        if (!(d >= -kMaxPageCoordinate && d <= kMaxPageCoordinate))
            return false;
        out.push_back(static_cast<int>(std::lround(d)));
    }
    return true;
}

bool DecodeAnswer(const json& message, PageAnswer& answer, std::string& error) {
    Fields fields(message);
    answer.id = fields.Integer<std::uint64_t>("id", 1, INT64_MAX);
    if (!fields.Ok()) {
        error = fields.Error();
        return false;
    }
    // An answer of any other shape is no answer: the question it names falls back at once
    // instead of waiting for its time-out.
    const auto r = message.find("r");
    if (r == message.end() || !r->is_array())
        return true;
    const bool rows = !r->empty() && r->front().is_array();
    bool ok = r->size() <= (rows ? kMaxQuestionItems : kMaxAnswerNumbers);
    if (ok && rows) {
        answer.rows.resize(r->size());
        for (std::size_t i = 0; ok && i < r->size(); ++i) {
            ok = (*r)[i].is_array() && (*r)[i].size() <= kMaxAnswerNumbers &&
                 Numbers((*r)[i], answer.rows[i]);
        }
    } else if (ok) {
        ok = Numbers(*r, answer.numbers);
    }
    if (!ok) {
        answer.numbers.clear();
        answer.rows.clear();
    }
    return true;
}

constexpr std::string_view kInputKinds[] = {"move",  "over",  "down",    "up",      "dblclick",
                                            "leave", "wheel", "context", "keydown", "keyup",
                                            "char",  "value", "focus",   "scroll"};
constexpr PageInputKind kInputKindValues[] = {
    PageInputKind::MouseMove, PageInputKind::MouseMove,   PageInputKind::MouseDown,
    PageInputKind::MouseUp,   PageInputKind::DoubleClick, PageInputKind::MouseLeave,
    PageInputKind::Wheel,     PageInputKind::Context,     PageInputKind::KeyDown,
    PageInputKind::KeyUp,     PageInputKind::Char,        PageInputKind::Value,
    PageInputKind::Focus,     PageInputKind::Scroll};
static_assert(std::size(kInputKinds) == std::size(kInputKindValues));

constexpr std::string_view kSystemCommands[] = {"restore", "minimize", "maximize", "close"};

PageInput DecodeInput(Fields& fields) {
    PageInput input;
    const std::size_t kind = fields.OneOf("k", kInputKinds);
    if (kind < std::size(kInputKinds))
        input.kind = kInputKindValues[kind];
    input.window = fields.Window();
    input.uid = fields.Uid();
    input.page = {fields.Coordinate("x"), fields.Coordinate("y")};
    input.element = {fields.Coordinate("ex"), fields.Coordinate("ey")};
    input.screen = {fields.Coordinate("sx"), fields.Coordinate("sy")};
    input.buttons = fields.Integer<std::uint32_t>("b", 0, UINT16_MAX);
    input.keys = fields.Integer<std::uint32_t>("m", 0, UINT16_MAX);
    input.onIcon = fields.Integer<int>("i", 0, 1) != 0;
    input.wheel = fields.Integer<int>("dy", -UINT16_MAX, UINT16_MAX);
    input.keyCode = fields.Integer<std::uint32_t>("code", 0, UINT16_MAX);
    if (input.kind == PageInputKind::Char)
        input.text = fields.String("ch", kMaxTypedUnits);
    if (input.kind == PageInputKind::Value) {
        input.text = fields.String("v", kMaxValueUnits);
        input.edit = fields.Integer<std::uint64_t>("n", 0, std::int64_t{1} << 53);
    }
    return input;
}

}  // namespace

bool DecodePageMessage(std::string_view text, PageMessage& message, std::string& error) {
    if (text.size() > kMaxPageMessageBytes) {
        error = "the message is too large";
        return false;
    }
    if (!NestingWithin(text, kMaxPageMessageDepth)) {
        error = "the message is nested too deeply";
        return false;
    }
    const json object = json::parse(text, nullptr, false);
    if (!object.is_object()) {
        error = "the message is not a JSON object";
        return false;
    }
    Fields fields(object);
    static constexpr std::string_view kTypes[] = {"a",      "in",      "move", "sys",
                                                  "screen", "applied", "bye"};
    switch (fields.OneOf("t", kTypes)) {
        case 0: {
            PageAnswer answer;
            if (!DecodeAnswer(object, answer, error))
                return false;
            message = std::move(answer);
            return true;
        }
        case 1:
            message = DecodeInput(fields);
            break;
        case 2:
            message = PageMove{fields.Window(),
                               {fields.Coordinate("x"), fields.Coordinate("y")},
                               {fields.Coordinate("w"), fields.Coordinate("h")}};
            break;
        case 3: {
            PageSystem system{fields.Window()};
            const std::size_t command = fields.OneOf("cmd", kSystemCommands);
            system.command = static_cast<PageSystemCommand>(command % std::size(kSystemCommands));
            message = system;
            break;
        }
        case 4:
            message = PageScreen{{fields.Coordinate("w"), fields.Coordinate("h")}};
            break;
        default:
            message = PageNotice{};
            break;
    }
    if (!fields.Ok()) {
        error = fields.Error();
        return false;
    }
    return true;
}

}  // namespace tavopix
