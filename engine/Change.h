// The changes a document records for its view: one record per DOM edit, naming elements by
// their uid, applied by the view in order. A batch is handed over once per dispatched message.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/Element.h"

namespace tavopix {

// A copy of an element and everything below it, as the view needs it to build its own.
struct NodeSnapshot {
    Element::Uid uid = 0;
    std::string tag;
    std::vector<ElementAttribute> attributes;
    std::vector<StyleProperty> style;
    ElementStateBits state = 0;
    std::u16string text;
    std::u16string tail;
    std::u16string value;
    std::vector<NodeSnapshot> children;
};

[[nodiscard]] NodeSnapshot SnapshotOf(const Element& element);

enum class ChangeKind : std::uint8_t {
    Reset,      // the whole tree as the document holds it now; forget everything before
                // (nothing follows it in its batch)
    Insert,     // `node` becomes child `index` of `target`
    Remove,     // `target` leaves its parent, with its tail
    Attribute,  // attribute `name` of `target` becomes `value` (std::nullopt: removed)
    Style,      // run-time style `name` of `target` becomes `value` (std::nullopt: cleared)
    State,      // the state bits of `target` become `state`
    Text,       // the leading text of `target` becomes `value`
    Tail,       // the tail of `target` becomes `value`
    Value,      // the control value of `target` becomes `value`
};

struct Change {
    ChangeKind kind = ChangeKind::Reset;
    Element::Uid target = 0;
    std::uint32_t index = 0;
    ElementStateBits state = 0;
    std::string name;
    std::optional<std::u16string> value;
    std::unique_ptr<NodeSnapshot> node;
};

}  // namespace tavopix
