#include "HttpServer.h"

#include <array>
#include <atomic>
#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <filesystem>
#include <limits>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace albumd {

namespace beast = boost::beast;
namespace http = beast::http;
namespace net = boost::asio;
using tcp = net::ip::tcp;

namespace {

constexpr std::uint32_t kHeaderLimit = 16 * 1024;
constexpr std::chrono::seconds kLinger{2};

class HttpSession;

struct Shared {
    Shared(Service& s, ServerOptions o) : service(s), options(std::move(o)) {}

    Service& service;
    ServerOptions options;
    std::atomic<int> connections{0};
    // Connections waiting on their client, under waitingMutex: those idle or sending a header,
    // longest waiting first, and those receiving a body, the one that received nothing for the
    // longest first. A new connection takes the place of an idle one before any body's.
    std::mutex waitingMutex;
    std::list<std::weak_ptr<HttpSession>> idle;
    std::list<std::weak_ptr<HttpSession>> receiving;
};

class HttpSession : public std::enable_shared_from_this<HttpSession> {
public:
    HttpSession(tcp::socket&& socket, Shared& shared, bool overloaded)
        : stream_(std::move(socket)), shared_(shared), overloaded_(overloaded) {
        if (!overloaded_)
            ++shared_.connections;
    }
    ~HttpSession() {
        StopWaiting();
        DiscardUpload();
        if (!overloaded_)
            --shared_.connections;
    }

    void Run() {
        if (!overloaded_)
            StartWaiting();
        net::dispatch(stream_.get_executor(),
                      beast::bind_front_handler(&HttpSession::Start, shared_from_this()));
    }

    // Closes the connection when it is still waiting on its client, to make room for a new one.
    void Evict() {
        net::dispatch(stream_.get_executor(), [self = shared_from_this()] {
            if (!self->handling_) {
                self->DiscardUpload();
                self->stream_.close();
            }
        });
    }

    // The connection to make room with, taken off its list: the idle one that has waited
    // longest, else the body that has stalled longest; nullptr when none. Entries of connections
    // being destroyed are left for their destructor to remove.
    static std::shared_ptr<HttpSession> TakeLongestWaiting(Shared& shared) {
        std::lock_guard lock(shared.waitingMutex);
        for (auto* list : {&shared.idle, &shared.receiving}) {
            for (auto it = list->begin(); it != list->end(); ++it) {
                if (std::shared_ptr<HttpSession> session = it->lock()) {
                    list->erase(it);
                    session->waitingList_ = nullptr;
                    return session;
                }
            }
        }
        return nullptr;
    }

private:
    // From accepting, and from the end of each reply, until a request is complete, the connection
    // waits on its client and may be evicted: first on the idle list, then, once its header is
    // read, on the receiving list, where each piece of body that arrives moves it to the end.
    void StartWaiting() { Enlist(shared_.idle, false); }
    void StillReceiving() { Enlist(shared_.receiving, true); }
    void Enlist(std::list<std::weak_ptr<HttpSession>>& list, bool moveToEnd) {
        std::lock_guard lock(shared_.waitingMutex);
        if (waitingList_ == &list && !moveToEnd)
            return;
        if (waitingList_)
            waitingList_->erase(waitingEntry_);
        waitingList_ = &list;
        waitingEntry_ = list.insert(list.end(), weak_from_this());
    }
    void StopWaiting() {
        std::lock_guard lock(shared_.waitingMutex);
        if (waitingList_) {
            waitingList_->erase(waitingEntry_);
            waitingList_ = nullptr;
        }
    }

    void Start() {
        beast::error_code ec;
        auto endpoint = stream_.socket().remote_endpoint(ec);
        if (!ec)
            peer_ = endpoint.address().to_string();
        if (overloaded_) {
            HttpResponse busy = TextResponse(503, "Service Unavailable");
            busy.closeConnection = true;
            busy.headers.emplace_back("Retry-After", "1");
            Respond(std::move(busy));
            return;
        }
        DoReadHeader();
    }

    void DoReadHeader() {
        handling_ = false;
        StartWaiting();
        headParser_.emplace();
        headParser_->header_limit(kHeaderLimit);
        // The body's limit is decided by the Service once it has seen the header.
        headParser_->body_limit(std::numeric_limits<std::uint64_t>::max());
        stringParser_.reset();
        fileParser_.reset();
        request_ = HttpRequest{};
        stream_.expires_after(shared_.options.readTimeout);
        http::async_read_header(
            stream_, buffer_, *headParser_,
            beast::bind_front_handler(&HttpSession::OnReadHeader, shared_from_this()));
    }

