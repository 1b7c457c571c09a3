#include "engine/Element.h"

#include <algorithm>
#include <atomic>

#include "engine/Change.h"
#include "engine/Document.h"
#include "engine/HtmlParser.h"
#include "engine/Selector.h"
#include "engine/View.h"
#include "engine/internal/HtmlSerializer.h"
#include "engine/internal/WordList.h"
#include "platform/AsciiCase.h"
#include "platform/Utf8.h"

namespace tavopix {

namespace {

std::atomic<Element::Uid> nextUid{1};

bool NameEquals(std::string_view stored, std::string_view asked) {
    return stored.size() == asked.size() &&
           std::equal(stored.begin(), stored.end(), asked.begin(),
                      [](char a, char b) { return a == AsciiLower(b); });
}

// Works on const and non-const attribute and style lists alike.
template <class Entries>
auto FindByName(Entries& entries, std::string_view name) {
    return std::find_if(entries.begin(), entries.end(),
                        [&](const auto& entry) { return NameEquals(entry.name, name); });
}

// Sets (present) or removes the entry `name`; true when that changed anything.
template <class Entry>
bool SetNamed(std::vector<Entry>& entries, std::string_view name, bool present,
              std::u16string_view value) {
    auto found = FindByName(entries, name);
    if (!present) {
        if (found == entries.end()) {
            return false;
        }
        entries.erase(found);
        return true;
    }
    if (found == entries.end()) {
        entries.push_back({AsciiLowercase(name), std::u16string(value)});
        return true;
    }
    if (found->value == value) {
        return false;
    }
    found->value = value;
    return true;
}

Change MakeChange(ChangeKind kind, const Element& target) {
    Change change;
    change.kind = kind;
    change.target = target.GetUid();
    return change;
}

}  // namespace

void UseElement(Element* element) {
    if (element) {
        ++element->uses_;
    }
}

void UnuseElement(Element* element) {
    if (element && --element->uses_ == 0) {
        delete element;
    }
}

ElementRef Element::Create(std::string_view tag) {
    return ElementRef(new Element(tag));
}

Element::Element(std::string_view tag) : uid_(nextUid++), tag_(AsciiLowercase(tag)) {}

Element::~Element() {
    for (ElementRef& child : children_) {
        child->parent_ = nullptr;
    }
}

// ---- Tree -------------------------------------------------------------------------------------

Element* Element::Child(std::size_t index) const {
    return index < children_.size() ? children_[index].get() : nullptr;
}

Element* Element::LastChild() const {
    return children_.empty() ? nullptr : children_.back().get();
}

Element* Element::NextSibling() const {
    return parent_ ? parent_->Child(index_ + 1) : nullptr;
}

Element* Element::PreviousSibling() const {
    return parent_ && index_ > 0 ? parent_->Child(index_ - 1) : nullptr;
}

Element* Element::Root() {
    Element* root = this;
    while (root->parent_) {
        root = root->parent_;
    }
    return root;
}

bool Element::Contains(const Element& other) const {
    for (const Element* e = &other; e; e = e->parent_) {
        if (e == this) {
            return true;
        }
    }
    return false;
}

Element* Element::NextInOrder(const Element* scope) const {
    if (!children_.empty()) {
        return children_.front().get();
    }
    for (const Element* e = this; e && e != scope; e = e->parent_) {
        if (Element* sibling = e->NextSibling()) {
            return sibling;
        }
    }
    return nullptr;
}

bool Element::InsertChild(const ElementRef& child, std::size_t index) {
    if (!child || child->Contains(*this)) {
        return false;
    }
    ElementRef kept = child;  // the old parent may hold the only other use
    kept->Detach();
    index = std::min(index, children_.size());
    children_.insert(children_.begin() + static_cast<std::ptrdiff_t>(index), kept);
    kept->parent_ = this;
    RenumberFrom(index);
    if (document_) {
        kept->Adopt(document_);
    }
    if (Document* document = RecordingDocument()) {
        Change change = MakeChange(ChangeKind::Insert, *this);
        change.index = static_cast<std::uint32_t>(index);
        change.node = std::make_unique<NodeSnapshot>(SnapshotOf(*kept));
        document->Record(std::move(change));
    }
    return true;
}

void Element::Detach() {
    if (parent_) {
        parent_->DetachChildAt(index_);
    }
}

void Element::DetachChildAt(std::size_t index) {
    ElementRef child = children_[index];
    if (Document* document = RecordingDocument()) {
        document->Record(MakeChange(ChangeKind::Remove, *child));
    }
    children_.erase(children_.begin() + static_cast<std::ptrdiff_t>(index));
    child->parent_ = nullptr;
    RenumberFrom(index);
    if (child->document_) {
        child->Adopt(nullptr);
    }
}

void Element::RemoveContent() {
    // From the end, so no sibling needs renumbering.
    while (!children_.empty()) {
        DetachChildAt(children_.size() - 1);
    }
    SetText(u"");
}

void Element::RenumberFrom(std::size_t index) {
    for (std::size_t i = index; i < children_.size(); ++i) {
        children_[i]->index_ = static_cast<std::uint32_t>(i);
    }
}

void Element::Adopt(Document* document) {
    for (Element* e = this; e; e = e->NextInOrder(this)) {
        if (e->document_) {
            e->document_->Unregister(*e);
        }
        e->document_ = document;
        if (document) {
            document->Register(*e);
        }
    }
}

void Element::Record(ChangeKind kind, std::string_view name,
                     std::optional<std::u16string_view> value) const {
    if (Document* document = RecordingDocument()) {
        Change change = MakeChange(kind, *this);
        change.name = AsciiLowercase(name);
        if (value) {
            change.value.emplace(*value);
        }
        document->Record(std::move(change));
    }
}

Document* Element::RecordingDocument() const {
    return document_ && document_->IsRecording() ? document_ : nullptr;
}

// ---- Attributes -------------------------------------------------------------------------------

const std::u16string* Element::GetAttribute(std::string_view name) const {
    auto found = FindByName(attributes_, name);
    return found == attributes_.end() ? nullptr : &found->value;
}

void Element::SetAttribute(std::string_view name, std::optional<std::u16string_view> value) {
    if (SetNamed(attributes_, name, value.has_value(), value.value_or(u""))) {
        Record(ChangeKind::Attribute, name, value);
    }
}

bool Element::HasClass(std::u16string_view name) const {
    const std::u16string* classes = GetAttribute("class");
    return classes && ListHoldsWord(*classes, name);
}

bool HasId(const Element* element, std::u16string_view id) {
    const std::u16string* value = element ? element->GetAttribute("id") : nullptr;
    return value && *value == id;
}

// ---- Style, state, text, value ----------------------------------------------------------------

const std::u16string* Element::GetStyleAttribute(std::string_view name) const {
    auto found = FindByName(style_, name);
    return found == style_.end() ? nullptr : &found->value;
}

void Element::SetStyleAttribute(std::string_view name, std::optional<std::u16string_view> value) {
    const std::u16string_view text = value.value_or(u"");
    if (SetNamed(style_, name, !text.empty(), text)) {
        Record(ChangeKind::Style, name, text.empty() ? std::nullopt : value);
    }
}

void Element::SetEnabled(bool enabled) {
    SetState(enabled ? 0 : STATE_DISABLED, enabled ? STATE_DISABLED : 0);
}

void Element::SetState(ElementStateBits toSet, ElementStateBits toClear) {
    const ElementStateBits next = (state_ | toSet) & ~toClear;
    if (next == state_) {
        return;
    }
    state_ = next;
    if (Document* document = RecordingDocument()) {
        Change change = MakeChange(ChangeKind::State, *this);
        change.state = next;
        document->Record(std::move(change));
    }
}

namespace {

void ReplaceText(Element& element, std::u16string& field, std::u16string_view text, ChangeKind kind,
                 Document* recorder) {
    if (field == text) {
        return;
    }
    field = text;
    if (recorder) {
        Change change = MakeChange(kind, element);
        change.value.emplace(text);
        recorder->Record(std::move(change));
    }
}

void AppendInnerText(const Element& element, std::u16string& out) {
    out += element.Text();
    for (std::size_t i = 0; i < element.ChildCount(); ++i) {
        const Element* child = element.Child(i);
        AppendInnerText(*child, out);
        out += child->Tail();
    }
}

}  // namespace

void Element::SetText(std::u16string_view text) {
    ReplaceText(*this, text_, text, ChangeKind::Text, RecordingDocument());
}

void Element::SetTail(std::u16string_view tail) {
    ReplaceText(*this, tail_, tail, ChangeKind::Tail, RecordingDocument());
}

void Element::SetValue(std::u16string_view value) {
    ReplaceText(*this, value_, value, ChangeKind::Value, RecordingDocument());
}

std::u16string Element::InnerText() const {
    std::u16string out;
    AppendInnerText(*this, out);
    return out;
}

void Element::SetInnerText(std::u16string_view text) {
    RemoveContent();
    SetText(text);
}

// ---- HTML -------------------------------------------------------------------------------------

void Element::InsertFragmentAt(std::vector<ElementRef>& elements, std::size_t index) {
    for (ElementRef& element : elements) {
        InsertChild(element, index++);
    }
}

namespace {

// Appends `text` to whatever text sits just before child `index` of `parent`.
void AppendTextBefore(Element& parent, std::size_t index, std::u16string_view text) {
    if (text.empty()) {
        return;
    }
    if (Element* previous = index > 0 ? parent.Child(index - 1) : nullptr) {
        previous->SetTail(previous->Tail() + std::u16string(text));
    } else {
        parent.SetText(parent.Text() + std::u16string(text));
    }
}

}  // namespace

bool Element::SetHtml(std::u16string_view html, HtmlPosition where) {
    return SetHtml(Utf16ToUtf8(html), where);
}

bool Element::SetHtml(std::string_view utf8, HtmlPosition where) {
    const bool needsParent =
        where == SOH_REPLACE || where == SOH_INSERT_BEFORE || where == SOH_INSERT_AFTER;
    if (where < SIH_REPLACE_CONTENT || where > SOH_INSERT_AFTER || (needsParent && !parent_)) {
        return false;
    }
    HtmlFragment fragment = ParseHtml(utf8);
    auto& elements = fragment.elements;
    switch (where) {
        case SIH_REPLACE_CONTENT:
            RemoveContent();
            SetText(fragment.leadingText);
            InsertFragmentAt(elements, 0);
            break;
        case SIH_INSERT_AT_START:
            if (elements.empty()) {
                SetText(fragment.leadingText + text_);
            } else {
                // The old leading text now follows the last inserted element.
                elements.back()->SetTail(elements.back()->Tail() + text_);
                SetText(fragment.leadingText);
                InsertFragmentAt(elements, 0);
            }
            break;
        case SIH_APPEND_AFTER_LAST:
            AppendTextBefore(*this, children_.size(), fragment.leadingText);
            InsertFragmentAt(elements, children_.size());
            break;
        case SOH_INSERT_BEFORE: {
            Element& parent = *parent_;
            const std::size_t index = index_;
            AppendTextBefore(parent, index, fragment.leadingText);
            parent.InsertFragmentAt(elements, index);
            break;
        }
        case SOH_INSERT_AFTER: {
            Element& parent = *parent_;
            const std::size_t index = index_ + 1;
            AppendTextBefore(parent, index, fragment.leadingText);
            parent.InsertFragmentAt(elements, index);
            break;
        }
        case SOH_REPLACE: {
            ElementRef self(this);  // the parent may hold the only other use
            Element& parent = *parent_;
            const std::size_t index = index_;
            const std::u16string tail = tail_;
            Detach();
            SetTail(u"");
            AppendTextBefore(parent, index, fragment.leadingText);
            if (elements.empty()) {
                AppendTextBefore(parent, index, tail);
            } else {
                elements.back()->SetTail(elements.back()->Tail() + tail);
            }
            parent.InsertFragmentAt(elements, index);
            break;
        }
    }
    return true;
}

std::string Element::OuterHtml() const {
    std::string out;
    WriteOuterHtml(*this, out);
    return out;
}

std::string Element::InnerHtml() const {
    std::string out;
    WriteInnerHtml(*this, out);
    return out;
}

// ---- Selection --------------------------------------------------------------------------------

bool Element::Matches(const Selector& selector) const {
    return selector.Matches(*this);
}

Element* Element::FindFirst(const Selector& selector) const {
    for (Element* e = FirstChild(); e; e = e->NextInOrder(this)) {
        if (selector.Matches(*e)) {
            return e;
        }
    }
    return nullptr;
}

Element* Element::FindFirst(std::string_view selector) const {
    const Selector* compiled = CachedSelector(selector);
    return compiled ? FindFirst(*compiled) : nullptr;
}

Element* Element::FindById(std::u16string_view id) const {
    for (Element* e = FirstChild(); e; e = e->NextInOrder(this)) {
        if (HasId(e, id)) {
            return e;
        }
    }
    return nullptr;
}

std::vector<ElementRef> Element::SelectAll(const Selector& selector) const {
    std::vector<ElementRef> found;
    for (Element* e = FirstChild(); e; e = e->NextInOrder(this)) {
        if (selector.Matches(*e)) {
            found.emplace_back(e);
        }
    }
    return found;
}

Walk Element::SelectElements(const Selector& selector,
                             const std::function<Walk(Element&)>& visit) const {
    for (const ElementRef& element : SelectAll(selector)) {
        if (visit(*element) == Walk::Stop) {
            return Walk::Stop;
        }
    }
    return Walk::Continue;
}

Walk Element::SelectElements(std::string_view selector,
                             const std::function<Walk(Element&)>& visit) const {
    const Selector* compiled = CachedSelector(selector);
    return compiled ? SelectElements(*compiled, visit) : Walk::Continue;
}

// ---- Geometry ---------------------------------------------------------------------------------

View* Element::FlushedView() const {
    if (!document_) {
        return nullptr;
    }
    document_->FlushChanges();
    return document_->GetView();
}

Rect Element::Location(LocationArea area) const {
    View* view = FlushedView();
    return view ? view->ElementLocation(*this, area) : Rect{};
}

std::vector<Rect> Element::Locations(std::span<const Element* const> elements, LocationArea area) {
    // Usually every element is in one page shown by one view: that view answers them at once;
    // an element of another view is asked on its own.
    View* view = nullptr;
    const Document* flushed = nullptr;
    for (const Element* element : elements) {
        if (!element || !element->document_ || element->document_ == flushed)
            continue;
        flushed = element->document_;
        View* own = element->FlushedView();
        view = view ? view : own;
    }
    std::vector<Rect> out =
        view ? view->ElementLocations(elements, area) : std::vector<Rect>(elements.size());
    for (std::size_t i = 0; i < elements.size(); ++i) {
        const Element* element = elements[i];
        if (element && element->document_ && element->document_->GetView() != view)
            out[i] = element->Location(area);
    }
    return out;
}

IntrinsicWidths Element::GetIntrinsicWidths() const {
    View* view = FlushedView();
    return view ? view->ElementIntrinsicWidths(*this) : IntrinsicWidths{};
}

int Element::IntrinsicHeight(int width) const {
    View* view = FlushedView();
    return view ? view->ElementIntrinsicHeight(*this, width) : 0;
}

ScrollInfo Element::GetScrollInfo() const {
    View* view = FlushedView();
    return view ? view->ElementScrollInfo(*this) : ScrollInfo{};
}

void Element::SetScrollPos(Point pos, bool smooth) const {
    if (View* view = FlushedView()) {
        view->SetElementScrollPos(*this, pos, smooth);
    }
}

}  // namespace tavopix
