// Windows for the window and queue tests: each test window sends its messages to a handler of
// the test (a lambda) and logs them; the fixture destroys what a test leaves behind and empties
// the queue, so the process-wide window state starts clean for every test.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "platform/MessageQueue.h"
#include "platform/Window.h"

namespace tavopix::test {

// What a handler returns when it leaves a message to the system.
using Handler = std::function<std::optional<LRESULT>(HWND, UINT, WPARAM, LPARAM)>;

struct LoggedMessage {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

class TestWindows : public ::testing::Test {
protected:
    static constexpr const char16_t* kClassName = u"tavopix-test-window";

    void SetUp() override {
        if (!GetClassInfoEx(kClassName, nullptr)) {
            WNDCLASSEX windowClass;
            windowClass.lpszClassName = kClassName;
            windowClass.lpfnWndProc = &TestWindows::WindowProc;
            ASSERT_NE(RegisterClassEx(windowClass), 0);
        }
        current_ = this;
    }

    void TearDown() override {
        // The handlers may refer to the finished test's locals: keep them out of the clean-up.
        for (const HWND hwnd : ListWindows()) {
            SetWindowLongPtr(hwnd, GWLP_USERDATA, 0);
        }
        for (const HWND hwnd : ListWindows()) {
            DestroyWindow(hwnd);
        }
        MSG msg;
        while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
        ASSERT_TRUE(ListWindows().empty());
        current_ = nullptr;
    }

    // A window at (x, y) of the given size whose messages go to `handler` first.
    HWND Create(Handler handler = {}, HWND owner = nullptr, RECT rect = {100, 100, 500, 400},
                DWORD style = WS_POPUP) {
        handlers_.push_back(std::move(handler));
        return CreateWindowEx(0, kClassName, u"", style, rect.left, rect.top,
                              rect.right - rect.left, rect.bottom - rect.top, owner,
                              &handlers_.back());
    }

    // The logged messages of one number, in arrival order.
    std::vector<LoggedMessage> Logged(UINT message) const {
        std::vector<LoggedMessage> found;
        for (const LoggedMessage& logged : log_) {
            if (logged.message == message) {
                found.push_back(logged);
            }
        }
        return found;
    }

    // Runs a message loop as the frames do and returns the quit's exit code.
    static int RunLoop() {
        MSG msg;
        while (GetMessage(&msg, nullptr, 0, 0)) {
            DispatchMessage(&msg);
        }
        return static_cast<int>(msg.wParam);
    }

    std::vector<LoggedMessage> log_;

private:
    static LRESULT WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_CREATE) {
            auto* create = reinterpret_cast<CREATESTRUCT*>(lParam);
            SetWindowLongPtr(hwnd, GWLP_USERDATA,
                             reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        }
        if (current_) {
            current_->log_.push_back(LoggedMessage{hwnd, message, wParam, lParam});
        }
        auto* handler = reinterpret_cast<Handler*>(GetWindowLongPtr(hwnd, GWLP_USERDATA));
        if (handler && *handler) {
            if (const std::optional<LRESULT> result = (*handler)(hwnd, message, wParam, lParam)) {
                return *result;
            }
        }
        return DefWindowProc(hwnd, message, wParam, lParam);
    }

    static inline TestWindows* current_ = nullptr;
    std::deque<Handler> handlers_;
};

}  // namespace tavopix::test