    void OnReadHeader(beast::error_code ec, std::size_t) {
        if (ec == http::error::end_of_stream)
            return DoClose();
        if (ec) {
            // A malformed or oversized header gets an answer; the connection ends after it.
            if (ec.category() == http::make_error_code(http::error::bad_target).category()) {
                HttpResponse bad = TextResponse(400, "Bad Request");
                bad.closeConnection = true;
                return Respond(std::move(bad));
            }
            return;  // time-out or reset: the socket closes with the session
        }
        const auto& head = headParser_->get();
        request_.method = std::string(head.method_string());
        request_.target = std::string(head.target());
        request_.peerAddress = peer_;
        for (const auto& field : head) {
            std::string name(field.name_string());
            for (char& c : name)
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            request_.headers.emplace_back(std::move(name), std::string(field.value()));
        }
        // Its header read, the connection is a body's: no longer the first to make room.
        StillReceiving();
        keepAlive_ = head.keep_alive();
        expectContinue_ = beast::iequals(head[http::field::expect], "100-continue");
        isHead_ = head.method() == http::verb::head;

        BodyPlan plan = shared_.service.PlanBody(request_);
        // The parser checks a length against its limit only while reading the header, when the
        // limit was not known yet: a declared body over the plan's limit is refused here, before
        // any of it is read or room is made for it.
        if (plan.kind != BodyPlan::Kind::Reject && headParser_->content_length() &&
            *headParser_->content_length() > plan.limit) {
            HttpResponse tooLarge = TextResponse(413, "Payload Too Large");
            tooLarge.closeConnection = true;
            return Respond(std::move(tooLarge));
        }
        // The body has a deadline of its own besides the stall time-out, so a client sending a
        // byte now and then cannot hold the connection for as long as it likes.
        bodyDeadline_ = std::chrono::steady_clock::now() + shared_.options.readTimeout +
                        std::chrono::seconds(
                            plan.limit / std::max<std::uint64_t>(shared_.options.minBodyRate, 1));
        switch (plan.kind) {
            case BodyPlan::Kind::Reject:
                return Respond(std::move(plan.rejection));
            case BodyPlan::Kind::InMemory:
                stringParser_.emplace(std::move(*headParser_));
                stringParser_->body_limit(plan.limit);
                if (stringParser_->is_done())
                    return Dispatch();
                return AfterContinue(
                    [self = shared_from_this()] { self->ReadBody(*self->stringParser_); });
            case BodyPlan::Kind::ToFile: {
                fileParser_.emplace(std::move(*headParser_));
                fileParser_->body_limit(plan.limit);
                uploadPath_ = plan.filePath;
                appendUpload_ = plan.append;
                bodyHold_ = std::move(plan.hold);
                beast::error_code openError;
                fileParser_->get().body().open(
                    uploadPath_.c_str(),
                    appendUpload_ ? beast::file_mode::append_existing : beast::file_mode::write_new,
                    openError);
                if (appendUpload_ && !openError) {
                    // Not every Beast opens an appended file at its end.
                    auto& file = fileParser_->get().body().file();
                    const std::uint64_t end = file.size(openError);
                    if (!openError)
                        file.seek(end, openError);
                }
                if (openError) {
                    uploadPath_.clear();
                    HttpResponse fault = TextResponse(500, "Internal Server Error");
                    fault.closeConnection = true;
                    return Respond(std::move(fault));
                }
                return AfterContinue(
                    [self = shared_from_this()] { self->ReadBody(*self->fileParser_); });
            }
        }
    }

    // Sends "100 Continue" first when the client waits for it before sending its body.
    template <class Next>
    void AfterContinue(Next next) {
        if (!expectContinue_)
            return next();
        auto interim =
            std::make_shared<http::response<http::empty_body>>(http::status::continue_, 11);
        stream_.expires_after(shared_.options.readTimeout);
        http::async_write(
            stream_, *interim,
            [self = shared_from_this(), interim, next](beast::error_code ec, std::size_t) {
                if (ec)
                    return;
                next();
            });
    }

    // Reads the body piece by piece: each piece within the stall time-out, the whole by its
    // deadline.
    template <class Parser>
    void ReadBody(Parser& parser) {
        StillReceiving();
        stream_.expires_at(std::min(std::chrono::steady_clock::now() + shared_.options.readTimeout,
                                    bodyDeadline_));
        http::async_read_some(
            stream_, buffer_, parser,
            [self = shared_from_this(), &parser](beast::error_code ec, std::size_t) {
                self->OnReadBody(parser, ec);
            });
    }

