#include "engine/HeadlessView.h"

#include <algorithm>

#include "engine/Document.h"
#include "engine/Element.h"
#include "engine/TextMetrics.h"
#include "engine/TreeDump.h"

namespace tavopix {

namespace {

struct MirrorNode {
    NodeSnapshot data;  // without children: the uids below stand for them
    Element::Uid parent = 0;
    std::vector<Element::Uid> children;
};

template <class Entry>
void SetNamed(std::vector<Entry>& entries, const std::string& name,
              const std::optional<std::u16string>& value) {
    auto found = std::find_if(entries.begin(), entries.end(),
                              [&](const Entry& entry) { return entry.name == name; });
    if (!value) {
        if (found != entries.end()) {
            entries.erase(found);
        }
    } else if (found != entries.end()) {
        found->value = *value;
    } else {
        entries.push_back({name, *value});
    }
}

}  // namespace

struct HeadlessView::Mirror {
    Element::Uid root = 0;
    std::unordered_map<Element::Uid, MirrorNode> nodes;

    // False when a uid of the subtree is already present.
    bool Add(const NodeSnapshot& snapshot, Element::Uid parent) {
        MirrorNode node;
        // Everything but the children, which the uids below stand for.
        node.data.uid = snapshot.uid;
        node.data.tag = snapshot.tag;
        node.data.attributes = snapshot.attributes;
        node.data.style = snapshot.style;
        node.data.state = snapshot.state;
        node.data.text = snapshot.text;
        node.data.tail = snapshot.tail;
        node.data.value = snapshot.value;
        node.parent = parent;
        for (const NodeSnapshot& child : snapshot.children) {
            node.children.push_back(child.uid);
        }
        if (!nodes.emplace(snapshot.uid, std::move(node)).second) {
            return false;
        }
        bool fine = true;
        for (const NodeSnapshot& child : snapshot.children) {
            fine = Add(child, snapshot.uid) && fine;
        }
        return fine;
    }

    void Drop(Element::Uid uid) {
        auto found = nodes.find(uid);
        if (found == nodes.end()) {
            return;
        }
        const std::vector<Element::Uid> children = std::move(found->second.children);
        nodes.erase(found);
        for (Element::Uid child : children) {
            Drop(child);
        }
    }

