// A slow line for the upload tests: a TCP relay on 127.0.0.1 that forwards every connection to
// a server on another loopback port, passing what the client sends at a fixed rate, so a picture
// is still on its way long enough for a test to act in the middle of the transfer. Replies pass
// at full speed. When either side closes, the relay closes the other.
#pragma once

#include <cstddef>
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

private:
    void Run();

    int serverPort_;
    std::size_t bytesPerSecond_;
    int listenFd_ = -1;
    int stopFds_[2] = {-1, -1};
    int port_ = 0;
    std::thread thread_;
};

// The port of a "http://127.0.0.1:PORT/" address.
int PortOf(const std::string& baseAddress);

}  // namespace tavopix::test