    template <class Parser>
    void OnReadBody(Parser& parser, beast::error_code ec) {
        if (ec == http::error::body_limit) {
            DiscardUpload();
            HttpResponse tooLarge = TextResponse(413, "Payload Too Large");
            tooLarge.closeConnection = true;
            return Respond(std::move(tooLarge));
        }
        if (ec) {
            DiscardUpload();
            return;
        }
        if (!parser.is_done())
            return ReadBody(parser);
        Dispatch();
    }

    void Dispatch() {
        handling_ = true;
        StopWaiting();
        if (stringParser_) {
            request_.body = std::move(stringParser_->get().body());
        } else if (fileParser_) {
            beast::error_code ec;
            fileParser_->get().body().file().close(ec);
            request_.bodyFile = uploadPath_;
            uploadPath_.clear();  // the Service owns the file from here on
        }
        HttpResponse response = shared_.service.Handle(request_);
        // Released before the answer can reach the client, whose next request may come on
        // another connection at once.
        bodyHold_.reset();
        Respond(std::move(response));
    }

    template <class Message>
    void Send(std::shared_ptr<Message> message, bool close) {
        stream_.expires_after(shared_.options.writeTimeout);
        http::async_write(stream_, *message,
                          [self = shared_from_this(), message, close](
                              beast::error_code ec, std::size_t) { self->OnWrite(close, ec); });
    }

    template <class Message>
    void FillHeader(Message& message, const HttpResponse& response, bool close) {
        message.result(static_cast<unsigned>(response.status));
        message.version(11);
        message.set(http::field::server, "albumd");
        if (!response.contentType.empty()) {
            message.set(http::field::content_type, response.contentType);
        }
        for (const auto& [name, value] : response.headers)
            message.insert(name, value);
        message.keep_alive(!close);
    }

    void Respond(HttpResponse response) {
        handling_ = true;
        StopWaiting();
        bool close = response.closeConnection || !keepAlive_;
        std::optional<http::file_body::value_type> file;
        if (!response.filePath.empty()) {
            beast::error_code ec;
            file.emplace();
            file->open(response.filePath.c_str(), beast::file_mode::scan, ec);
            if (ec) {
                file.reset();
                response = TextResponse(404, "Not Found");
            }
        }
        if (isHead_) {
            auto message = std::make_shared<http::response<http::empty_body>>();
            FillHeader(*message, response, close);
            message->content_length(file ? file->size() : response.body.size());
            return Send(std::move(message), close);
        }
        if (file) {
            auto message = std::make_shared<http::response<http::file_body>>();
            FillHeader(*message, response, close);
            message->body() = std::move(*file);
            message->prepare_payload();
            return Send(std::move(message), close);
        }
        auto message = std::make_shared<http::response<http::string_body>>();
        FillHeader(*message, response, close);
        message->body() = std::move(response.body);
        message->prepare_payload();
        Send(std::move(message), close);
    }

    void OnWrite(bool close, beast::error_code ec) {
        if (ec)
            return;
        if (close)
            return DoClose();
        DoReadHeader();
    }

    // Ends the connection after the reply. What the client still sends (the body of a request
    // refused from its header) is read and dropped for a moment, so closing with unread data
    // does not reset the connection before the client has read the reply.
    void DoClose() {
        beast::error_code ec;
        stream_.socket().shutdown(tcp::socket::shutdown_send, ec);
        if (ec)
            return;
        lingerUntil_ = std::chrono::steady_clock::now() + kLinger;
        // Draining only waits on the client: the place may go to a new connection.
        handling_ = false;
        StartWaiting();
        Drain();
    }

    void Drain() {
        auto left = lingerUntil_ - std::chrono::steady_clock::now();
        if (left <= std::chrono::steady_clock::duration::zero())
            return;
        stream_.expires_after(left);
        stream_.async_read_some(net::buffer(drain_),
                                [self = shared_from_this()](beast::error_code ec, std::size_t) {
                                    if (!ec)
                                        self->Drain();
                                });
    }

    void DiscardUpload() {
        if (uploadPath_.empty())
            return;
        if (fileParser_) {
            beast::error_code ec;
            fileParser_->get().body().file().close(ec);
        }
        // An appended body keeps what arrived: a resumable upload goes on from there.
        if (!appendUpload_) {
            std::error_code ec;
            std::filesystem::remove(uploadPath_, ec);
        }
        uploadPath_.clear();
        bodyHold_.reset();
    }

