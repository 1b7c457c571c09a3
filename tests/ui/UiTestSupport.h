// Frames for the ui tests: a program folder holding a copy of the real skin, a headless view
// that answers the pages' geometry, and a frame class whose hooks a test fills in so it can act
// from inside a running message loop (a modal run only returns once its window is gone).
//
// The fixture leaves the process-wide state as it found it: windows destroyed, the queue
// (quits included) emptied, no view set.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/AppContext.h"
#include "app/TextConvert.h"
#include "engine/Element.h"
#include "engine/EventCodes.h"
#include "engine/EventDispatcher.h"
#include "engine/HeadlessView.h"
#include "platform/MessageQueue.h"
#include "platform/ScratchFolder.h"
#include "platform/SystemMetrics.h"
#include "platform/Window.h"
#include "ui/HskFrame.h"
#include "ui/PageHost.h"

namespace tavopix::test {

// Messages a test posts to its own frames.
inline constexpr UINT WM_TEST_STEP = WM_USER + 500;
inline constexpr UINT WM_TEST_LATER = WM_USER + 501;

// The main window's frame parts: close, minimise, maximise, icon, size corner and the spare bit.
inline constexpr std::uint32_t kMainFrameFlags =
    HSK_CLOSE | HSK_MIN | HSK_MAX | HSK_SPARE | HSK_ICON | HSK_CORNER;

// A frame over a page of the scratch skin folder, with hooks for the test.
class TestFrame : public CHskFrame {
public:
    TestFrame(std::u16string_view page, std::uint32_t frameFlags, HWND owner = nullptr)
        : CHskFrame(owner) {
        skinPage = appContext.programDir + u"skin/" + std::u16string(page);
        flags = frameFlags;
    }

    // Runs after the base Create succeeded.
    std::function<void(TestFrame&)> onCreated;
    // Hears every message the base leaves unhandled; a value marks it handled.
    std::function<std::optional<LRESULT>(TestFrame&, UINT, WPARAM, LPARAM)> onMessage;

    int Create() override {
        const int error = CHskFrame::Create();
        if (error == 0 && onCreated)
            onCreated(*this);
        return error;
    }

    LRESULT OnWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                            bool& handled) override {
        const LRESULT result = CHskFrame::OnWindowMessage(window, message, wParam, lParam, handled);
        if (handled || !onMessage)
            return result;
        if (const std::optional<LRESULT> own = onMessage(*this, message, wParam, lParam)) {
            handled = true;
            return *own;
        }
        return 0;
    }

    void Place(int left, int top, int w, int h) {
        x = left;
        y = top;
        width = w;
        height = h;
    }
    void SetMinSize(int w, int h) {
        minWidth = w;
        minHeight = h;
    }
    void SetMaxSize(int w, int h) {
        maxWidth = w;
        maxHeight = h;
    }
    void SetTitle(std::u16string_view text) { title = text; }
    void SetAccelerators(std::uint16_t id) { accelId = id; }
    void SetResult(int code) { resultCode = code; }

    Element* ById(std::u16string_view id) const { return Page()->Root()->FindById(id); }
    void Click(std::u16string_view id) const {
        Element* target = ById(id);
        ASSERT_NE(target, nullptr);
        EventDispatcher::Of(*target)->SendEvent(*target, BUTTON_CLICK);
    }
};

class UiTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::copy(TAVOPIX_SKIN_SOURCE_DIR, folder_.Path("skin"),
                              std::filesystem::copy_options::recursive);
        savedProgramDir_ = appContext.programDir;
        appContext.programDir = FromUtf8(folder_.Path());
        // Thumbnails the windows make go beside the program, as in a real run, never into the
        // working folder.
        std::filesystem::create_directory(folder_.Path("iconsdb"));
        savedIconCacheDir_ = appContext.iconCacheDir;
        appContext.iconCacheDir = FromUtf8(folder_.Path("iconsdb/"));
        SetScreenMetrics(DEFAULT_SCREEN_WIDTH, DEFAULT_SCREEN_HEIGHT, DEFAULT_SCREEN_WIDTH,
                         DEFAULT_WORK_AREA_HEIGHT);
        if (!GetClassInfoEx(kFrameClassName, nullptr)) {
            ASSERT_EQ(RegisterFrameClass(), 0);
        }
        PageHost::SetView(&view_);
    }

    void TearDown() override {
        for (const HWND hwnd : ListWindows())
            DestroyWindow(hwnd);
        MSG msg;
        while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
        EXPECT_TRUE(ListWindows().empty());
        PageHost::SetView(nullptr);
        appContext.programDir = savedProgramDir_;
        appContext.iconCacheDir = savedIconCacheDir_;
    }

    // Writes a page of the skin folder.
    void WritePage(std::string_view name, std::string_view html) {
        folder_.Write("skin/" + std::string(name), html);
    }

    // Takes back the quit that a frame destroyed outside any running loop leaves behind.
    static bool TakeQuit() {
        MSG msg;
        return PeekMessage(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    }

    static RECT WindowRect(HWND hwnd) {
        RECT rect{};
        GetWindowRect(hwnd, &rect);
        return rect;
    }

    HeadlessView view_;
    tavopix::test::ScratchFolder folder_;

private:
    std::u16string savedProgramDir_;
    std::u16string savedIconCacheDir_;
};

}  // namespace tavopix::test