    NodeSnapshot Build(Element::Uid uid) const {
        const MirrorNode& node = nodes.at(uid);
        NodeSnapshot snapshot = node.data;
        for (Element::Uid child : node.children) {
            snapshot.children.push_back(Build(child));
        }
        return snapshot;
    }
};

HeadlessView::HeadlessView() = default;
HeadlessView::~HeadlessView() = default;

// ---- The mirror -------------------------------------------------------------------------------

std::string HeadlessView::MirrorDump(const Document& document) const {
    auto found = mirrors_.find(&document);
    if (found == mirrors_.end() || !found->second->root) {
        return {};
    }
    return DumpTree(found->second->Build(found->second->root), DumpBlankText::Show);
}

void HeadlessView::ApplyChanges(const Document& document, const std::vector<Change>& changes) {
    ++batches_;
    changes_ += changes.size();
    std::unique_ptr<Mirror>& slot = mirrors_[&document];
    if (!slot) {
        slot = std::make_unique<Mirror>();
    }
    Mirror& mirror = *slot;
    for (const Change& change : changes) {
        if (change.kind == ChangeKind::Reset) {
            mirror = Mirror{};
            if (const Element* root = document.Root()) {
                mirror.root = root->GetUid();
                mirror.Add(SnapshotOf(*root), 0);
            }
            continue;
        }
        auto target = mirror.nodes.find(change.target);
        if (target == mirror.nodes.end()) {
            Fault("change for unknown element " + std::to_string(change.target));
            continue;
        }
        MirrorNode& node = target->second;
        switch (change.kind) {
            case ChangeKind::Reset:
                break;
            case ChangeKind::Insert:
                if (!change.node || change.index > node.children.size()) {
                    Fault("bad insert into " + std::to_string(change.target));
                    break;
                }
                node.children.insert(node.children.begin() + change.index, change.node->uid);
                if (!mirror.Add(*change.node, change.target)) {
                    Fault("element inserted twice: " + std::to_string(change.node->uid));
                }
                break;
            case ChangeKind::Remove: {
                auto parent = mirror.nodes.find(node.parent);
                if (parent == mirror.nodes.end()) {
                    Fault("removal of a parentless element " + std::to_string(change.target));
                    break;
                }
                auto& siblings = parent->second.children;
                siblings.erase(std::remove(siblings.begin(), siblings.end(), change.target),
                               siblings.end());
                mirror.Drop(change.target);
                break;
            }
            case ChangeKind::Attribute:
                SetNamed(node.data.attributes, change.name, change.value);
                break;
            case ChangeKind::Style:
                SetNamed(node.data.style, change.name, change.value);
                break;
            case ChangeKind::State:
                node.data.state = change.state;
                break;
            case ChangeKind::Text:
                node.data.text = change.value.value_or(u"");
                break;
            case ChangeKind::Tail:
                node.data.tail = change.value.value_or(u"");
                break;
            case ChangeKind::Value:
                node.data.value = change.value.value_or(u"");
                break;
        }
    }
}

void HeadlessView::DocumentClosed(const Document& document) {
    mirrors_.erase(&document);
}

// ---- Scripted geometry ------------------------------------------------------------------------

template <class Value>
const Value* HeadlessView::Find(const std::vector<Rule<Value>>& rules, const Element& element) {
    for (auto rule = rules.rbegin(); rule != rules.rend(); ++rule) {
        if (rule->selector ? rule->selector->Matches(element) : rule->uid == element.GetUid()) {
            return &rule->value;
        }
    }
    return nullptr;
}

namespace {

template <class Value>
bool AddRule(std::vector<Value>& rules, std::string_view selectorText, auto value) {
    std::optional<Selector> selector = Selector::Parse(selectorText);
    if (!selector) {
        return false;
    }
    rules.push_back({std::move(selector), 0, std::move(value)});
    return true;
}

}  // namespace

void HeadlessView::SetLocation(std::string_view selector, Rect borderBox,
                               std::optional<Rect> contentBox) {
    if (!AddRule(locations_, selector, Boxes{borderBox, contentBox.value_or(borderBox)})) {
        Fault("bad selector " + std::string(selector));
    }
}

void HeadlessView::SetLocation(const Element& element, Rect borderBox,
                               std::optional<Rect> contentBox) {
    locations_.push_back(
        {std::nullopt, element.GetUid(), Boxes{borderBox, contentBox.value_or(borderBox)}});
}

void HeadlessView::SetIntrinsicWidths(std::string_view selector, IntrinsicWidths widths) {
    if (!AddRule(widths_, selector, widths)) {
        Fault("bad selector " + std::string(selector));
    }
}

void HeadlessView::SetIntrinsicHeight(std::string_view selector,
                                      std::function<int(int width)> height) {
    if (!AddRule(heights_, selector, std::move(height))) {
        Fault("bad selector " + std::string(selector));
    }
}

void HeadlessView::SetScrollInfo(std::string_view selector, ScrollInfo info) {
    if (!AddRule(scrolls_, selector, info)) {
        Fault("bad selector " + std::string(selector));
    }
}

void HeadlessView::SetScreen(Size screen, Rect workArea) {
    screen_ = screen;
    workArea_ = workArea;
}

std::optional<Point> HeadlessView::LastScrollPos(const Element& element) const {
    auto found = scrollPos_.find(element.GetUid());
    if (found == scrollPos_.end()) {
        return std::nullopt;
    }
    return found->second;
}

Rect HeadlessView::ElementLocation(const Element& element, LocationArea area) {
    const Boxes* boxes = Find(locations_, element);
    if (!boxes) {
        return {};
    }
    Rect rect = (area & 0xF0) == CONTENT_BOX ? boxes->content : boxes->border;
    Point origin;
    switch (area & 0x0F) {
        case SELF_RELATIVE:
            origin = {boxes->border.left, boxes->border.top};
            break;
        case CONTAINER_RELATIVE:
            if (const Boxes* parent =
                    element.Parent() ? Find(locations_, *element.Parent()) : nullptr) {
                origin = {parent->border.left, parent->border.top};
            }
            break;
        default:
            break;  // root- and view-relative are the same without scrolling
    }
    return {rect.left - origin.x, rect.top - origin.y, rect.right - origin.x,
            rect.bottom - origin.y};
}

std::vector<Rect> HeadlessView::ElementLocations(std::span<const Element* const> elements,
                                                 LocationArea area) {
    std::vector<Rect> out;
    out.reserve(elements.size());
    for (const Element* element : elements)
        out.push_back(element ? ElementLocation(*element, area) : Rect{});
    return out;
}

IntrinsicWidths HeadlessView::ElementIntrinsicWidths(const Element& element) {
    if (const IntrinsicWidths* widths = Find(widths_, element)) {
        return *widths;
    }
    return EstimatedIntrinsicWidths(element);
}

int HeadlessView::ElementIntrinsicHeight(const Element& element, int width) {
    if (const auto* height = Find(heights_, element)) {
        return (*height)(width);
    }
    return EstimatedIntrinsicHeight(element, width);
}

ScrollInfo HeadlessView::ElementScrollInfo(const Element& element) {
    ScrollInfo info;
    if (const ScrollInfo* scripted = Find(scrolls_, element)) {
        info = *scripted;
    } else {
        info.viewRect = ElementLocation(element, ROOT_RELATIVE | CONTENT_BOX);
        info.contentSize = {info.viewRect.Width(), info.viewRect.Height()};
    }
    if (std::optional<Point> pos = LastScrollPos(element)) {
        info.scrollPos = *pos;
    }
    return info;
}

void HeadlessView::SetElementScrollPos(const Element& element, Point pos, bool /*smooth*/) {
    scrollPos_[element.GetUid()] = pos;
}

// ---- Windows ----------------------------------------------------------------------------------

void HeadlessView::PlaceWindow(WindowKey window, const WindowPlacement& placement) {
    windows_[window] = placement;
}

void HeadlessView::RemoveWindow(WindowKey window) {
    windows_.erase(window);
}

}  // namespace tavopix
