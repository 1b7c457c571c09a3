#include "sdk/LoopbackServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace tavopix::test {

LoopbackServer::LoopbackServer() : LoopbackServer(false, std::string()) {}

LoopbackServer::LoopbackServer(std::string reply) : LoopbackServer(true, std::move(reply)) {}

LoopbackServer::LoopbackServer(bool answers, std::string reply)
    : answers_(answers), reply_(std::move(reply)) {
    listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listenFd_ < 0 || bind(listenFd_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        listen(listenFd_, 16) != 0 ||
        getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        pipe2(stopFds_, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "loopback server could not listen";
        return;
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Run(); });
}

LoopbackServer::~LoopbackServer() {
    if (thread_.joinable()) {
        (void)!write(stopFds_[1], "x", 1);
        thread_.join();
    }
    for (int fd : {listenFd_, stopFds_[0], stopFds_[1]}) {
        if (fd >= 0) {
            close(fd);
        }
    }
}

std::string LoopbackServer::BaseAddress() const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/";
}

void LoopbackServer::Run() {
    for (;;) {
        // The held connections are watched for the client's close alone; their requests stay
        // unread, so an upload's body fills the socket and stalls.
        std::vector<pollfd> ready = {{listenFd_, POLLIN, 0}, {stopFds_[0], POLLIN, 0}};
        for (int held : connections_) {
            ready.push_back({held, POLLRDHUP, 0});
        }
        if (poll(ready.data(), ready.size(), -1) < 0 || (ready[1].revents & POLLIN)) {
            break;
        }
        for (std::size_t i = 2; i < ready.size(); ++i) {
            if (ready[i].revents & (POLLRDHUP | POLLHUP | POLLERR)) {
                close(ready[i].fd);
                std::erase(connections_, ready[i].fd);
                ++closedByClient_;
            }
        }
        if (!(ready[0].revents & POLLIN)) {
            continue;
        }
        int connection = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0) {
            continue;
        }
        ++accepted_;
        if (!answers_) {
            connections_.push_back(connection);  // held open, never read
            continue;
        }
        std::string request;
        char chunk[4096];
        while (request.find("\r\n\r\n") == std::string::npos) {
            ssize_t got = read(connection, chunk, sizeof chunk);
            if (got <= 0) {
                break;
            }
            request.append(chunk, static_cast<std::size_t>(got));
        }
        (void)!write(connection, reply_.data(), reply_.size());
        close(connection);
    }
    for (int fd : connections_) {
        close(fd);
    }
}

}  // namespace tavopix::test
