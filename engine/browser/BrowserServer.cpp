#include "engine/browser/BrowserServer.h"

#include <sys/random.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <exception>
#include <list>
#include <optional>
#include <utility>
// (asio's headers use std::exchange without including <utility> themselves)
#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/websocket.hpp>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "engine/browser/BrowserProtocol.h"
#include "engine/browser/RequestPolicy.h"

namespace tavopix {
namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace websocket = beast::websocket;
using tcp = asio::ip::tcp;

constexpr std::size_t kMaxRequestBytes = 16 * 1024;
constexpr std::size_t kMaxFrameBytes = 4 * 1024 * 1024;
constexpr std::size_t kMaxQueuedFrames = 100000;
constexpr auto kRequestTimeout = std::chrono::seconds(30);
constexpr auto kShutdownGrace = std::chrono::milliseconds(500);
// How long a page another page took over from is still heard before its socket is cut.
constexpr auto kReleaseGrace = std::chrono::seconds(10);
// The page needs a handful of connections (a browser opens six per server, plus the socket);
// beyond this, idle connections that never showed the capability make room or are refused.
constexpr std::size_t kMaxConnections = 48;
constexpr auto kLimitRecovery = std::chrono::seconds(10);
// Descriptors kept free after running out, for the files the accepted connections ask for.
constexpr std::size_t kSpareDescriptors = 2;
// How long accepting pauses when the process is out of descriptors, so it does not spin.
constexpr auto kAcceptBackOff = std::chrono::milliseconds(100);

// Scripts only from the shell's own files; pictures and sheets from this server; nothing else.
constexpr std::string_view kShellPolicy =
    "default-src 'none'; script-src 'self'; style-src 'self' 'unsafe-inline'; img-src 'self' "
    "data:; "
    "font-src 'self'; connect-src 'self'; frame-src 'self' about:; base-uri 'none'; "
    "form-action 'none'; frame-ancestors 'none'";
constexpr std::string_view kFilePolicy =
    "default-src 'none'; img-src 'self'; style-src 'self' 'unsafe-inline'; sandbox";

std::string RandomToken() {
    unsigned char bytes[24];
    std::size_t got = 0;
    while (got < sizeof bytes) {
        const auto n = getrandom(bytes + got, sizeof bytes - got, 0);
        if (n > 0)
            got += static_cast<std::size_t>(n);
    }
    static constexpr char kHex[] = "0123456789abcdef";
    std::string token;
    for (unsigned char b : bytes) {
        token.push_back(kHex[b >> 4]);
        token.push_back(kHex[b & 15]);
    }
    return token;
}

class Server;

std::string_view View(beast::string_view s) {
    return {s.data(), s.size()};
}

// One accepted socket, as the server counts it: trusted once it showed the capability (or the
// launch token), and droppable to make room while it is not.
class Connection {
public:
    explicit Connection(Server& server);
    virtual ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    bool Trusted() const { return trusted_; }
    std::chrono::steady_clock::time_point LastUse() const { return lastUse_; }
    // Closes the socket at once, which frees its descriptor, and no longer counts it; the
    // session ends once its pending operations see the socket closed.
    void Drop();

protected:
    virtual void CloseSocket() = 0;
    void Used(bool trusted) {
        lastUse_ = std::chrono::steady_clock::now();
        trusted_ = trusted_ || trusted;
    }
    Server& server_;

private:
    std::list<Connection*>::iterator at_;
    bool counted_ = true;
    bool trusted_ = false;
    std::chrono::steady_clock::time_point lastUse_ = std::chrono::steady_clock::now();
};

class SocketSession : public Connection, public std::enable_shared_from_this<SocketSession> {
public:
    SocketSession(tcp::socket socket, Server& server)
        : Connection(server), ws_(std::move(socket)), releaseTimer_(ws_.get_executor()) {
        Used(true);
    }

    void Run(http::request<http::string_body> request);
    void Send(std::shared_ptr<const std::string> text);
    void Close(std::shared_ptr<const std::string> farewell);
    void Release(std::shared_ptr<const std::string> farewell);
    void CloseSocket() override {
        beast::error_code ec;
        beast::get_lowest_layer(ws_).socket().close(ec);
    }

private:
    void DoRead();
    void OnRead(beast::error_code ec, std::size_t);
    void DoWrite();
    void OnWrite(beast::error_code ec, std::size_t);

