// HWND: the handle of a window. It is a slot number and a generation, never a pointer, so a
// handle kept after its window was destroyed stays harmless: IsWindow answers false, every
// window call on it fails, and PostMessage to it returns false. A slot is reused only with a new
// generation, so an old handle never names a newer window.
//
// The null handle compares equal to nullptr and stands for "no window" (no owner, a thread
// message, no active window). Value() is the handle as one number, for use as a map key or to
// hand the handle to the view; FromValue() turns it back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace tavopix {

class HWND {
public:
    constexpr HWND() = default;
    constexpr HWND(std::nullptr_t) {}  // NOLINT: a null handle reads like Win32 code

    constexpr explicit operator bool() const { return value_ != 0; }
    constexpr std::uintptr_t Value() const { return value_; }
    static constexpr HWND FromValue(std::uintptr_t value) { return HWND(value); }

    friend constexpr bool operator==(HWND, HWND) = default;

private:
    constexpr explicit HWND(std::uintptr_t value) : value_(value) {}

    std::uintptr_t value_ = 0;
};

}  // namespace tavopix

template <>
struct std::hash<tavopix::HWND> {
    std::size_t operator()(tavopix::HWND hwnd) const noexcept {
        return std::hash<std::uintptr_t>()(hwnd.Value());
    }
};
