// The server live on loopback, spoken to by a plain Beast client as a browser would.
#include "engine/browser/BrowserServer.h"

#include <gtest/gtest.h>

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include <poll.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <unistd.h>

#include <filesystem>

#include "BrowserTestSupport.h"
#include "PageClient.h"

namespace tavopix {
namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;
using namespace std::chrono_literals;

// What the server's handlers saw, waited for from the test thread.
class Events {
public:
    void Add(std::string event) {
        std::lock_guard lock(mutex_);
        events_.push_back(std::move(event));
        changed_.notify_all();
    }
    // True once `count` events have arrived.
    bool WaitFor(std::size_t count) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, 5s, [&] { return events_.size() >= count; });
    }
    std::vector<std::string> All() {
        std::lock_guard lock(mutex_);
        return events_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> events_;
};

class BrowserServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_.Write("web/index.html", "<!doctype html><title>shell</title>");
        folder_.Write("web/shell.js", "export {};");
        folder_.Write("pics/a.jpg", "not really a jpeg");
        BrowserServer::Handlers handlers;
        handlers.connected = [this] { events_.Add("connected"); };
        handlers.received = [this](std::string text) { events_.Add("received " + text); };
        handlers.disconnected = [this] { events_.Add("disconnected"); };
        std::string error;
        server_ = BrowserServer::Start(folder_.Path("web"), std::move(handlers), error);
        ASSERT_TRUE(server_) << error;
        const std::string url = server_->Url();
        const std::string prefix = "http://127.0.0.1:" + std::to_string(server_->Port()) + "/?t=";
        ASSERT_EQ(url.substr(0, prefix.size()), prefix);
        launch_ = url.substr(prefix.size() - 4);
        host_ = "127.0.0.1:" + std::to_string(server_->Port());
    }

    // The capability path, from the launch address used once.
    const std::string& Capability() {
        if (capability_.empty())
            capability_ = test::Launch(server_->Url());
        EXPECT_FALSE(capability_.empty());
        return capability_;
    }

    tcp::socket Connect() { return test::ConnectTo(io_, server_->Port()); }

    http::response<http::string_body> Get(const std::string& target,
                                          const std::string& origin = {}) {
        return test::HttpGet(server_->Port(), target, origin);
    }

    std::unique_ptr<test::PageSocket> OpenSocket(const std::string& origin, beast::error_code& ec) {
        return test::OpenPageSocket(io_, server_->Port(), Capability(), ec, origin);
    }

    std::string OwnOrigin() const { return "http://" + host_; }

    static std::string ReadText(websocket::stream<tcp::socket>& ws) {
        beast::flat_buffer buffer;
        ws.read(buffer);
        return beast::buffers_to_string(buffer.data());
    }

    test::TempFolder folder_;
    Events events_;
    std::unique_ptr<BrowserServer> server_;
    std::string launch_;  // "/?t=TOKEN"
    std::string capability_;
    std::string host_;
    asio::io_context io_;
};

