#include "engine/Selector.h"

#include <array>
#include <bit>
#include <unordered_map>

#include "engine/Element.h"
#include "engine/internal/HtmlSpace.h"
#include "engine/internal/WordList.h"
#include "platform/AsciiCase.h"
#include "platform/Utf8.h"

namespace tavopix {

namespace {

// Bounds that keep matching cheap and parsing safe whatever text arrives.
constexpr std::size_t kMaxCompounds = 16;
constexpr int kMaxNotDepth = 4;

struct AttributeTest {
    enum class Op { Exists, Equals, Includes, DashMatch, Prefix, Suffix, Substring };
    std::string name;
    Op op = Op::Exists;
    std::u16string value;
};

enum class Position : std::uint8_t { Root = 1, FirstChild = 2, LastChild = 4, Empty = 8 };

struct Compound {
    std::string tag;  // empty: any
    std::vector<std::u16string> ids;
    std::vector<std::u16string> classes;
    std::vector<AttributeTest> attributes;
    ElementStateBits statesSet = 0;
    ElementStateBits statesClear = 0;
    std::uint8_t positions = 0;
    std::vector<Compound> negations;
};

enum class Combinator { Descendant, Child, Next, Subsequent };

struct NamedState {
    std::string_view name;
    ElementStateBits bit;
};

constexpr std::array<NamedState, 27> kStates{{
    {"link", STATE_LINK},
    {"hover", STATE_HOVER},
    {"active", STATE_ACTIVE},
    {"focus", STATE_FOCUS},
    {"visited", STATE_VISITED},
    {"current", STATE_CURRENT},
    {"checked", STATE_CHECKED},
    {"disabled", STATE_DISABLED},
    {"readonly", STATE_READONLY},
    {"expanded", STATE_EXPANDED},
    {"collapsed", STATE_COLLAPSED},
    {"incomplete", STATE_INCOMPLETE},
    {"animating", STATE_ANIMATING},
    {"focusable", STATE_FOCUSABLE},
    {"anchor", STATE_ANCHOR},
    {"synthetic", STATE_SYNTHETIC},
    {"owns-popup", STATE_OWNS_POPUP},
    {"tab-focus", STATE_TABFOCUS},
    {"busy", STATE_BUSY},
    {"drag-over", STATE_DRAG_OVER},
    {"drop-target", STATE_DROP_TARGET},
    {"moving", STATE_MOVING},
    {"copying", STATE_COPYING},
    {"drag-source", STATE_DRAG_SOURCE},
    {"drop-marker", STATE_DROP_MARKER},
    {"pressed", STATE_PRESSED},
    {"popup", STATE_POPUP},
}};

bool IsIdentChar(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || u >= 0x80;
}

}  // namespace

struct CompiledSelector {
    std::vector<Compound> compounds;      // left to right
    std::vector<Combinator> combinators;  // combinators[i] joins compounds[i] and [i + 1]
    std::uint32_t specificity = 0;
};

namespace {

class SelectorParser {
public:
    explicit SelectorParser(std::string_view text) : in_(text) {}

    bool ParseList(std::vector<CompiledSelector>& out) {
        do {
            CompiledSelector complex;
            if (!ParseComplex(complex)) {
                return false;
            }
            out.push_back(std::move(complex));
        } while (Accept(','));
        SkipSpace();
        return pos_ == in_.size();
    }

private:
    bool ParseComplex(CompiledSelector& out) {
        SkipSpace();
        Compound first;
        if (!ParseCompound(first, 0)) {
            return false;
        }
        out.specificity += Specificity(first);
        out.compounds.push_back(std::move(first));
        for (;;) {
            const bool spaced = SkipSpace();
            if (pos_ >= in_.size() || in_[pos_] == ',' || in_[pos_] == ')') {
                return true;
            }
            Combinator combinator = Combinator::Descendant;
            if (in_[pos_] == '>' || in_[pos_] == '+' || in_[pos_] == '~') {
                combinator = in_[pos_] == '>'   ? Combinator::Child
                             : in_[pos_] == '+' ? Combinator::Next
                                                : Combinator::Subsequent;
                ++pos_;
                SkipSpace();
            } else if (!spaced) {
                return false;
            }
            Compound next;
            if (out.compounds.size() >= kMaxCompounds || !ParseCompound(next, 0)) {
                return false;
            }
            out.specificity += Specificity(next);
            out.combinators.push_back(combinator);
            out.compounds.push_back(std::move(next));
        }
    }

    static std::uint32_t Specificity(const Compound& c) {
        std::uint32_t value =
            static_cast<std::uint32_t>(c.ids.size()) * 0x10000 +
            static_cast<std::uint32_t>(c.classes.size() + c.attributes.size() +
                                       std::popcount(c.statesSet) + std::popcount(c.statesClear) +
                                       std::popcount(c.positions)) *
                0x100 +
            (c.tag.empty() ? 0 : 1);
        for (const Compound& negation : c.negations) {
            value += Specificity(negation);
        }
        return value;
    }

