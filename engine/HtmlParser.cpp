#include "engine/HtmlParser.h"

#include <array>
#include <utility>

#include "engine/Element.h"
#include "engine/internal/HtmlSerializer.h"
#include "engine/internal/HtmlSpace.h"
#include "engine/internal/MarkupState.h"
#include "platform/AsciiCase.h"
#include "platform/HexDigit.h"
#include "platform/Utf8.h"

namespace tavopix {

namespace {

// Tags nested deeper are dropped (their text is kept): the tree code recurses, and no page
// nests this deep.
constexpr std::size_t kMaxDepth = 256;

struct NamedReference {
    std::u16string_view name;
    char16_t value;
};

constexpr std::array<NamedReference, 36> kNamedReferences{{
    {u"amp", u'&'},         {u"lt", u'<'},          {u"gt", u'>'},          {u"quot", u'"'},
    {u"apos", u'\''},       {u"nbsp", u'\u00A0'},   {u"copy", u'\u00A9'},   {u"reg", u'\u00AE'},
    {u"trade", u'\u2122'},  {u"hellip", u'\u2026'}, {u"mdash", u'\u2014'},  {u"ndash", u'\u2013'},
    {u"laquo", u'\u00AB'},  {u"raquo", u'\u00BB'},  {u"middot", u'\u00B7'}, {u"times", u'\u00D7'},
    {u"divide", u'\u00F7'}, {u"deg", u'\u00B0'},    {u"plusmn", u'\u00B1'}, {u"para", u'\u00B6'},
    {u"sect", u'\u00A7'},   {u"lsquo", u'\u2018'},  {u"rsquo", u'\u2019'},  {u"ldquo", u'\u201C'},
    {u"rdquo", u'\u201D'},  {u"bull", u'\u2022'},   {u"euro", u'\u20AC'},   {u"yen", u'\u00A5'},
    {u"pound", u'\u00A3'},  {u"cent", u'\u00A2'},   {u"ensp", u'\u2002'},   {u"emsp", u'\u2003'},
    {u"thinsp", u'\u2009'}, {u"shy", u'\u00AD'},    {u"larr", u'\u2190'},   {u"rarr", u'\u2192'},
}};

bool IsAsciiAlpha(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}
bool IsDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

// Decodes one reference starting at the '&' at `at`; returns its length, or 0 when there is
// no well-formed reference there.
std::size_t DecodeReference(std::u16string_view text, std::size_t at, std::u16string& out) {
    std::size_t i = at + 1;
    if (i < text.size() && text[i] == u'#') {
        ++i;
        const bool hex = i < text.size() && (text[i] == u'x' || text[i] == u'X');
        if (hex) {
            ++i;
        }
        const std::size_t digitsStart = i;
        char32_t value = 0;
        while (i < text.size() && (hex ? HexDigitValue(text[i]) >= 0 : IsDigit(text[i]))) {
            value = value * (hex ? 16 : 10) + static_cast<char32_t>(HexDigitValue(text[i]));
            if (value > 0x10FFFF) {
                value = 0x110000;  // stays out of range however many digits follow
            }
            ++i;
        }
        if (i == digitsStart || i >= text.size() || text[i] != u';') {
            return 0;
        }
        AppendCodePoint(value == 0 ? 0xFFFD : value, out);
        return i + 1 - at;
    }
    const std::size_t nameStart = i;
    while (i < text.size() && (IsAsciiAlpha(text[i]) || IsDigit(text[i]))) {
        ++i;
    }
    if (i == nameStart || i >= text.size() || text[i] != u';') {
        return 0;
    }
    const std::u16string_view name = text.substr(nameStart, i - nameStart);
    for (const NamedReference& reference : kNamedReferences) {
        if (reference.name == name) {
            out.push_back(reference.value);
            return i + 1 - at;
        }
    }
    return 0;
}

bool StartsWithNoCase(std::string_view text, std::size_t at, std::string_view prefix) {
    if (text.size() - at < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (AsciiLower(text[at + i]) != prefix[i]) {
            return false;
        }
    }
    return true;
}

class Parser {
public:
    explicit Parser(std::string_view input) : in_(input) {}