    websocket::stream<beast::tcp_stream> ws_;
    beast::flat_buffer buffer_;
    std::deque<std::shared_ptr<const std::string>> queue_;
    bool closeAfterQueue_ = false;
    bool released_ = false;
    asio::steady_timer releaseTimer_;
};

class HttpSession : public Connection, public std::enable_shared_from_this<HttpSession> {
public:
    HttpSession(tcp::socket socket, Server& server)
        : Connection(server), stream_(std::move(socket)) {}
    void Run() {
        // A file goes out as its header and pieces of its body; with Nagle's algorithm each
        // piece after the first waited for the browser's delayed acknowledgement (40 ms), which
        // held back every script of the shell larger than a piece.
        beast::error_code noDelayError;
        stream_.socket().set_option(tcp::no_delay(true), noDelayError);
        DoRead();
    }
    void CloseSocket() override {
        beast::error_code ec;
        stream_.socket().close(ec);
    }

private:
    void DoRead();
    void OnRead(beast::error_code ec, std::size_t);
    template <class Response>
    void Write(Response&& response);

    beast::tcp_stream stream_;
    beast::flat_buffer buffer_;
    std::optional<http::request_parser<http::string_body>> parser_;
};

class Server final : public BrowserServer {
public:
    Server(std::filesystem::path webDir, Handlers handlers)
        : handlers_(std::move(handlers)), acceptor_(io_), backOff_(io_) {
        identity_.launchToken = RandomToken();
        identity_.secret = RandomToken();
        launchUrl_ = "/?t=" + identity_.launchToken;
        identity_.webDir = std::filesystem::weakly_canonical(webDir);
    }

    // Stops listening, lets the page hear what was still queued for it (a goodbye) and closes
    // its socket; whatever has not finished within a short while is cut off.
    ~Server() override {
        if (!thread_.joinable())
            return;
        asio::post(io_, [this] {
            beast::error_code ec;
            acceptor_.close(ec);
            backOff_.cancel();
            if (active_)
                active_->Close(nullptr);
            active_.reset();
        });
        std::unique_lock lock(stoppedMutex_);
        stoppedChanged_.wait_for(lock, kShutdownGrace, [this] { return stopped_; });
        lock.unlock();
        io_.stop();
        thread_.join();
    }

    bool Listen(std::string& error) {
        beast::error_code ec;
        const tcp::endpoint endpoint(asio::ip::make_address("127.0.0.1"), 0);
        acceptor_.open(endpoint.protocol(), ec);
        if (!ec)
            acceptor_.bind(endpoint, ec);
        if (!ec)
            acceptor_.listen(asio::socket_base::max_listen_connections, ec);
        if (ec) {
            error = ec.message();
            return false;
        }
        identity_.port = acceptor_.local_endpoint().port();
        DoAccept();
        thread_ = std::thread([this] {
            // Nothing a page sends may end the program: a handler that throws loses its own
            // connection at most, and the loop goes on.
            for (;;) {
                try {
                    io_.run();
                    break;
                } catch (const std::exception& e) {
                    std::fprintf(stderr, "tavopix: the interface server went on after: %s\n",
                                 e.what());
                }
            }
            std::lock_guard lock(stoppedMutex_);
            stopped_ = true;
            stoppedChanged_.notify_all();
        });
        return true;
    }

    std::string Url() const override {
        return "http://127.0.0.1:" + std::to_string(identity_.port) + launchUrl_;
    }
    unsigned short Port() const override { return identity_.port; }

    void Send(std::string text) override {
        auto shared = std::make_shared<const std::string>(std::move(text));
        asio::post(io_, [this, shared] {
            if (active_)
                active_->Send(shared);
        });
    }

    bool IsConnected() const override { return connected_; }
    std::uint64_t PageNumber() const override { return pageNumber_; }

    void AllowFolder(const std::filesystem::path& folder) override {
        // A relative folder would be whatever the working folder happens to be, and the root
        // would be everything.
        if (!folder.is_absolute())
            return;
        std::error_code ec;
        auto canonical = std::filesystem::canonical(folder, ec);
        if (ec || canonical == canonical.root_path())
            return;
        std::lock_guard lock(identityMutex_);
        for (const auto& root : identity_.allowedRoots) {
            if (root == canonical)
                return;
        }
        identity_.allowedRoots.push_back(std::move(canonical));
    }

