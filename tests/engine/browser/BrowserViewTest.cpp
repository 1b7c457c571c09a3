// The browser view's geometry questions over a real socket: answered by the page when it
// answers, from the fallback when there is no page, when it is silent, or when it answers
// nonsense, so the UI thread never waits on a missing browser.
#include "engine/browser/BrowserView.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/websocket.hpp>
#include <chrono>
#include <mutex>
#include <nlohmann/json.hpp>
#include <thread>

#include "BrowserTestSupport.h"
#include "PageClient.h"
#include "engine/Document.h"
#include "engine/Element.h"
#include "platform/MessageQueue.h"
#include "support/MessagePump.h"
#include "support/WaitUntil.h"

namespace tavopix {
namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;
using nlohmann::json;
using namespace std::chrono_literals;

// A page on the socket that answers each question with what `reply` makes of it; null means
// silence.
class FakePage {
public:
    FakePage(const std::string& url, std::function<json(const json&)> reply)
        : reply_(std::move(reply)) {
        beast::error_code ec;
        ws_ = test::OpenPageSocket(io_, test::ParseLaunchUrl(url).port, test::Launch(url), ec);
        EXPECT_FALSE(ec) << ec.message();
        reader_ = std::thread([this] { Serve(); });
    }
    ~FakePage() {
        beast::error_code ec;
        ws_->next_layer().shutdown(tcp::socket::shutdown_both, ec);
        reader_.join();
    }
    int Questions() const { return questions_; }

private:
    void Serve() {
        for (;;) {
            beast::flat_buffer buffer;
            beast::error_code ec;
            ws_->read(buffer, ec);
            if (ec)
                return;
            const json message =
                json::parse(beast::buffers_to_string(buffer.data()), nullptr, false);
            if (!message.is_object() || message.value("t", "") != "q")
                continue;
            ++questions_;
            const json r = reply_(message);
            if (r.is_null())
                continue;
            ws_->write(asio::buffer(json{{"t", "a"}, {"id", message["id"]}, {"r", r}}.dump()), ec);
        }
    }

    asio::io_context io_;
    std::unique_ptr<test::PageSocket> ws_;
    std::function<json(const json&)> reply_;
    std::atomic<int> questions_{0};
    std::thread reader_;
};

class BrowserViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_.Write("web/index.html", "<!doctype html>");
        std::string error;
        view_ = BrowserView::Start(folder_.Path("web"), error);
        ASSERT_TRUE(view_) << error;
        page_ = Document::FromHtml("<html><body><p #text>hello wide world</p></body></html>",
                                   u"/opt/tavopix/skin/page.htm");
        page_->AttachView(view_.get());
        page_->FlushChanges();
        text_ = page_->Root()->FindById(u"text");
        ASSERT_NE(text_, nullptr);
    }
    void TearDown() override {
        page_.reset();  // tells the view first
        view_.reset();
    }

    void WaitConnected() {
        ASSERT_TRUE(test::WaitUntil([&] { return view_->IsConnected(); }));
    }

    test::TempFolder folder_;
    std::unique_ptr<BrowserView> view_;
    std::unique_ptr<Document> page_;
    Element* text_ = nullptr;
};

TEST_F(BrowserViewTest, WithoutPageTheFallbackAnswersAtOnce) {
    const auto start = std::chrono::steady_clock::now();
    const IntrinsicWidths widths = view_->ElementIntrinsicWidths(*text_);
    EXPECT_EQ(widths.minWidth, 5 * 8);  // "world": the longest word, 8 pixels a character
    EXPECT_EQ(widths.maxWidth, 16 * 8);
    EXPECT_EQ(view_->ElementIntrinsicHeight(*text_, 6 * 8), 3 * 16);
    EXPECT_EQ(view_->ElementLocation(*text_, LocationArea{}).Width(), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
}

TEST_F(BrowserViewTest, PageAnswersTheQuestions) {
    FakePage page(view_->Url(), [&](const json& q) -> json {
        EXPECT_EQ(q["u"], text_->GetUid());
        if (q["what"] == "iw")
            return json::array({33, 120});
        if (q["what"] == "ih")
            return json::array({q["width"].get<int>() + 1});
        if (q["what"] == "loc")
            return json::array({10, 20, 110, 45});
        return nullptr;
    });
    WaitConnected();
    const IntrinsicWidths widths = view_->ElementIntrinsicWidths(*text_);
    EXPECT_EQ(widths.minWidth, 33);
    EXPECT_EQ(widths.maxWidth, 120);
    EXPECT_EQ(view_->ElementIntrinsicHeight(*text_, 70), 71);
    const Rect r = view_->ElementLocation(*text_, LocationArea{});
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.top, 20);
    EXPECT_EQ(r.right, 110);
    EXPECT_EQ(r.bottom, 45);
    EXPECT_EQ(page.Questions(), 3);
}