TEST_F(BrowserServerTest, LaunchAddressWorksOnceAndLeadsToTheCapability) {
    auto first = Get(launch_);
    EXPECT_EQ(first.result(), http::status::see_other);
    const std::string capability(first[http::field::location]);
    EXPECT_EQ(capability.size(), 2 + 48u);
    EXPECT_EQ(first.count(http::field::set_cookie), 0u);
    EXPECT_EQ(first["Referrer-Policy"], "no-referrer");
    // Seen on a command line afterwards, the launch address opens nothing.
    EXPECT_EQ(Get(launch_).result(), http::status::forbidden);

    auto shell = Get(capability);
    EXPECT_EQ(shell.result(), http::status::ok);
    EXPECT_EQ(shell.body(), "<!doctype html><title>shell</title>");
    EXPECT_NE(shell["Content-Security-Policy"].find("script-src 'self'"), beast::string_view::npos);
    EXPECT_EQ(shell[http::field::content_type], "text/html; charset=utf-8");
    EXPECT_EQ(shell["Referrer-Policy"], "no-referrer");

    auto script = Get(capability + "web/shell.js");
    EXPECT_EQ(script.result(), http::status::ok);
    EXPECT_EQ(script[http::field::content_type], "text/javascript; charset=utf-8");
    EXPECT_EQ(script["X-Content-Type-Options"], "nosniff");

    EXPECT_EQ(Get("/").result(), http::status::forbidden);
    EXPECT_EQ(Get("/web/shell.js").result(), http::status::forbidden);
    EXPECT_EQ(Get("/" + std::string(48, '0') + "/web/shell.js").result(), http::status::forbidden);
    EXPECT_EQ(Get(capability + "web/shell.js", "http://evil.com").result(),
              http::status::forbidden);
    EXPECT_EQ(Get(capability + "nothing").result(), http::status::not_found);
}

TEST_F(BrowserServerTest, FilesOnlyFromFoldersTheProgramAllows) {
    const std::string target = Capability() + "f" + folder_.Path("pics/a.jpg").string();
    EXPECT_EQ(Get(target).result(), http::status::forbidden);
    server_->AllowFolder(folder_.Path("pics"));
    auto picture = Get(target);
    EXPECT_EQ(picture.result(), http::status::ok);
    EXPECT_EQ(picture.body(), "not really a jpeg");
    EXPECT_EQ(picture[http::field::content_type], "image/jpeg");
    // A page fetched as a file can run nothing.
    EXPECT_NE(picture["Content-Security-Policy"].find("sandbox"), beast::string_view::npos);
    EXPECT_EQ(Get(Capability() + "f" + folder_.Path("pics").string()).result(),
              http::status::forbidden);
    EXPECT_EQ(Get("/f" + folder_.Path("pics/a.jpg").string()).result(), http::status::forbidden);
}

TEST_F(BrowserServerTest, EveryRunHasItsOwnLaunchTokenAndCapability) {
    std::string error;
    auto second = BrowserServer::Start(folder_.Path("web"), {}, error);
    ASSERT_TRUE(second) << error;
    EXPECT_NE(second->Url(), server_->Url());
    EXPECT_NE(second->Port(), server_->Port());
    EXPECT_GE(launch_.size(), 3 + 32u);
    const std::string other = test::Launch(second->Url());
    EXPECT_NE(other, Capability());
    // One run's capability opens nothing at another's port.
    EXPECT_EQ(test::HttpGet(second->Port(), Capability()).result(), http::status::forbidden);
}

TEST_F(BrowserServerTest, SocketWithForeignOriginIsRefused) {
    beast::error_code ec;
    auto ws = OpenSocket("http://evil.com", ec);
    EXPECT_EQ(ec, websocket::error::upgrade_declined);
    auto lookalike = OpenSocket(OwnOrigin() + ".evil.com", ec);
    EXPECT_EQ(ec, websocket::error::upgrade_declined);
    EXPECT_FALSE(server_->IsConnected());
    EXPECT_TRUE(events_.All().empty());
}

TEST_F(BrowserServerTest, ActivePageSendsAndReceives) {
    beast::error_code ec;
    auto ws = OpenSocket(OwnOrigin(), ec);
    ASSERT_FALSE(ec) << ec.message();
    ASSERT_TRUE(events_.WaitFor(1));
    EXPECT_TRUE(server_->IsConnected());

    server_->Send(R"({"t":"hello"})");
    server_->Send("second");
    EXPECT_EQ(ReadText(*ws), R"({"t":"hello"})");
    EXPECT_EQ(ReadText(*ws), "second");

    ws->write(asio::buffer(std::string(R"({"t":"screen","w":800,"h":600})")));
    ASSERT_TRUE(events_.WaitFor(2));
    ws->close(websocket::close_code::normal);
    ASSERT_TRUE(events_.WaitFor(3));
    EXPECT_EQ(events_.All(),
              (std::vector<std::string>{"connected", R"(received {"t":"screen","w":800,"h":600})",
                                        "disconnected"}));
    EXPECT_FALSE(server_->IsConnected());
}