    void AllowFile(const std::string& path) override {
        std::lock_guard lock(identityMutex_);
        identity_.placedFiles.insert(path);
    }

    // Decides a request; the launch token is good for one page only.
    RequestDecision Decide(const RequestFacts& facts) {
        std::lock_guard lock(identityMutex_);
        RequestDecision decision = DecideRequest(facts, identity_);
        if (decision.answer == RequestAnswer::Launch)
            identity_.launchToken.clear();
        return decision;
    }

    std::string ShellAddress() {
        std::lock_guard lock(identityMutex_);
        return CapabilityPath(identity_);
    }

    // Network thread: connections come and go.
    std::list<Connection*>::iterator Register(Connection* connection) {
        return connections_.insert(connections_.end(), connection);
    }
    void Unregister(std::list<Connection*>::iterator at) { connections_.erase(at); }

    // Network thread: a socket finished its handshake and takes over.
    void Activate(const std::shared_ptr<SocketSession>& session) {
        if (active_)
            active_->Release(std::make_shared<const std::string>(EncodeTakeover()));
        replaced_ = active_;
        ++pageNumber_;
        active_ = session;
        connected_ = true;
        if (handlers_.connected)
            handlers_.connected();
    }

    void Received(const SocketSession* session, std::string text) {
        const bool heard = session == active_.get() || session == replaced_.lock().get();
        if (heard && handlers_.received)
            handlers_.received(std::move(text));
    }

    void Ended(const SocketSession* session) {
        if (session != active_.get())
            return;
        active_.reset();
        connected_ = false;
        if (handlers_.disconnected)
            handlers_.disconnected();
    }

    asio::io_context& Io() { return io_; }

private:
    void DoAccept() {
        acceptor_.async_accept(asio::make_strand(io_), [this](beast::error_code ec, tcp::socket s) {
            if (!acceptor_.is_open())
                return;
            if (ec == asio::error::no_descriptors || ec == asio::error::no_buffer_space ||
                ec == asio::error::no_memory || ec.value() == ENFILE) {
                // Out of descriptors: close strangers, hold fewer connections from now on so a
                // few descriptors stay spare for the files the others ask for, and wait a moment
                // before accepting again instead of trying at once, which would only spin.
                for (std::size_t i = 0; i <= kSpareDescriptors && DropIdleStranger(); ++i) {
                }
                connectionLimit_ = std::min(connectionLimit_, connections_.size() + 1);
                lastOutOfDescriptors_ = std::chrono::steady_clock::now();
                backOff_.expires_after(kAcceptBackOff);
                backOff_.async_wait([this](beast::error_code waitError) {
                    if (!waitError && acceptor_.is_open())
                        DoAccept();
                });
                return;
            }
            // Long after running out, the limit grows back a connection at a time.
            if (!ec && connectionLimit_ < kMaxConnections &&
                std::chrono::steady_clock::now() - lastOutOfDescriptors_ > kLimitRecovery) {
                ++connectionLimit_;
            }
            if (!ec && (connections_.size() < connectionLimit_ || DropIdleStranger()))
                std::make_shared<HttpSession>(std::move(s), *this)->Run();
            DoAccept();  // a connection over the limit closes as `s` goes
        });
    }

    // Closes the connection idle the longest of those that never showed the capability; false
    // when there is none.
    bool DropIdleStranger() {
        Connection* oldest = nullptr;
        for (Connection* connection : connections_) {
            if (!connection->Trusted() && (!oldest || connection->LastUse() < oldest->LastUse()))
                oldest = connection;
        }
        if (!oldest)
            return false;
        oldest->Drop();
        return true;
    }

