// An element of a page: its tag, its ordered attributes, its children, the text around them,
// its run-time style properties, state bits and control value.
//
// Text follows the element model: `Text()` is the text before the first child and every
// child's `Tail()` is the text after it, so children are elements only and indexing them is
// cheap. Names (tags, attributes, style properties) are 8-bit and kept in lower case; values and
// text are UTF-16; HTML crosses the interface as UTF-8.
//
// While an element belongs to a document, every change to it is recorded for the document's
// view (Document.h); a detached element changes silently. All of this runs on the UI thread.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/ElementRef.h"
#include "engine/ElementState.h"
#include "engine/Geometry.h"

namespace tavopix {

class Document;
class Selector;
class View;
enum class ChangeKind : std::uint8_t;

struct ElementAttribute {
    std::string name;
    std::u16string value;
    friend bool operator==(const ElementAttribute&, const ElementAttribute&) = default;
};

struct StyleProperty {
    std::string name;
    std::u16string value;
    friend bool operator==(const StyleProperty&, const StyleProperty&) = default;
};

// What a walk over elements does after each callback.
enum class Walk { Continue, Stop };

// Where `SetHtml` puts the parsed fragment, relative to the element it is called on.
enum HtmlPosition : int {
    SIH_REPLACE_CONTENT = 0,    // the fragment becomes the element's whole content
    SIH_INSERT_AT_START = 1,    // before the first child (and the leading text)
    SIH_APPEND_AFTER_LAST = 2,  // after the last child (and its tail)
    SOH_REPLACE = 3,            // the fragment takes the element's place
    SOH_INSERT_BEFORE = 4,      // before the element, in its parent
    SOH_INSERT_AFTER = 5,       // after the element, in its parent
};

class Element {
public:
    // Stable for the element's life; the view and the browser name elements by it.
    using Uid = std::uint32_t;

    [[nodiscard]] static ElementRef Create(std::string_view tag);

    Element(const Element&) = delete;
    Element& operator=(const Element&) = delete;

    Uid GetUid() const { return uid_; }
    const std::string& Tag() const { return tag_; }

    // ---- Tree ---------------------------------------------------------------------------------
    Element* Parent() const { return parent_; }
    Document* GetDocument() const { return document_; }
    std::size_t ChildCount() const { return children_.size(); }
    Element* Child(std::size_t index) const;  // null when out of range
    Element* FirstChild() const { return Child(0); }
    Element* LastChild() const;
    // Position among the parent's children; -1 without a parent.
    int Index() const { return parent_ ? static_cast<int>(index_) : -1; }
    Element* NextSibling() const;
    Element* PreviousSibling() const;
    // The topmost ancestor (the element itself without a parent).
    Element* Root();
    // True when `other` is this element or lies below it.
    bool Contains(const Element& other) const;
    // The element after this one in document order that still lies below `scope`; null at the
    // end. With scope null the walk covers the whole tree.
    Element* NextInOrder(const Element* scope) const;

    // Puts `child` at `index` (clamped to the end) among the children, taking it out of where
    // it was first. False when `child` is null, this element, or one of its ancestors.
    bool InsertChild(const ElementRef& child, std::size_t index);
    bool AppendChild(const ElementRef& child) { return InsertChild(child, ChildCount()); }
    // Takes the element out of its parent (and its document); its tail goes with it. References
    // keep a detached element alive.
    void Detach();
    // Detaches every child and clears the leading text.
    void RemoveContent();

    // ---- Attributes ---------------------------------------------------------------------------
    // Null when absent. Names are matched without regard to ASCII case.
    const std::u16string* GetAttribute(std::string_view name) const;
    bool HasAttribute(std::string_view name) const { return GetAttribute(name) != nullptr; }
    // Sets or replaces; std::nullopt removes. A new attribute goes after the existing ones.
    void SetAttribute(std::string_view name, std::optional<std::u16string_view> value);
    const std::vector<ElementAttribute>& Attributes() const { return attributes_; }
    // True when the blank-separated "class" attribute holds `name`.
    bool HasClass(std::u16string_view name) const;

    // ---- Run-time style (kept apart from the "style" attribute) -------------------------------
    const std::u16string* GetStyleAttribute(std::string_view name) const;
    // std::nullopt or an empty value clears the property.
    void SetStyleAttribute(std::string_view name, std::optional<std::u16string_view> value);
    const std::vector<StyleProperty>& StyleProperties() const { return style_; }

