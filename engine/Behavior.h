// Behaviours: event handlers that a page attaches to its elements by name, through the style
// sheet (`behavior: bhv_img_view`). Each behaviour class has one static object, constructed
// before start-up with its name and subscription, which puts itself at the head of the
// process-wide registry; that one object serves every element that names it, so a behaviour
// keeps per-element state in the element (attributes, states) or keys it by element.
//
// A name is looked up byte for byte, and the first object in the registry wins: the one
// constructed last. The registry is filled during static initialisation and read on the UI
// thread; a behaviour object must outlive every page that uses it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/EventHandler.h"

namespace tavopix {

class Behavior : public EventHandler {
public:
    Behavior(std::string_view name, std::uint32_t subscription);
    ~Behavior() override;

    const std::string& Name() const { return name_; }

    // The first registered behaviour called `name`; null when none is.
    [[nodiscard]] static Behavior* Find(std::string_view name);

private:
    std::string name_;
    Behavior* next_ = nullptr;
};

}  // namespace tavopix
