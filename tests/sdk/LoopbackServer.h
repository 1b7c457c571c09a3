// A tiny TCP server on 127.0.0.1 for what albumd will not do: answer nothing at all (it accepts
// connections and never reads or writes), or answer every request with fixed bytes (for
// example a download whose file name is hostile).
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tavopix::test {

class LoopbackServer {
public:
    // Never answers.
    LoopbackServer();
    // Answers each request, once its header has arrived, with `reply` and closes.
    explicit LoopbackServer(std::string reply);
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    // "http://127.0.0.1:PORT/"
    std::string BaseAddress() const;
    // How many connections it has accepted so far.
    int Connections() const { return accepted_.load(); }
    // How many of the connections it holds without answering the client has closed: the SDK
    // lets go of a request's connection only once the request is dropped, so after that no
    // time-out or answer can bring it back.
    int ClosedByClient() const { return closedByClient_.load(); }

private:
    LoopbackServer(bool answers, std::string reply);
    void Run();

    bool answers_ = false;
    std::string reply_;
    int listenFd_ = -1;
    int stopFds_[2] = {-1, -1};
    int port_ = 0;
    std::vector<int> connections_;  // server thread only
    std::atomic<int> accepted_{0};
    std::atomic<int> closedByClient_{0};
    std::thread thread_;
};

}  // namespace tavopix::test