    HtmlFragment Run() {
        std::size_t textStart = 0;
        while (pos_ < in_.size()) {
            const std::size_t next = in_.find('<', pos_);
            if (next == std::string_view::npos) {
                break;
            }
            pos_ = next;
            if (!IsMarkupAt(pos_)) {
                ++pos_;  // a '<' that opens no markup is text
                continue;
            }
            AddText(in_.substr(textStart, pos_ - textStart), Decode::Yes);
            Markup();
            textStart = pos_;
        }
        AddText(in_.substr(textStart), Decode::Yes);
        return std::move(result_);
    }

private:
    enum class Decode { No, Yes };

    bool IsMarkupAt(std::size_t at) const {
        if (in_.compare(at, 2, "<!") == 0 || in_.compare(at, 2, "<?") == 0) {
            return true;
        }
        if (in_.compare(at, 2, "</") == 0) {
            return at + 2 < in_.size() && IsNameStart(in_[at + 2]);
        }
        return at + 1 < in_.size() && IsNameStart(in_[at + 1]);
    }

    // Reads the markup at pos_, which IsMarkupAt accepted.
    void Markup() {
        const std::size_t at = pos_;
        if (in_.compare(at, 4, "<!--") == 0) {
            const std::size_t end = in_.find("-->", at + 4);
            pos_ = end == std::string_view::npos ? in_.size() : end + 3;
        } else if (in_[at + 1] == '!' || in_[at + 1] == '?') {
            const std::size_t end = in_.find('>', at + 2);
            pos_ = end == std::string_view::npos ? in_.size() : end + 1;
        } else if (in_[at + 1] == '/') {
            pos_ = at + 2;
            const std::string name = ReadName();
            const std::size_t end = in_.find('>', pos_);
            pos_ = end == std::string_view::npos ? in_.size() : end + 1;
            CloseElement(name);
        } else {
            pos_ = at + 1;
            StartTag();
        }
    }

    static bool IsNameStart(char c) {
        return IsAsciiAlpha(static_cast<unsigned char>(c)) || c == '_' ||
               static_cast<unsigned char>(c) >= 0x80;
    }

    static bool EndsName(char c) { return IsHtmlSpace(c) || c == '>' || c == '/' || c == '='; }

    std::string ReadName() {
        std::string name;
        while (pos_ < in_.size() && !EndsName(in_[pos_]) && in_[pos_] != '"' && in_[pos_] != '\'' &&
               in_[pos_] != '<') {
            name.push_back(AsciiLower(in_[pos_]));
            ++pos_;
        }
        return name;
    }

    void SkipSpace() {
        while (pos_ < in_.size() && IsHtmlSpace(in_[pos_])) {
            ++pos_;
        }
    }

    std::u16string ReadValue() {
        if (pos_ >= in_.size()) {
            return {};
        }
        const char quote = in_[pos_];
        std::string_view raw;
        if (quote == '"' || quote == '\'') {
            const std::size_t end = in_.find(quote, pos_ + 1);
            const std::size_t stop = end == std::string_view::npos ? in_.size() : end;
            raw = in_.substr(pos_ + 1, stop - pos_ - 1);
            pos_ = end == std::string_view::npos ? in_.size() : end + 1;
        } else {
            const std::size_t start = pos_;
            while (pos_ < in_.size() && !IsHtmlSpace(in_[pos_]) && in_[pos_] != '>') {
                ++pos_;
            }
            raw = in_.substr(start, pos_ - start);
        }
        return DecodeCharacterReferences(Utf8ToUtf16(raw));
    }

    // The shorthand ".name" and "#name": the name runs to a blank, the end of the tag, or the
    // next shorthand.
    std::u16string ReadShorthand() {
        const std::size_t start = pos_;
        while (pos_ < in_.size() && !EndsName(in_[pos_]) && in_[pos_] != '.' && in_[pos_] != '#' &&
               in_[pos_] != '"' && in_[pos_] != '\'') {
            ++pos_;
        }
        return Utf8ToUtf16(in_.substr(start, pos_ - start));
    }

    static void AddClass(Element& element, std::u16string_view name) {
        if (name.empty()) {
            return;
        }
        const std::u16string* classes = element.GetAttribute("class");
        if (!classes || classes->empty()) {
            element.SetAttribute("class", name);
        } else {
            element.SetAttribute("class", *classes + u" " + std::u16string(name));
        }
    }

