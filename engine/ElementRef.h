// A counted reference to an element. Every held reference keeps one use of the element: an
// element lives while its parent or any reference holds it, so a reference to an element that
// was deleted from its page stays valid (it can still be read and edited; it just has no parent
// and no document). Parents hold their children through these references.
#pragma once

#include <cstddef>
#include <utility>

namespace tavopix {

class Element;

// Adds and drops one use; dropping the last destroys the element.
void UseElement(Element* element);
void UnuseElement(Element* element);

class ElementRef {
public:
    ElementRef() = default;
    ElementRef(std::nullptr_t) {}
    explicit ElementRef(Element* element) : element_(element) { UseElement(element_); }
    ElementRef(const ElementRef& other) : element_(other.element_) { UseElement(element_); }
    ElementRef(ElementRef&& other) noexcept : element_(std::exchange(other.element_, nullptr)) {}
    ~ElementRef() { UnuseElement(element_); }

    ElementRef& operator=(const ElementRef& other) {
        ElementRef copy(other);
        std::swap(element_, copy.element_);
        return *this;
    }
    ElementRef& operator=(ElementRef&& other) noexcept {
        ElementRef taken(std::move(other));
        std::swap(element_, taken.element_);
        return *this;
    }

    void reset() { ElementRef().swap(*this); }
    void swap(ElementRef& other) noexcept { std::swap(element_, other.element_); }

    Element* get() const { return element_; }
    Element* operator->() const { return element_; }
    Element& operator*() const { return *element_; }
    explicit operator bool() const { return element_ != nullptr; }

    friend bool operator==(const ElementRef& a, const ElementRef& b) {
        return a.element_ == b.element_;
    }
    friend bool operator==(const ElementRef& a, const Element* b) { return a.element_ == b; }

private:
    Element* element_ = nullptr;
};

}  // namespace tavopix
