// The SDK's handles: 32-bit numbers naming sessions, requests, uploads, downloads and running
// logins, and the gate through which every callback to the program passes.
//
// The gate is what makes closing safe: a callback for a handle runs only through Deliver, which
// checks that the handle still exists and marks the delivery in progress under the table's lock;
// Remove takes the handle out under the same lock and, when a delivery for it is running on
// another thread, waits for it to end. So once Remove has returned, no callback for that handle
// runs, and a callback that closes its own handle does not wait for itself. Handle numbers are
// never reused while the SDK runs.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>

namespace tavopix::sdk {

class HandleObject {
public:
    virtual ~HandleObject() = default;

    // Stops the object's unfinished work; called once, after its handle has left the table.
    virtual void Abandon() {}
};

class HandleTable {
public:
    // The new object's handle; 0 when the table has been closed.
    [[nodiscard]] std::uint32_t Add(std::shared_ptr<HandleObject> object);

    [[nodiscard]] std::shared_ptr<HandleObject> Find(std::uint32_t handle) const;

    template <class T>
    [[nodiscard]] std::shared_ptr<T> FindAs(std::uint32_t handle) const {
        return std::dynamic_pointer_cast<T>(Find(handle));
    }

    // Takes the handle out of the table (after any delivery for it on another thread has ended)
    // and returns its object, or null when there is no such handle.
    [[nodiscard]] std::shared_ptr<HandleObject> Remove(std::uint32_t handle);

    // Runs `delivery` unless the handle is gone; false when it did not run. Deliveries come
    // from one thread at a time (the transfer thread).
    bool Deliver(std::uint32_t handle, const std::function<void()>& delivery);

    // Refuses new handles and deliveries, waits for a running delivery on another thread, and
    // returns every object that was in the table.
    [[nodiscard]] std::unordered_map<std::uint32_t, std::shared_ptr<HandleObject>> CloseAll();

private:
    void WaitForDelivery(std::unique_lock<std::mutex>& lock, std::uint32_t handle);

    mutable std::mutex mutex_;
    std::condition_variable deliveryEnded_;
    std::unordered_map<std::uint32_t, std::shared_ptr<HandleObject>> objects_;
    std::uint32_t lastHandle_ = 0;
    std::uint32_t delivering_ = 0;  // the handle whose callback runs now; 0 for none
    std::thread::id deliveringThread_;
    bool closed_ = false;
};

}  // namespace tavopix::sdk
