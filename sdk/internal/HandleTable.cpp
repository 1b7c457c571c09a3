#include "sdk/internal/HandleTable.h"

namespace tavopix::sdk {

std::uint32_t HandleTable::Add(std::shared_ptr<HandleObject> object) {
    std::lock_guard lock(mutex_);
    if (closed_ || lastHandle_ == UINT32_MAX) {
        return 0;
    }
    objects_.emplace(++lastHandle_, std::move(object));
    return lastHandle_;
}

std::shared_ptr<HandleObject> HandleTable::Find(std::uint32_t handle) const {
    std::lock_guard lock(mutex_);
    auto found = objects_.find(handle);
    return found == objects_.end() ? nullptr : found->second;
}

std::shared_ptr<HandleObject> HandleTable::Remove(std::uint32_t handle) {
    std::unique_lock lock(mutex_);
    auto found = objects_.find(handle);
    if (found == objects_.end()) {
        return nullptr;
    }
    std::shared_ptr<HandleObject> object = std::move(found->second);
    objects_.erase(found);
    WaitForDelivery(lock, handle);
    return object;
}

bool HandleTable::Deliver(std::uint32_t handle, const std::function<void()>& delivery) {
    {
        std::lock_guard lock(mutex_);
        if (closed_ || !objects_.contains(handle)) {
            return false;
        }
        delivering_ = handle;
        deliveringThread_ = std::this_thread::get_id();
    }
    delivery();
    {
        std::lock_guard lock(mutex_);
        delivering_ = 0;
        deliveringThread_ = {};
    }
    deliveryEnded_.notify_all();
    return true;
}

std::unordered_map<std::uint32_t, std::shared_ptr<HandleObject>> HandleTable::CloseAll() {
    std::unique_lock lock(mutex_);
    closed_ = true;
    if (delivering_ != 0) {
        WaitForDelivery(lock, delivering_);
    }
    std::unordered_map<std::uint32_t, std::shared_ptr<HandleObject>> objects;
    objects.swap(objects_);
    return objects;
}

void HandleTable::WaitForDelivery(std::unique_lock<std::mutex>& lock, std::uint32_t handle) {
    if (deliveringThread_ == std::this_thread::get_id()) {
        return;  // a callback closing its own handle, or another one, from inside the delivery
    }
    deliveryEnded_.wait(lock, [&] { return delivering_ != handle; });
}

}  // namespace tavopix::sdk
