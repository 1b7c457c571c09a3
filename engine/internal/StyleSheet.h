// What the engine reads from a page's CSS: which behaviours an element gets (`behavior: name
// ...`) and which element is its context menu (`context-menu: selector(<selector>)`, the menu
// being the first element of the page that matches). Every other declaration is the view's.
//
// The reader is forgiving: comments are skipped, @media blocks are read as if unconditional,
// other at-rules and rules whose selector this engine does not understand are ignored. Among
// the rules that match an element, the most specific one wins, then the one written last; a
// declaration in the element's own "style" attribute beats them all.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/Selector.h"

namespace tavopix {

class Element;

class StyleSheet {
public:
    // Adds the engine's rules of one style sheet (UTF-8), after those added before.
    void Add(std::string_view css);

    // The names of the winning `behavior` declaration, in the order written; empty when none
    // (or when the winner says "none").
    std::vector<std::string> BehaviorsOf(const Element& element) const;
    // The selector of the winning `context-menu` declaration; null when none.
    const Selector* ContextMenuOf(const Element& element) const;

    std::size_t RuleCount() const { return rules_.size(); }

private:
    struct Rule {
        Selector selector;
        std::string property;  // "behavior" or "context-menu"
        std::string value;
        std::optional<Selector> menu;  // of a context-menu rule
    };
    const Rule* Winner(const Element& element, std::string_view property) const;

    std::vector<Rule> rules_;
};

// The value of `property` in a declaration list such as a "style" attribute (the last one
// written); std::nullopt when absent.
std::optional<std::string> DeclarationValue(std::string_view declarations,
                                            std::string_view property);

}  // namespace tavopix
