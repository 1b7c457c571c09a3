// Real folder trees and a real window for the tests of the folder side of the library: a
// folder tree built on disk (files of chosen sizes and ages, hidden folders, symbolic links,
// names with markup characters and CJK), and a plain window whose messages a test handles and
// pumps, as the main window's message loop would.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <string_view>

#include "app/TextConvert.h"
#include "platform/MessageQueue.h"
#include "platform/Window.h"

namespace tavopix::test {

// A folder below the system's temporary folder, removed with everything in it at the end.
class DiskTree {
public:
    DiskTree() {
        std::string pattern = std::filesystem::temp_directory_path() / "tavopix-folders-XXXXXX";
        root_ = ::mkdtemp(pattern.data()) != nullptr ? pattern + "/" : std::string();
        EXPECT_FALSE(root_.empty());
    }
    ~DiskTree() {
        std::error_code ignored;
        for (const std::string& folder : closed_) {
            ::chmod(folder.c_str(), 0755);
        }
        std::filesystem::remove_all(root_, ignored);
    }
    DiskTree(const DiskTree&) = delete;
    DiskTree& operator=(const DiskTree&) = delete;

    // The native path of `name` below the root; the root itself ends with '/'.
    std::string Native(std::string_view name = {}) const { return root_ + std::string(name); }
    // The same as the program's UTF-16 text.
    std::u16string Stored(std::string_view name = {}) const { return FromUtf8(Native(name)); }

    // A file of `size` bytes (sparse), last written `ageHours` ago; its folders are made.
    void File(std::string_view name, std::uintmax_t size, int ageHours = 0) const {
        const std::filesystem::path path = Native(name);
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary).flush();
        std::filesystem::resize_file(path, size);
        if (ageHours != 0) {
            std::filesystem::last_write_time(
                path, std::filesystem::file_time_type::clock::now() - std::chrono::hours(ageHours));
        }
    }
    void Folder(std::string_view name) const { std::filesystem::create_directories(Native(name)); }
    void Link(std::string_view name, std::string_view target) const {
        std::filesystem::create_directory_symlink(target, Native(name));
    }
    // Takes every permission away from a folder (root still reads it).
    void Close(std::string_view name) {
        closed_.push_back(Native(name));
        ::chmod(closed_.back().c_str(), 0);
    }
    bool Readable(std::string_view name) const {
        return ::access(Native(name).c_str(), R_OK | X_OK) == 0;
    }

private:
    std::string root_;
    std::vector<std::string> closed_;
};

// A window of its own class whose messages go to `handler` (unhandled ones: 0).
class TestWindow {
public:
    using Handler = std::function<bool(UINT message, WPARAM wParam, LPARAM lParam)>;

    TestWindow() {
        if (!GetClassInfoEx(kClass, nullptr)) {
            WNDCLASSEX windowClass;
            windowClass.lpszClassName = std::u16string(kClass);
            windowClass.lpfnWndProc = [](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
                auto* self = reinterpret_cast<TestWindow*>(GetWindowLongPtr(hwnd, GWLP_USERDATA));
                if (self != nullptr && self->handler && self->handler(message, wParam, lParam)) {
                    return LRESULT{0};
                }
                return DefWindowProc(hwnd, message, wParam, lParam);
            };
            EXPECT_NE(RegisterClassEx(windowClass), 0);
        }
        hwnd_ = CreateWindowEx(0, kClass, u"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr);
        SetWindowLongPtr(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~TestWindow() {
        SetWindowLongPtr(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
        MSG msg;
        while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
    }
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    HWND Hwnd() const { return hwnd_; }

    Handler handler;

private:
    static constexpr std::u16string_view kClass = u"tavopix-folder-test";
    HWND hwnd_;
};

}  // namespace tavopix::test
