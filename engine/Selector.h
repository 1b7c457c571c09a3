// Compiled CSS selectors, matched against elements.
//
// Supported: type and universal selectors, #id, .class, attribute tests ([a], [a=v], [a~=v],
// [a|=v], [a^=v], [a$=v], [a*=v], values quoted or not), the state pseudo-classes (:hover,
// :active, :focus, :visited, :link, :current, :checked, :disabled, :enabled, :readonly,
// :expanded, :collapsed, :busy, :empty ...) tested against the element's state bits, :root,
// :first-child, :last-child, :only-child, :not(simple selectors), the descendant, child (>),
// next-sibling (+) and subsequent-sibling (~) combinators, and selector lists separated by
// commas. Tag, attribute and pseudo-class names are matched without regard to ASCII case;
// values exactly.
//
// A Selector is immutable once parsed and can be reused for any number of matches.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavopix {

class Element;
struct CompiledSelector;

class Selector {
public:
    // std::nullopt when `text` is not a selector this engine understands.
    [[nodiscard]] static std::optional<Selector> Parse(std::string_view text);

    bool Matches(const Element& element) const;
    // The specificity of the most specific alternative of the list that matches (ids count
    // 0x10000, classes, attributes and pseudo-classes 0x100, types 1); std::nullopt when none
    // matches.
    std::optional<std::uint32_t> MatchSpecificity(const Element& element) const;

    const std::string& Text() const { return text_; }

private:
    Selector() = default;

    std::string text_;
    std::shared_ptr<const std::vector<CompiledSelector>> alternatives_;
};

// A parsed selector from a small per-thread cache of recently used texts; null when invalid.
// The pointer stays valid until the next call on the same thread.
const Selector* CachedSelector(std::string_view text);

}  // namespace tavopix