TEST_F(BrowserServerTest, SecondPageTakesOverAndTheFirstIsTold) {
    beast::error_code ec;
    auto first = OpenSocket(OwnOrigin(), ec);
    ASSERT_FALSE(ec) << ec.message();
    ASSERT_TRUE(events_.WaitFor(1));
    auto second = OpenSocket(OwnOrigin(), ec);
    ASSERT_FALSE(ec) << ec.message();
    ASSERT_TRUE(events_.WaitFor(2));

    EXPECT_EQ(ReadText(*first), R"({"t":"takeover"})");
    // The old page gets nothing more but is heard until it ends its socket: what its user did
    // just before may still be on the way.
    server_->Send("to the new page");
    first->write(asio::buffer(std::string("typed on the old page")));
    first->close(websocket::close_code::going_away, ec);
    EXPECT_FALSE(ec) << ec.message();

    EXPECT_EQ(ReadText(*second), "to the new page");
    second->write(asio::buffer(std::string("from the new page")));
    ASSERT_TRUE(events_.WaitFor(4));
    EXPECT_EQ(events_.All(),
              (std::vector<std::string>{"connected", "connected", "received typed on the old page",
                                        "received from the new page"}));
    EXPECT_TRUE(server_->IsConnected());
}

TEST_F(BrowserServerTest, OversizedRequestIsDroppedWithoutAnswer) {
    tcp::socket socket = Connect();
    const std::string request = "GET " + Capability() + " HTTP/1.1\r\nHost: " + host_ +
                                "\r\nX-Padding: " + std::string(64 * 1024, 'x') + "\r\n\r\n";
    beast::error_code ec;
    asio::write(socket, asio::buffer(request), ec);
    std::vector<char> reply(1024);
    std::size_t got = 0;
    while (!ec)
        got += socket.read_some(asio::buffer(reply), ec);
    EXPECT_EQ(got, 0u);
    EXPECT_TRUE(ec == asio::error::eof || ec == asio::error::connection_reset) << ec.message();

    // The server goes on answering others.
    EXPECT_EQ(Get(Capability()).result(), http::status::ok);
}

TEST_F(BrowserServerTest, SocketWithoutTheCapabilityIsRefused) {
    beast::error_code ec;
    auto ws = test::OpenPageSocket(io_, server_->Port(), "/", ec);
    EXPECT_EQ(ec, websocket::error::upgrade_declined);
    auto withToken = test::OpenPageSocket(io_, server_->Port(), launch_ + "/", ec);
    EXPECT_EQ(ec, websocket::error::upgrade_declined);
    EXPECT_FALSE(server_->IsConnected());
}

TEST_F(BrowserServerTest, OversizedFrameEndsTheSocket) {
    beast::error_code ec;
    auto ws = OpenSocket(OwnOrigin(), ec);
    ASSERT_FALSE(ec) << ec.message();
    ASSERT_TRUE(events_.WaitFor(1));
    ws->write(asio::buffer(std::string(5 * 1024 * 1024, 'x')), ec);
    beast::flat_buffer buffer;
    ws->read(buffer, ec);
    EXPECT_TRUE(ec) << "the socket stayed open";
    ASSERT_TRUE(events_.WaitFor(2));
    EXPECT_EQ(events_.All(), (std::vector<std::string>{"connected", "disconnected"}));
}

