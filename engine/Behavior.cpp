#include "engine/Behavior.h"

namespace tavopix {

namespace {

// Constant-initialised, so behaviours constructed during static initialisation in any
// translation unit find it ready.
constinit Behavior* registryHead = nullptr;

}  // namespace

Behavior::Behavior(std::string_view name, std::uint32_t subscription)
    : EventHandler(subscription), name_(name), next_(registryHead) {
    registryHead = this;
}

Behavior::~Behavior() {
    for (Behavior** link = &registryHead; *link != nullptr; link = &(*link)->next_) {
        if (*link == this) {
            *link = next_;
            break;
        }
    }
}

Behavior* Behavior::Find(std::string_view name) {
    for (Behavior* behavior = registryHead; behavior != nullptr; behavior = behavior->next_) {
        if (behavior->name_ == name) {
            return behavior;
        }
    }
    return nullptr;
}

}  // namespace tavopix