    bool ParseCompound(Compound& out, int notDepth) {
        bool any = false;
        if (Accept('*')) {
            any = true;
        } else if (pos_ < in_.size() && IsIdentChar(in_[pos_])) {
            out.tag = LowerIdent();
            any = true;
        }
        while (pos_ < in_.size()) {
            const char c = in_[pos_];
            if (c == '#' || c == '.') {
                ++pos_;
                const std::string name = Ident();
                if (name.empty()) {
                    return false;
                }
                (c == '#' ? out.ids : out.classes).push_back(Utf8ToUtf16(name));
            } else if (c == '[') {
                ++pos_;
                if (!ParseAttribute(out)) {
                    return false;
                }
            } else if (c == ':') {
                ++pos_;
                Accept(':');
                if (!ParsePseudo(out, notDepth)) {
                    return false;
                }
            } else {
                break;
            }
            any = true;
        }
        return any;
    }

    bool ParseAttribute(Compound& out) {
        SkipSpace();
        AttributeTest test;
        test.name = LowerIdent();
        if (test.name.empty()) {
            return false;
        }
        SkipSpace();
        if (Accept(']')) {
            out.attributes.push_back(std::move(test));
            return true;
        }
        if (pos_ >= in_.size()) {
            return false;
        }
        const char c = in_[pos_];
        if (c == '=') {
            test.op = AttributeTest::Op::Equals;
            ++pos_;
        } else {
            switch (c) {
                case '~':
                    test.op = AttributeTest::Op::Includes;
                    break;
                case '|':
                    test.op = AttributeTest::Op::DashMatch;
                    break;
                case '^':
                    test.op = AttributeTest::Op::Prefix;
                    break;
                case '$':
                    test.op = AttributeTest::Op::Suffix;
                    break;
                case '*':
                    test.op = AttributeTest::Op::Substring;
                    break;
                default:
                    return false;
            }
            ++pos_;
            if (!Accept('=')) {
                return false;
            }
        }
        SkipSpace();
        std::string value;
        if (pos_ < in_.size() && (in_[pos_] == '"' || in_[pos_] == '\'')) {
            const char quote = in_[pos_++];
            for (;;) {
                if (pos_ >= in_.size()) {
                    return false;
                }
                char v = in_[pos_++];
                if (v == quote) {
                    break;
                }
                if (v == '\\' && pos_ < in_.size()) {
                    v = in_[pos_++];
                }
                value.push_back(v);
            }
        } else {
            value = Ident();
            if (value.empty()) {
                return false;
            }
        }
        SkipSpace();
        if (!Accept(']')) {
            return false;
        }
        test.value = Utf8ToUtf16(value);
        out.attributes.push_back(std::move(test));
        return true;
    }

    bool ParsePseudo(Compound& out, int notDepth) {
        const std::string name = LowerIdent();
        if (name == "not") {
            if (notDepth >= kMaxNotDepth || !Accept('(')) {
                return false;
            }
            SkipSpace();
            Compound negation;
            if (!ParseCompound(negation, notDepth + 1)) {
                return false;
            }
            SkipSpace();
            out.negations.push_back(std::move(negation));
            return Accept(')');
        }
        if (name == "enabled") {
            out.statesClear |= STATE_DISABLED;
            return true;
        }
        const auto bit = [](Position p) { return static_cast<std::uint8_t>(p); };
        const std::uint8_t positions = name == "root"          ? bit(Position::Root)
                                       : name == "first-child" ? bit(Position::FirstChild)
                                       : name == "last-child"  ? bit(Position::LastChild)
                                       : name == "only-child"
                                           ? bit(Position::FirstChild) | bit(Position::LastChild)
                                       : name == "empty" ? bit(Position::Empty)
                                                         : 0;
        if (positions) {
            out.positions |= positions;
            return true;
        }
        for (const NamedState& state : kStates) {
            if (state.name == name) {
                out.statesSet |= state.bit;
                return true;
            }
        }
        return false;
    }

    std::string Ident() {
        const std::size_t start = pos_;
        while (pos_ < in_.size() && IsIdentChar(in_[pos_])) {
            ++pos_;
        }
        return std::string(in_.substr(start, pos_ - start));
    }

    std::string LowerIdent() {
        std::string name = Ident();
        for (char& c : name) {
            c = AsciiLower(c);
        }
        return name;
    }

    bool SkipSpace() {
        const std::size_t start = pos_;
        while (pos_ < in_.size() && IsHtmlSpace(in_[pos_])) {
            ++pos_;
        }
        return pos_ > start;
    }