// The program's last word ("the program has ended") is sent just before the server goes away.
TEST_F(BrowserServerTest, FramesSentBeforeTheServerEndsReachThePage) {
    beast::error_code ec;
    auto ws = OpenSocket(OwnOrigin(), ec);
    ASSERT_FALSE(ec) << ec.message();
    ASSERT_TRUE(events_.WaitFor(1));
    server_->Send(R"({"t":"quit"})");
    server_.reset();
    beast::flat_buffer buffer;
    ws->read(buffer, ec);
    ASSERT_FALSE(ec) << ec.message();
    EXPECT_EQ(beast::buffers_to_string(buffer.data()), R"({"t":"quit"})");
}

// A page that stops reading is cut off once 100,000 frames wait for it, rather than losing
// some of them; the page that connects next is the active one and is sent to.
TEST_F(BrowserServerTest, APageTooFarBehindIsCutOffAndTheNextOneServed) {
    beast::error_code ec;
    auto stalled = OpenSocket(OwnOrigin(), ec);
    ASSERT_FALSE(ec) << ec.message();
    ASSERT_TRUE(events_.WaitFor(1));
    // Large frames fill the socket's buffers; the small ones after them queue up.
    for (int i = 0; i < 4; ++i)
        server_->Send(std::string(8 * 1024 * 1024, 'x'));
    for (int i = 0; i < 100'001; ++i)
        server_->Send("{}");
    ASSERT_TRUE(events_.WaitFor(2));
    EXPECT_EQ(events_.All(), (std::vector<std::string>{"connected", "disconnected"}));
    EXPECT_FALSE(server_->IsConnected());

    auto next = OpenSocket(OwnOrigin(), ec);
    ASSERT_FALSE(ec) << ec.message();
    ASSERT_TRUE(events_.WaitFor(3));
    server_->Send("the whole state");
    EXPECT_EQ(ReadText(*next), "the whole state");
}

TEST_F(BrowserServerTest, SendWithoutPageIsDropped) {
    server_->Send("nobody listens");
    beast::error_code ec;
    auto ws = OpenSocket(OwnOrigin(), ec);
    ASSERT_FALSE(ec) << ec.message();
    ASSERT_TRUE(events_.WaitFor(1));
    server_->Send("now");
    EXPECT_EQ(ReadText(*ws), "now");
}

// No read in these tests waits longer than this for the server: a server that never answers
// fails the test instead of hanging it.
void BoundReads(tcp::socket& socket) {
    const timeval limit{10, 0};
    ::setsockopt(socket.native_handle(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
}

// True when the server closed `socket` (it reads end of stream).
bool ClosedByServer(tcp::socket& socket) {
    BoundReads(socket);
    char byte;
    beast::error_code ec;
    socket.read_some(asio::buffer(&byte, 1), ec);
    return ec == asio::error::eof || ec == asio::error::connection_reset;
}

// The page's request for one of the shell's files on a socket of its own, with bounded reads.
http::status PageRequest(tcp::socket socket, const std::string& target, const std::string& host) {
    BoundReads(socket);
    http::request<http::empty_body> request(http::verb::get, target, 11);
    request.set(http::field::host, host);
    beast::error_code ec;
    http::write(socket, request, ec);
    beast::flat_buffer buffer;
    http::response<http::string_body> response;
    http::read(socket, buffer, response, ec);
    return ec ? http::status::unknown : response.result();
}

// Thousands of idle connections once took every descriptor: now the strangers idle the longest
// make room, the page's socket stays, and the page is answered throughout.
TEST_F(BrowserServerTest, IdleConnectionFloodLeavesThePageWorking) {
    beast::error_code ec;
    auto page = OpenSocket(OwnOrigin(), ec);
    ASSERT_FALSE(ec) << ec.message();
    ASSERT_TRUE(events_.WaitFor(1));

    std::vector<tcp::socket> idle;
    for (int i = 0; i < 400; ++i)
        idle.push_back(Connect());
    EXPECT_EQ(PageRequest(Connect(), Capability() + "web/shell.js", host_), http::status::ok);
    // The oldest strangers were closed to make room for the newer ones.
    for (int i = 0; i < 300; ++i)
        ASSERT_TRUE(ClosedByServer(idle[i])) << "idle connection " << i << " still open";

    server_->Send("still here");
    EXPECT_EQ(ReadText(*page), "still here");
    EXPECT_TRUE(server_->IsConnected());
}

// Raises the process's descriptor limit back when the test ends.
class DescriptorLimit {
public:
    explicit DescriptorLimit(rlim_t soft) {
        getrlimit(RLIMIT_NOFILE, &saved_);
        rlimit lowered = saved_;
        lowered.rlim_cur = soft;
        setrlimit(RLIMIT_NOFILE, &lowered);
    }
    ~DescriptorLimit() { setrlimit(RLIMIT_NOFILE, &saved_); }
    DescriptorLimit(const DescriptorLimit&) = delete;
    DescriptorLimit& operator=(const DescriptorLimit&) = delete;

private:
    rlimit saved_{};
};

// Present when the undefined-behaviour sanitizer checks dynamic types: its runtime opens a pipe
// for each check it has not cached, so it reports false faults in a process out of descriptors.
extern "C" __attribute__((weak)) void __ubsan_handle_dynamic_type_cache_miss();

// Out of descriptors, the server neither spins nor gives up: it closes strangers, takes the
// page's connection and answers it, and serves normally once descriptors are free again.
TEST_F(BrowserServerTest, OutOfDescriptorsThePageIsStillAnswered) {
    if (&__ubsan_handle_dynamic_type_cache_miss != nullptr)
        GTEST_SKIP() << "the type checks of this build need descriptors of their own";
#if defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the thread sanitizer's runtime needs descriptors of its own";
#endif
    const std::string shell = Capability() + "web/shell.js";
    std::vector<tcp::socket> idle;
    {
        const auto open =
            static_cast<rlim_t>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                                              std::filesystem::directory_iterator{}));
        DescriptorLimit limit(open + 24);
        // Idle connections until the process has no descriptor left to open another.
        for (;;) {
            tcp::socket socket(io_);
            beast::error_code ec;
            socket.connect({asio::ip::make_address("127.0.0.1"), server_->Port()}, ec);
            if (ec)
                break;
            idle.push_back(std::move(socket));
            ASSERT_LT(idle.size(), 100u);
        }
        ASSERT_GE(idle.size(), 8u);
        // A descriptor for the page's connection. The server shares this process's descriptors
        // and may take a freed one first for a connection still waiting in its backlog, so the
        // page tries again with one more freed, as a browser retries a refused connection.
        tcp::socket page(io_);
        beast::error_code ec;
        for (int attempt = 0; attempt < 6; ++attempt) {
            idle.pop_back();
            page = tcp::socket(io_);
            page.connect({asio::ip::make_address("127.0.0.1"), server_->Port()}, ec);
            if (!ec)
                break;
        }
        ASSERT_FALSE(ec) << ec.message();
        // Answered, not left hanging (the file itself may not open while the test holds every
        // other descriptor). Connected means only queued in the backlog: when the server took
        // the last freed descriptor for an older connection there, each second without an answer
        // frees one more, as the browser's other connections would close.
        http::request<http::empty_body> request(http::verb::get, shell, 11);
        request.set(http::field::host, host_);
        http::write(page, request, ec);
        ASSERT_FALSE(ec) << ec.message();
        const auto answerArrives = [&page] {
            pollfd ready{page.native_handle(), POLLIN, 0};
            return ::poll(&ready, 1, 1000) > 0;
        };
        while (!answerArrives() && !idle.empty())
            idle.pop_back();
        beast::flat_buffer buffer;
        http::response<http::string_body> response;
        http::read(page, buffer, response, ec);
        EXPECT_FALSE(ec) << ec.message();
    }
    idle.clear();
    EXPECT_EQ(Get(shell).result(), http::status::ok);
}

}  // namespace
}  // namespace tavopix