    // ---- States -------------------------------------------------------------------------------
    ElementStateBits State() const { return state_; }
    bool HasState(ElementStateBits bits) const { return (state_ & bits) == bits; }
    // Sets `toSet`, then clears `toClear`.
    void SetState(ElementStateBits toSet, ElementStateBits toClear);
    // Clears or sets STATE_DISABLED.
    void SetEnabled(bool enabled);

    // ---- Text and control value ---------------------------------------------------------------
    const std::u16string& Text() const { return text_; }
    const std::u16string& Tail() const { return tail_; }
    void SetText(std::u16string_view text);
    void SetTail(std::u16string_view tail);
    // All text below the element, in document order, tails of its children included.
    std::u16string InnerText() const;
    // Replaces the whole content by `text` (no markup is interpreted).
    void SetInnerText(std::u16string_view text);
    // The value a built-in control shows; the controls give it its meaning.
    const std::u16string& Value() const { return value_; }
    void SetValue(std::u16string_view value);

    // ---- HTML ---------------------------------------------------------------------------------
    // Parses `utf8` in the page dialect and puts it at `where`. False (nothing changed) when
    // `where` is unknown or needs a parent the element does not have.
    [[nodiscard]] bool SetHtml(std::string_view utf8, HtmlPosition where);
    [[nodiscard]] bool SetHtml(std::u16string_view html, HtmlPosition where);
    std::string OuterHtml() const;
    std::string InnerHtml() const;

    // ---- Selection ----------------------------------------------------------------------------
    bool Matches(const Selector& selector) const;
    // The first element below this one, in document order, that matches; null when none (or
    // the selector text is invalid).
    Element* FindFirst(const Selector& selector) const;
    Element* FindFirst(std::string_view selector) const;
    // The first element below this one whose "id" attribute equals `id`.
    Element* FindById(std::u16string_view id) const;
    // Calls `visit` for every element below this one that matches, in document order, until it
    // returns Walk::Stop. The matches are collected before the first call, so `visit` may edit
    // the tree. Returns Walk::Stop when the walk was stopped.
    Walk SelectElements(const Selector& selector, const std::function<Walk(Element&)>& visit) const;
    Walk SelectElements(std::string_view selector,
                        const std::function<Walk(Element&)>& visit) const;
    std::vector<ElementRef> SelectAll(const Selector& selector) const;

    // ---- Geometry (asked of the document's view after pending changes are flushed) ------------
    // Zero values when the element is not in a document that has a view.
    Rect Location(LocationArea area) const;
    // The locations of many elements with one question to the view (View::ElementLocations):
    // one rectangle per element, in order; empty where Location would be.
    static std::vector<Rect> Locations(std::span<const Element* const> elements, LocationArea area);
    IntrinsicWidths GetIntrinsicWidths() const;
    int IntrinsicHeight(int width) const;
    ScrollInfo GetScrollInfo() const;
    void SetScrollPos(Point pos, bool smooth) const;

private:
    explicit Element(std::string_view tag);
    ~Element();

    friend void UseElement(Element*);
    friend void UnuseElement(Element*);
    friend class Document;

    void Adopt(Document* document);  // sets the document of this subtree
    void DetachChildAt(std::size_t index);
    void RenumberFrom(std::size_t index);
    void InsertFragmentAt(std::vector<ElementRef>& elements, std::size_t index);
    Document* RecordingDocument() const;
    void Record(ChangeKind kind, std::string_view name,
                std::optional<std::u16string_view> value) const;
    View* FlushedView() const;

    Uid uid_;
    std::uint32_t uses_ = 0;
    std::uint32_t index_ = 0;
    ElementStateBits state_ = 0;
    std::string tag_;
    Element* parent_ = nullptr;
    Document* document_ = nullptr;
    std::vector<ElementRef> children_;
    std::vector<ElementAttribute> attributes_;
    std::vector<StyleProperty> style_;
    std::u16string text_;
    std::u16string tail_;
    std::u16string value_;
};

// True when `element` is there and its "id" attribute is `id`; takes the null an event's target
// or a parent may be.
bool HasId(const Element* element, std::u16string_view id);

}  // namespace tavopix