    bool Accept(char c) {
        SkipSpace();
        if (pos_ < in_.size() && in_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }

    std::string_view in_;
    std::size_t pos_ = 0;
};

bool AttributeMatches(const AttributeTest& test, const Element& element) {
    const std::u16string* found = element.GetAttribute(test.name);
    if (!found) {
        return false;
    }
    const std::u16string_view value = *found;
    const std::u16string_view wanted = test.value;
    switch (test.op) {
        case AttributeTest::Op::Exists:
            return true;
        case AttributeTest::Op::Equals:
            return value == wanted;
        case AttributeTest::Op::Prefix:
            return !wanted.empty() && value.starts_with(wanted);
        case AttributeTest::Op::Suffix:
            return !wanted.empty() && value.ends_with(wanted);
        case AttributeTest::Op::Substring:
            return !wanted.empty() && value.find(wanted) != std::u16string_view::npos;
        case AttributeTest::Op::DashMatch:
            return value == wanted || (value.starts_with(wanted) && value.size() > wanted.size() &&
                                       value[wanted.size()] == u'-');
        case AttributeTest::Op::Includes:
            return ListHoldsWord(value, wanted);
    }
    return false;
}

bool CompoundMatches(const Compound& compound, const Element& element) {
    if (!compound.tag.empty() && compound.tag != element.Tag()) {
        return false;
    }
    const ElementStateBits state = element.State();
    if ((state & compound.statesSet) != compound.statesSet || (state & compound.statesClear)) {
        return false;
    }
    if (compound.positions) {
        const auto has = [&](Position p) {
            return (compound.positions & static_cast<std::uint8_t>(p)) != 0;
        };
        if (has(Position::Root) && element.Parent()) {
            return false;
        }
        if (has(Position::FirstChild) && (!element.Parent() || element.Index() != 0)) {
            return false;
        }
        if (has(Position::LastChild) && (!element.Parent() || element.NextSibling())) {
            return false;
        }
        if (has(Position::Empty) && (element.ChildCount() > 0 || !element.Text().empty())) {
            return false;
        }
    }
    for (const std::u16string& id : compound.ids) {
        if (!HasId(&element, id)) {
            return false;
        }
    }
    for (const std::u16string& name : compound.classes) {
        if (!element.HasClass(name)) {
            return false;
        }
    }
    for (const AttributeTest& test : compound.attributes) {
        if (!AttributeMatches(test, element)) {
            return false;
        }
    }
    for (const Compound& negation : compound.negations) {
        if (CompoundMatches(negation, element)) {
            return false;
        }
    }
    return true;
}

bool MatchesFrom(const CompiledSelector& selector, std::size_t index, const Element& element) {
    if (!CompoundMatches(selector.compounds[index], element)) {
        return false;
    }
    if (index == 0) {
        return true;
    }
    switch (selector.combinators[index - 1]) {
        case Combinator::Child: {
            const Element* parent = element.Parent();
            return parent && MatchesFrom(selector, index - 1, *parent);
        }
        case Combinator::Descendant:
            for (const Element* e = element.Parent(); e; e = e->Parent()) {
                if (MatchesFrom(selector, index - 1, *e)) {
                    return true;
                }
            }
            return false;
        case Combinator::Next: {
            const Element* previous = element.PreviousSibling();
            return previous && MatchesFrom(selector, index - 1, *previous);
        }
        case Combinator::Subsequent:
            for (const Element* e = element.PreviousSibling(); e; e = e->PreviousSibling()) {
                if (MatchesFrom(selector, index - 1, *e)) {
                    return true;
                }
            }
            return false;
    }
    return false;
}

}  // namespace

std::optional<Selector> Selector::Parse(std::string_view text) {
    auto alternatives = std::make_shared<std::vector<CompiledSelector>>();
    if (!SelectorParser(text).ParseList(*alternatives)) {
        return std::nullopt;
    }
    Selector selector;
    selector.text_ = text;
    selector.alternatives_ = std::move(alternatives);
    return selector;
}

bool Selector::Matches(const Element& element) const {
    for (const CompiledSelector& alternative : *alternatives_) {
        if (MatchesFrom(alternative, alternative.compounds.size() - 1, element)) {
            return true;
        }
    }
    return false;
}

std::optional<std::uint32_t> Selector::MatchSpecificity(const Element& element) const {
    std::optional<std::uint32_t> best;
    for (const CompiledSelector& alternative : *alternatives_) {
        if ((!best || alternative.specificity > *best) &&
            MatchesFrom(alternative, alternative.compounds.size() - 1, element)) {
            best = alternative.specificity;
        }
    }
    return best;
}

const Selector* CachedSelector(std::string_view text) {
    // Pages ask with a handful of fixed texts; the bound only guards against a caller that
    // builds selector texts on the fly.
    constexpr std::size_t kCapacity = 256;
    thread_local std::unordered_map<std::string, std::optional<Selector>> cache;
    auto found = cache.find(std::string(text));
    if (found == cache.end()) {
        if (cache.size() >= kCapacity) {
            cache.clear();
        }
        found = cache.emplace(std::string(text), Selector::Parse(text)).first;
    }
    return found->second ? &*found->second : nullptr;
}

}  // namespace tavopix
