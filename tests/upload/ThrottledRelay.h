// A slow line for the upload tests: a TCP relay on 127.0.0.1 that forwards every connection to
// a server on another loopback port, passing what the client sends at a fixed rate, so a picture
// is still on its way long enough for a test to act in the middle of the transfer. Replies pass
// at full speed. When either side closes, the relay closes the other.
//
// It counts the bytes it hands to the server, can be pointed at a server that came back on
// another port, and can break every connection each time a given number of bytes has passed
// (a link that keeps dropping).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <thread>

namespace tavopix::test {

class ThrottledRelay {
public:
    // Forwards to http://127.0.0.1:`serverPort`, at most `bytesPerSecond` from the client.
    ThrottledRelay(int serverPort, std::size_t bytesPerSecond);
    ~ThrottledRelay();
    ThrottledRelay(const ThrottledRelay&) = delete;
    ThrottledRelay& operator=(const ThrottledRelay&) = delete;

    // "http://127.0.0.1:PORT/"
    std::string BaseAddress() const;

    // New connections go to `serverPort` from now on.
    void RetargetTo(int serverPort) { serverPort_ = serverPort; }
    // Every connection is broken each time another `bytes` have passed to the server (0: never).
    void DropEvery(std::uint64_t bytes) { dropEvery_ = bytes; }
    // What the server was handed, in all.
    std::uint64_t BytesToServer() const { return toServer_; }

private:
    void Run();

    std::atomic<int> serverPort_;
    std::size_t bytesPerSecond_;
    std::atomic<std::uint64_t> dropEvery_{0};
    std::atomic<std::uint64_t> toServer_{0};
    int listenFd_ = -1;
    int stopFds_[2] = {-1, -1};
    int port_ = 0;
    std::thread thread_;
};

// The port of a "http://127.0.0.1:PORT/" address.
int PortOf(const std::string& baseAddress);

}  // namespace tavopix::test