    Handlers handlers_;
    std::size_t connectionLimit_ = kMaxConnections;  // lowered when descriptors run out
    std::chrono::steady_clock::time_point lastOutOfDescriptors_;
    std::list<Connection*> connections_;  // network thread; outlives the sessions io_ holds
    asio::io_context io_{1};
    tcp::acceptor acceptor_;
    asio::steady_timer backOff_;
    std::string launchUrl_;
    std::thread thread_;
    std::mutex identityMutex_;
    ServerIdentity identity_;
    std::shared_ptr<SocketSession> active_;  // network thread only
    // The page a reload replaced, still heard until its socket ends: what the user did just
    // before the reload may be unread behind a long backlog, and is theirs all the same.
    std::weak_ptr<SocketSession> replaced_;  // network thread only
    std::mutex stoppedMutex_;
    std::condition_variable stoppedChanged_;
    bool stopped_ = false;
    std::atomic<bool> connected_{false};
    std::atomic<std::uint64_t> pageNumber_{0};
};

Connection::Connection(Server& server) : server_(server), at_(server.Register(this)) {}

Connection::~Connection() {
    if (counted_)
        server_.Unregister(at_);
}

void Connection::Drop() {
    if (counted_)
        server_.Unregister(at_);
    counted_ = false;
    CloseSocket();
}

// ---- HTTP ---------------------------------------------------------------------------------------

void HttpSession::DoRead() {
    parser_.emplace();
    parser_->header_limit(kMaxRequestBytes);
    parser_->body_limit(kMaxRequestBytes);
    stream_.expires_after(kRequestTimeout);
    http::async_read(stream_, buffer_, *parser_,
                     beast::bind_front_handler(&HttpSession::OnRead, shared_from_this()));
}

template <class Response>
void HttpSession::Write(Response&& response) {
    auto shared = std::make_shared<std::decay_t<Response>>(std::forward<Response>(response));
    http::async_write(stream_, *shared,
                      [self = shared_from_this(), shared](beast::error_code ec, std::size_t) {
                          if (ec || shared->need_eof()) {
                              self->stream_.socket().shutdown(tcp::socket::shutdown_send, ec);
                              return;
                          }
                          self->DoRead();
                      });
}

void HttpSession::OnRead(beast::error_code ec, std::size_t) {
    if (ec)
        return;  // closed, timed out or over the limits: drop the connection
    auto request = parser_->release();
    const auto header = [&](http::field f) {
        auto it = request.find(f);
        return it == request.end() ? std::string_view{} : View(it->value());
    };
    const RequestFacts facts{
        View(request.method_string()), View(request.target()),         header(http::field::host),
        header(http::field::origin),   websocket::is_upgrade(request),
    };
    const RequestDecision decision = server_.Decide(facts);
    Used(decision.answer != RequestAnswer::Refused);
    const auto plain = [&](http::status status, std::string_view body) {
        http::response<http::string_body> res(status, request.version());
        res.set(http::field::content_type, "text/plain; charset=utf-8");
        res.set(http::field::cache_control, "no-store");
        res.set("Referrer-Policy", "no-referrer");
        res.keep_alive(request.keep_alive());
        res.body() = body;
        res.prepare_payload();
        Write(std::move(res));
    };
    switch (decision.answer) {
        case RequestAnswer::Refused:
            return plain(http::status::forbidden, "forbidden\n");
        case RequestAnswer::NotFound:
            return plain(http::status::not_found, "not found\n");
        case RequestAnswer::BadMethod:
            return plain(http::status::method_not_allowed, "method not allowed\n");
        case RequestAnswer::Launch: {
            http::response<http::string_body> res(http::status::see_other, request.version());
            res.set(http::field::location, server_.ShellAddress());
            res.set(http::field::cache_control, "no-store");
            res.set("Referrer-Policy", "no-referrer");
            res.keep_alive(request.keep_alive());
            res.prepare_payload();
            return Write(std::move(res));
        }
        case RequestAnswer::WebSocket: {
            stream_.expires_never();
            std::make_shared<SocketSession>(stream_.release_socket(), server_)
                ->Run(std::move(request));
            return;
        }
        case RequestAnswer::ShellPage:
        case RequestAnswer::WebFile:
        case RequestAnswer::File:
            break;
    }
    http::file_body::value_type body;
    beast::error_code openError;
    body.open(decision.file.c_str(), beast::file_mode::scan, openError);
    if (openError)
        return plain(http::status::not_found, "not found\n");
    const auto size = body.size();
    http::response<http::file_body> res(std::piecewise_construct, std::make_tuple(std::move(body)),
                                        std::make_tuple(http::status::ok, request.version()));
    res.set(http::field::content_type, std::string(ContentTypeFor(decision.file)));
    res.set("X-Content-Type-Options", "nosniff");
    res.set("Referrer-Policy", "no-referrer");
    if (decision.answer == RequestAnswer::File) {
        res.set("Content-Security-Policy", std::string(kFilePolicy));
        res.set(http::field::cache_control, "private, max-age=60");
    } else {
        res.set("Content-Security-Policy", std::string(kShellPolicy));
        res.set(http::field::cache_control, "no-store");
    }
    res.content_length(size);
    res.keep_alive(request.keep_alive());
    Write(std::move(res));
}

// ---- WebSocket ----------------------------------------------------------------------------------

void SocketSession::Run(http::request<http::string_body> request) {
    ws_.set_option(websocket::stream_base::timeout::suggested(beast::role_type::server));
    ws_.read_message_max(kMaxFrameBytes);
    // A page's first state is one message of megabytes, and the geometry questions that follow
    // it are small ones the UI thread waits on: each goes out whole and at once.
    ws_.auto_fragment(false);
    beast::error_code noDelayError;
    beast::get_lowest_layer(ws_).socket().set_option(tcp::no_delay(true), noDelayError);
    ws_.async_accept(request, [self = shared_from_this()](beast::error_code ec) {
        if (ec)
            return;
        self->server_.Activate(self);
        self->DoRead();
    });
}

void SocketSession::DoRead() {
    ws_.async_read(buffer_, beast::bind_front_handler(&SocketSession::OnRead, shared_from_this()));
}

void SocketSession::OnRead(beast::error_code ec, std::size_t) {
    if (ec) {
        releaseTimer_.cancel();
        server_.Ended(this);
        return;
    }
    if (ws_.got_text())
        server_.Received(this, beast::buffers_to_string(buffer_.data()));
    buffer_.consume(buffer_.size());
    DoRead();
}

void SocketSession::Send(std::shared_ptr<const std::string> text) {
    if (closeAfterQueue_ || released_)
        return;
    if (queue_.size() >= kMaxQueuedFrames) {
        // The page is too far behind to catch up, and a frame left out would leave its copy of
        // a page out of step for good: it is cut off instead, and the page it connects again
        // gets the whole state afresh.
        closeAfterQueue_ = true;
        server_.Ended(this);
        CloseSocket();
        return;
    }
    queue_.push_back(std::move(text));
    if (queue_.size() == 1)
        DoWrite();
}

void SocketSession::Close(std::shared_ptr<const std::string> farewell) {
    if (farewell)
        Send(std::move(farewell));
    closeAfterQueue_ = true;
    if (queue_.empty()) {
        ws_.async_close(websocket::close_code::going_away,
                        [self = shared_from_this()](beast::error_code) {});
    }
}

// Another page took over: this one gets `farewell` and nothing after it, but is still heard
// until it ends the socket itself, since what its user did just before may still be on the
// way. A close handshake of ours would drop those messages unread (the stream discards what
// arrives after its close frame); a page that never ends the socket is cut after a while.
void SocketSession::Release(std::shared_ptr<const std::string> farewell) {
    Send(std::move(farewell));
    released_ = true;
    releaseTimer_.expires_after(kReleaseGrace);
    releaseTimer_.async_wait([self = shared_from_this()](beast::error_code ec) {
        if (!ec)
            self->CloseSocket();
    });
}

void SocketSession::DoWrite() {
    ws_.text(true);
    ws_.async_write(asio::buffer(*queue_.front()),
                    beast::bind_front_handler(&SocketSession::OnWrite, shared_from_this()));
}

void SocketSession::OnWrite(beast::error_code ec, std::size_t) {
    if (ec) {
        server_.Ended(this);
        return;
    }
    queue_.pop_front();
    if (!queue_.empty()) {
        DoWrite();
    } else if (closeAfterQueue_) {
        ws_.async_close(websocket::close_code::going_away,
                        [self = shared_from_this()](beast::error_code) {});
    }
}

}  // namespace

std::unique_ptr<BrowserServer> BrowserServer::Start(std::filesystem::path webDir, Handlers handlers,
                                                    std::string& error) {
    auto server = std::make_unique<Server>(std::move(webDir), std::move(handlers));
    if (!server->Listen(error))
        return nullptr;
    return server;
}

}  // namespace tavopix
