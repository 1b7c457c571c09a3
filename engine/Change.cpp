#include "engine/Change.h"

namespace tavopix {

NodeSnapshot SnapshotOf(const Element& element) {
    NodeSnapshot node;
    node.uid = element.GetUid();
    node.tag = element.Tag();
    node.attributes = element.Attributes();
    node.style = element.StyleProperties();
    node.state = element.State();
    node.text = element.Text();
    node.tail = element.Tail();
    node.value = element.Value();
    node.children.reserve(element.ChildCount());
    for (std::size_t i = 0; i < element.ChildCount(); ++i) {
        node.children.push_back(SnapshotOf(*element.Child(i)));
    }
    return node;
}

}  // namespace tavopix