TEST_F(BrowserViewTest, SilentOrConfusedPageFallsBackAfterTheTimeOut) {
    std::atomic<int> asked{0};
    FakePage page(view_->Url(), [&](const json&) -> json {
        // First silence, then answers of the wrong shape.
        switch (asked++) {
            case 0:
                return nullptr;
            case 1:
                return json::array({1});
            default:
                return json::array({"a"});
        }
    });
    WaitConnected();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(view_->ElementIntrinsicWidths(*text_).maxWidth, 16 * 8);
    EXPECT_GE(std::chrono::steady_clock::now() - start, BrowserView::kAnswerTimeout);
    EXPECT_EQ(view_->ElementLocation(*text_, ROOT_RELATIVE).Width(), 0);
    EXPECT_EQ(view_->ElementIntrinsicHeight(*text_, 6 * 8), 3 * 16);
    EXPECT_EQ(asked, 3);
}

// One handler often asks the same thing several times; the page hears it once until the page
// changes.
TEST_F(BrowserViewTest, SameQuestionIsAskedOnceUntilThePageChanges) {
    FakePage page(view_->Url(), [](const json& q) -> json {
        return q["what"] == "iw" ? json::array({40, 90}) : json(nullptr);
    });
    WaitConnected();
    EXPECT_EQ(view_->ElementIntrinsicWidths(*text_).maxWidth, 90);
    EXPECT_EQ(view_->ElementIntrinsicWidths(*text_).maxWidth, 90);
    EXPECT_EQ(page.Questions(), 1);
    text_->SetText(u"longer text now");
    page_->FlushChanges();
    EXPECT_EQ(view_->ElementIntrinsicWidths(*text_).maxWidth, 90);
    EXPECT_EQ(page.Questions(), 2);
}
// What one page's socket hears, kept as the "t" of each message ("doc:<id>" for a page). Only the
// reader's thread touches the socket: the server may close it (a takeover) while the test ends.
class PageLog {
public:
    PageLog(unsigned short port, const std::string& capability) {
        beast::error_code ec;
        ws_ = test::OpenPageSocket(io_, port, capability, ec);
        EXPECT_FALSE(ec) << ec.message();
        reader_ = std::thread([this] {
            ReadNext();
            io_.run();
        });
    }
    ~PageLog() {
        asio::post(io_, [this] {
            beast::error_code ec;
            ws_->next_layer().shutdown(tcp::socket::shutdown_both, ec);
        });
        reader_.join();
    }
    // Everything heard, once the last thing heard is `last`.
    std::vector<std::string> HeardUntil(std::string_view last) {
        for (int i = 0; i < 500; ++i) {
            {
                const std::lock_guard lock(mutex_);
                if (!heard_.empty() && heard_.back() == last)
                    return heard_;
            }
            std::this_thread::sleep_for(10ms);
        }
        ADD_FAILURE() << "the page never heard " << last;
        return {};
    }

private:
    void ReadNext() {
        ws_->async_read(buffer_, [this](beast::error_code error, std::size_t) {
            if (error)
                return;
            const json message = json::parse(beast::buffers_to_string(buffer_.data()));
            buffer_.clear();
            std::string kind = message.value("t", "");
            if (kind == "doc")
                kind += ":" + std::to_string(message["doc"].get<int>());
            {
                const std::lock_guard lock(mutex_);
                heard_.push_back(kind);
            }
            ReadNext();
        });
    }

    asio::io_context io_;
    std::unique_ptr<test::PageSocket> ws_;
    beast::flat_buffer buffer_;
    std::mutex mutex_;
    std::vector<std::string> heard_;
    std::thread reader_;
};

// At start the page connects while the program is still building its first window, whose page
// goes out as soon as it is made; when the program gets to the connection it sends what that
// page has not had (the page made before it connected), not the big first page a second time.
// A page that takes over later gets everything.
TEST_F(BrowserViewTest, EachPageIsSentOnceToThePageThatConnected) {
    const unsigned short port = test::ParseLaunchUrl(view_->Url()).port;
    const std::string capability = test::Launch(view_->Url());
    PageLog first(port, capability);
    WaitConnected();
    auto later = Document::FromHtml("<html><body><p>made after</p></body></html>",
                                    u"/opt/tavopix/skin/later.htm");
    later->AttachView(view_.get());
    later->FlushChanges();  // page 1 was sent to nobody, page 2 to the connected page
    // Until the connection's notice has been handled.
    const auto heardAfterPumping = [&](PageLog& log) {
        std::vector<std::string> heard;
        for (int i = 0; i < 100 && std::count(heard.begin(), heard.end(), "hello") == 0; ++i) {
            test::Pump();
            view_->CopyToClipboard(u"end");
            heard = log.HeardUntil("clip");
        }
        return heard;
    };
    std::vector<std::string> heard = heardAfterPumping(first);
    heard.erase(std::remove(heard.begin(), heard.end(), "clip"), heard.end());
    EXPECT_EQ(heard, (std::vector<std::string>{"doc:2", "hello", "doc:1"}));

    PageLog second(port, capability);
    first.HeardUntil("takeover");
    heard = heardAfterPumping(second);
    EXPECT_EQ(std::count(heard.begin(), heard.end(), "doc:1"), 1);
    EXPECT_EQ(std::count(heard.begin(), heard.end(), "doc:2"), 1);
    later.reset();
}
}  // namespace
}  // namespace tavopix
