#include "ThrottledRelay.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <vector>

namespace tavopix::test {
namespace {

constexpr int kTickMs = 10;

int Connect(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

struct Pair {
    int client = -1;
    int server = -1;
};

// Moves at most `budget` bytes from `from` to `to`, adding them to `moved`; false when either
// side has closed.
bool Pass(int from, int to, std::size_t budget, std::uint64_t& moved) {
    char buffer[65536];
    while (budget > 0) {
        const std::size_t want = budget < sizeof buffer ? budget : sizeof buffer;
        const ssize_t got = recv(from, buffer, want, MSG_DONTWAIT);
        if (got == 0)
            return false;
        if (got < 0)
            return errno == EAGAIN || errno == EWOULDBLOCK;
        for (ssize_t sent = 0; sent < got;) {
            const ssize_t put =
                send(to, buffer + sent, static_cast<std::size_t>(got - sent), MSG_NOSIGNAL);
            if (put <= 0)
                return false;
            sent += put;
        }
        moved += static_cast<std::uint64_t>(got);
        budget -= static_cast<std::size_t>(got);
    }
    return true;
}

}  // namespace

int PortOf(const std::string& baseAddress) {
    const std::size_t colon = baseAddress.rfind(':');
    return std::stoi(baseAddress.substr(colon + 1));
}

ThrottledRelay::ThrottledRelay(int serverPort, std::size_t bytesPerSecond)
    : serverPort_(serverPort), bytesPerSecond_(bytesPerSecond) {
    listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listenFd_, 16) != 0 ||
        getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        pipe2(stopFds_, O_CLOEXEC) != 0) {
        return;
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread(&ThrottledRelay::Run, this);
}

ThrottledRelay::~ThrottledRelay() {
    if (thread_.joinable()) {
        (void)!write(stopFds_[1], "x", 1);
        thread_.join();
    }
    for (int fd : {listenFd_, stopFds_[0], stopFds_[1]}) {
        if (fd >= 0)
            close(fd);
    }
}

std::string ThrottledRelay::BaseAddress() const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/";
}

void ThrottledRelay::Run() {
    std::vector<Pair> pairs;
    const std::size_t perTick = bytesPerSecond_ * kTickMs / 1000;
    std::uint64_t sinceDrop = 0;
    for (;;) {
        std::vector<pollfd> fds = {{stopFds_[0], POLLIN, 0}, {listenFd_, POLLIN, 0}};
        for (const Pair& pair : pairs) {
            fds.push_back({pair.client, POLLIN, 0});
            fds.push_back({pair.server, POLLIN, 0});
        }
        poll(fds.data(), fds.size(), kTickMs);
        if (fds[0].revents != 0)
            break;
        if (fds[1].revents & POLLIN) {
            const int client = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
            const int server = client >= 0 ? Connect(serverPort_) : -1;
            if (server >= 0) {
                pairs.push_back({client, server});
            } else if (client >= 0) {
                close(client);
            }
        }
        for (std::size_t i = 0; i < pairs.size();) {
            Pair& pair = pairs[i];
            std::uint64_t replied = 0;
            std::uint64_t forwarded = 0;
            const bool open = Pass(pair.server, pair.client, SIZE_MAX, replied) &&
                              Pass(pair.client, pair.server, perTick, forwarded);
            toServer_ += forwarded;
            sinceDrop += forwarded;
            if (open) {
                ++i;
                continue;
            }
            close(pair.client);
            close(pair.server);
            pairs.erase(pairs.begin() + static_cast<std::ptrdiff_t>(i));
        }
        if (const std::uint64_t every = dropEvery_; every != 0 && sinceDrop >= every) {
            sinceDrop = 0;
            for (const Pair& pair : pairs) {
                close(pair.client);
                close(pair.server);
            }
            pairs.clear();
        }
        // The budget is per tick: a client that sends at once still waits for the next one.
        std::this_thread::sleep_for(std::chrono::milliseconds(kTickMs));
    }
    for (const Pair& pair : pairs) {
        close(pair.client);
        close(pair.server);
    }
}

}  // namespace tavopix::test
