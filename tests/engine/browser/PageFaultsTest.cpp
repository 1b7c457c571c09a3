// Everything a page can send wrong, through a real socket to a real view with a real window: the
// view refuses or bounds each message, the window stays on the screen, typed text arrives whole
// and in order, and the view still asks and hears the page afterwards.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "BrowserTestSupport.h"
#include "PageClient.h"
#include "engine/Document.h"
#include "engine/Element.h"
#include "engine/EventDispatcher.h"
#include "engine/browser/BrowserView.h"
#include "platform/MessageQueue.h"
#include "platform/Window.h"
#include "support/MessagePump.h"

namespace tavopix {
namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
using nlohmann::json;
using namespace std::chrono_literals;

constexpr const char16_t* kClassName = u"tavopix-page-faults-test";

class PageFaultsTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_.Write("web/index.html", "<!doctype html>");
        std::string error;
        view_ = BrowserView::Start(folder_.Path("web"), error);
        ASSERT_TRUE(view_) << error;
        WNDCLASSEX windowClass;
        windowClass.lpszClassName = kClassName;
        windowClass.lpfnWndProc = [this](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
            if (message == WM_CHAR)
                typed_.push_back(static_cast<char16_t>(wParam));
            if (message == WM_NCHITTEST) {
                // As a frame's hit test does: the press in the window's own coordinates.
                POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
                ScreenToClient(hwnd, &point);
                ++hitTests_;
            }
            return DefWindowProc(hwnd, message, wParam, lParam);
        };
        ASSERT_NE(RegisterClassEx(windowClass), 0);
        hwnd_ = CreateWindowEx(0, kClassName, u"", WS_POPUP, 100, 100, 400, 300, nullptr, nullptr);
        ASSERT_TRUE(hwnd_);
        page_ = Document::FromHtml("<html><body><p #text>hello wide world</p></body></html>",
                                   u"/opt/tavopix/skin/page.htm");
        events_ = std::make_unique<EventDispatcher>(*page_);
        page_->AttachView(view_.get());
        page_->FlushChanges();
        WindowPlacement placement;
        placement.document = page_.get();
        placement.bounds = {100, 100, 500, 400};
        placement.visible = true;
        view_->PlaceWindow(Key(), placement);

        const std::string url = view_->Url();
        beast::error_code ec;
        ws_ = test::OpenPageSocket(io_, test::ParseLaunchUrl(url).port, test::Launch(url), ec);
        ASSERT_FALSE(ec) << ec.message();
        Send(json{{"t", "screen"}, {"w", 1280}, {"h", 800}}.dump());
    }

    void TearDown() override {
        ws_.reset();
        page_.reset();
        events_.reset();
        view_.reset();
        DestroyWindow(hwnd_);
        test::Pump();
        UnregisterClass(kClassName);
    }

    WindowKey Key() const { return hwnd_.Value(); }

    void Send(const std::string& text) { ws_->write(asio::buffer(text)); }

    void Type(std::string_view ch) {
        Send(json{{"t", "in"}, {"win", Key()}, {"k", "char"}, {"u", 0}, {"ch", ch}}.dump());
    }

    // Runs the UI thread until the window has been typed `mark` (sent last), so everything sent
    // before has been handled.
    void PumpUntilTyped(char16_t mark) {
        ASSERT_TRUE(test::PumpUntil([&] { return !typed_.empty() && typed_.back() == mark; }));
    }

    RECT WindowRect() const {
        RECT rect;
        GetWindowRect(hwnd_, &rect);
        return rect;
    }

    test::TempFolder folder_;
    std::unique_ptr<BrowserView> view_;
    HWND hwnd_;
    std::unique_ptr<Document> page_;
    std::unique_ptr<EventDispatcher> events_;
    asio::io_context io_;
    std::unique_ptr<test::PageSocket> ws_;
    std::u16string typed_;
    int hitTests_ = 0;
};

TEST_F(PageFaultsTest, MalformedMessagesAreRefusedAndTheViewGoesOn) {
    const std::string win = std::to_string(Key());
    const std::string deep = std::string(30000, '[') + std::string(30000, ']');
    const std::vector<std::string> malformed = {
        R"({"t":5})",
        R"({"t":"in","k":5,"win":)" + win + "}",
        R"({"t":"in","k":"down","win":"1"})",
        R"({"t":"in","k":"down","win":)" + win + R"(,"u":"x"})",
        R"({"t":"in","k":"down","win":)" + win + R"(,"x":[1]})",
        R"({"t":"sys","win":)" + win + R"(,"cmd":7})",
        R"({"t":"in","k":"char","win":)" + win + R"(,"ch":5})",
        R"({"t":"a","id":"1","r":[1]})",
        R"({"t":"a","id":1e300,"r":[1]})",
        R"({"t":"screen","w":"1280","h":800})",
        R"({"t":"move","win":)" + win + R"(,"x":0,"y":0,"w":{},"h":5})",
        R"({"t":"in","k":"down","win":-1})",
        R"({"t":"in","k":"down","win":)" + win + R"(,"x":1e300})",
        R"({"t":"in","k":"char","win":)" + win + R"(,"ch":")" + std::string(200, 'x') + "\"}",
        R"({"t":"a","id":1,"r":)" + deep + "}",
        deep,
        "not json",
        "[]",
        "",
    };
    for (const std::string& text : malformed)
        Send(text);
    // Frames of typed text as large as a frame may be: refused whole (a few show it as well as
    // the ten that once held the UI thread for minutes).
    const std::string huge = R"({"t":"in","k":"char","win":)" + win + R"(,"ch":")" +
                             std::string(4 * 1024 * 1024 - 100, 'x') + "\"}";
    for (int i = 0; i < 3; ++i)
        Send(huge);
    // Moves to the ends of the number range, each followed by a press at its corner.
    for (const long long x : {2147483647LL, -2147483648LL}) {
        Send(json{{"t", "move"}, {"win", Key()}, {"x", x}, {"y", x}, {"w", 2147483647}, {"h", 5}}
                 .dump());
        Send(json{
            {"t", "in"}, {"win", Key()}, {"k", "down"}, {"u", 0}, {"sx", x}, {"sy", x}, {"b", 1}}
                 .dump());
    }
    // Typed text, a character a message, arrives whole and in order.
    const std::string text(3000, 'a');
    for (char c : text)
        Type(std::string(1, c));
    Type("Z");
    PumpUntilTyped(u'Z');
    EXPECT_EQ(typed_, std::u16string(3000, u'a') + u"Z");
    EXPECT_EQ(hitTests_, 2);

    // The window the page moved stays within the screen it reported.
    const RECT rect = WindowRect();
    EXPECT_LE(rect.right - rect.left, 1280);
    EXPECT_GT(rect.right, 0);
    EXPECT_LT(rect.left, 1280);
    EXPECT_GE(rect.top, 0);
    EXPECT_LT(rect.top, 800);

    // And the view still asks the page, and hears it.
    std::thread answering([this] {
        for (;;) {
            beast::flat_buffer buffer;
            beast::error_code ec;
            ws_->read(buffer, ec);
            if (ec)
                return;
            const json q = json::parse(beast::buffers_to_string(buffer.data()), nullptr, false);
            if (q.is_object() && q.value("t", "") == "q") {
                Send(json{{"t", "a"}, {"id", q["id"]}, {"r", {33, 120}}}.dump());
                return;
            }
        }
    });
    const Element* paragraph = page_->Root()->FindById(u"text");
    EXPECT_EQ(view_->ElementIntrinsicWidths(*paragraph).maxWidth, 120);
    answering.join();
}

}  // namespace
}  // namespace tavopix