    beast::tcp_stream stream_;
    beast::flat_buffer buffer_;
    Shared& shared_;
    const bool overloaded_;
    std::string peer_;
    std::optional<http::request_parser<http::empty_body>> headParser_;
    std::optional<http::request_parser<http::string_body>> stringParser_;
    std::optional<http::request_parser<http::file_body>> fileParser_;
    HttpRequest request_;
    std::string uploadPath_;          // a streamed body not yet handed to the Service
    bool appendUpload_ = false;       // uploadPath_ is appended to and kept when the body breaks
    std::shared_ptr<void> bodyHold_;  // the body plan's hold, until the request ends
    bool keepAlive_ = false;
    bool expectContinue_ = false;
    bool isHead_ = false;
    bool handling_ = false;  // a complete request is being answered: not to be evicted
    // The list the connection waits on (nullptr: none) and its entry there; under waitingMutex.
    std::list<std::weak_ptr<HttpSession>>* waitingList_ = nullptr;
    std::list<std::weak_ptr<HttpSession>>::iterator waitingEntry_;
    std::chrono::steady_clock::time_point bodyDeadline_;
    std::chrono::steady_clock::time_point lingerUntil_;
    std::array<char, 16 * 1024> drain_;
};

class Listener : public std::enable_shared_from_this<Listener> {
public:
    Listener(net::io_context& ioc, Shared& shared)
        : ioc_(ioc), acceptor_(ioc), retry_(ioc), shared_(shared) {}

    bool Listen(const tcp::endpoint& endpoint, std::string& error) {
        beast::error_code ec;
        acceptor_.open(endpoint.protocol(), ec);
        if (!ec)
            acceptor_.set_option(net::socket_base::reuse_address(true), ec);
        if (!ec)
            acceptor_.bind(endpoint, ec);
        if (!ec)
            acceptor_.listen(net::socket_base::max_listen_connections, ec);
        if (ec)
            error = "cannot listen on " + endpoint.address().to_string() + ":" +
                    std::to_string(endpoint.port()) + ": " + ec.message();
        return !ec;
    }

    unsigned short Port() const { return acceptor_.local_endpoint().port(); }

    void DoAccept() {
        acceptor_.async_accept(net::make_strand(ioc_),
                               beast::bind_front_handler(&Listener::OnAccept, shared_from_this()));
    }

    void Stop() {
        beast::error_code ec;
        acceptor_.close(ec);
    }

private:
    void OnAccept(beast::error_code ec, tcp::socket socket) {
        if (ec == net::error::operation_aborted)
            return;
        if (ec) {
            // Out of descriptors and the like: pause briefly instead of spinning.
            retry_.expires_after(std::chrono::milliseconds(50));
            retry_.async_wait([self = shared_from_this()](beast::error_code) { self->DoAccept(); });
            return;
        }
        bool overloaded = shared_.connections.load() >= shared_.options.maxConnections;
        if (overloaded) {
            if (auto idlest = HttpSession::TakeLongestWaiting(shared_)) {
                idlest->Evict();
                overloaded = false;
            }
        }
        std::make_shared<HttpSession>(std::move(socket), shared_, overloaded)->Run();
        DoAccept();
    }

    net::io_context& ioc_;
    tcp::acceptor acceptor_;
    net::steady_timer retry_;
    Shared& shared_;
};

}  // namespace

bool RunServer(Service& service, const ServerOptions& options,
               const std::function<void(unsigned short)>& onListening, std::string& error) {
    beast::error_code ec;
    auto address = net::ip::make_address(options.address, ec);
    if (ec) {
        error = "bad listen address " + options.address;
        return false;
    }
    int threads = std::max(1, options.threads);
    // Declared before the io_context: sessions still queued when it is destroyed count down
    // their connection in it.
    Shared shared(service, options);
    net::io_context ioc(threads);
    auto listener = std::make_shared<Listener>(ioc, shared);
    if (!listener->Listen(tcp::endpoint(address, options.port), error))
        return false;
    service.SetListenAddress(options.address + ":" + std::to_string(listener->Port()));
    listener->DoAccept();

    net::signal_set signals(ioc, SIGINT, SIGTERM);
    signals.async_wait([&](beast::error_code, int) {
        listener->Stop();
        ioc.stop();
    });
    onListening(listener->Port());

    std::vector<std::thread> workers;
    for (int i = 1; i < threads; ++i)
        workers.emplace_back([&ioc] { ioc.run(); });
    ioc.run();
    for (auto& worker : workers)
        worker.join();
    return true;
}

}  // namespace albumd