    void StartTag() {
        ElementRef element = Element::Create(ReadName());
        bool selfClosed = false;
        while (pos_ < in_.size()) {
            SkipSpace();
            if (pos_ >= in_.size()) {
                break;
            }
            const char c = in_[pos_];
            if (c == '>') {
                ++pos_;
                break;
            }
            if (c == '/') {
                ++pos_;
                if (pos_ < in_.size() && in_[pos_] == '>') {
                    ++pos_;
                    selfClosed = true;
                    break;
                }
                continue;
            }
            if (c == '.' || c == '#') {
                ++pos_;
                const std::u16string name = ReadShorthand();
                if (c == '.') {
                    AddClass(*element, name);
                } else if (!name.empty() && !element->HasAttribute("id")) {
                    element->SetAttribute("id", name);
                }
                continue;
            }
            const std::string name = ReadName();
            if (name.empty()) {
                ++pos_;  // a stray quote or '=': skip it
                continue;
            }
            SkipSpace();
            std::u16string value;
            if (pos_ < in_.size() && in_[pos_] == '=') {
                ++pos_;
                SkipSpace();
                value = ReadValue();
            }
            if (name == "class") {
                AddClass(*element, value);
            } else if (!element->HasAttribute(name)) {
                element->SetAttribute(name, value);
            }
        }
        if (open_.size() >= kMaxDepth) {
            return;
        }
        const std::string tag = element->Tag();
        ApplyMarkupState(*element);
        Place(element);
        if (selfClosed || IsVoidElement(tag)) {
            return;
        }
        if (IsRawTextElement(tag) || tag == "textarea") {
            ReadRawText(*element, tag == "textarea" ? Decode::Yes : Decode::No);
            return;
        }
        open_.push_back(element.get());
    }

    void ReadRawText(Element& element, Decode decode) {
        std::size_t end = pos_;
        while ((end = in_.find("</", end)) != std::string_view::npos &&
               !StartsWithNoCase(in_, end + 2, element.Tag())) {
            end += 2;
        }
        const std::size_t stop = end == std::string_view::npos ? in_.size() : end;
        std::u16string text = Utf8ToUtf16(in_.substr(pos_, stop - pos_));
        element.SetText(decode == Decode::Yes ? DecodeCharacterReferences(text) : text);
        if (end == std::string_view::npos) {
            pos_ = in_.size();
            return;
        }
        const std::size_t close = in_.find('>', end);
        pos_ = close == std::string_view::npos ? in_.size() : close + 1;
    }

    void Place(const ElementRef& element) {
        if (open_.empty()) {
            result_.elements.push_back(element);
        } else {
            open_.back()->AppendChild(element);
        }
    }

    void CloseElement(const std::string& name) {
        for (std::size_t i = open_.size(); i-- > 0;) {
            if (open_[i]->Tag() == name) {
                open_.resize(i);
                return;
            }
        }
    }

    void AddText(std::string_view raw, Decode decode) {
        if (raw.empty()) {
            return;
        }
        std::u16string text = Utf8ToUtf16(raw);
        if (decode == Decode::Yes) {
            text = DecodeCharacterReferences(text);
        }
        Element* previous = nullptr;
        if (open_.empty()) {
            previous = result_.elements.empty() ? nullptr : result_.elements.back().get();
        } else {
            previous = open_.back()->LastChild();
        }
        if (previous) {
            previous->SetTail(previous->Tail() + text);
        } else if (open_.empty()) {
            result_.leadingText += text;
        } else {
            open_.back()->SetText(open_.back()->Text() + text);
        }
    }

    std::string_view in_;
    std::size_t pos_ = 0;
    HtmlFragment result_;
    std::vector<Element*> open_;  // held by their parents or by result_
};

}  // namespace

std::u16string DecodeCharacterReferences(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t amp = text.find(u'&', i);
        if (amp == std::u16string_view::npos) {
            out.append(text.substr(i));
            break;
        }
        out.append(text.substr(i, amp - i));
        const std::size_t length = DecodeReference(text, amp, out);
        if (length == 0) {
            out.push_back(u'&');
            i = amp + 1;
        } else {
            i = amp + length;
        }
    }
    return out;
}

HtmlFragment ParseHtml(std::string_view utf8) {
    return Parser(utf8).Run();
}

}  // namespace tavopix
