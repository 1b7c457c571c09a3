#include "support/RawHttp.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace tavopix::test {

std::string RawReply::Header(const std::string& name) const {
    std::string lower = head;
    for (char& ch : lower)
        ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    std::string key = "\r\n" + name + ":";
    for (char& ch : key)
        ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    std::size_t at = lower.find(key);
    if (at == std::string::npos)
        return {};
    std::size_t start = head.find_first_not_of(' ', at + key.size());
    return head.substr(start, head.find("\r\n", start) - start);
}

RawConnection::RawConnection(unsigned short port) {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    timeval timeout{10, 0};
    setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd_);
        fd_ = -1;
    }
}

RawConnection::~RawConnection() {
    if (fd_ >= 0)
        close(fd_);
}

bool RawConnection::Send(const std::string& bytes) {
    std::size_t sent = 0;
    while (fd_ >= 0 && sent < bytes.size()) {
        ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += static_cast<std::size_t>(n);
    }
    return fd_ >= 0;
}

RawReply RawConnection::Read() {
    RawReply reply;
    auto fill = [&] {
        char buffer[65536];
        ssize_t n = fd_ >= 0 ? recv(fd_, buffer, sizeof buffer, 0) : -1;
        if (n <= 0)
            return false;
        pending_.append(buffer, static_cast<std::size_t>(n));
        return true;
    };
    std::size_t end;
    while ((end = pending_.find("\r\n\r\n")) == std::string::npos) {
        if (!fill())
            return reply;
    }
    reply.head = pending_.substr(0, end + 2);
    pending_.erase(0, end + 4);
    if (reply.head.size() > 12)
        reply.status = std::atoi(reply.head.c_str() + 9);
    std::string length = reply.Header("Content-Length");
    std::size_t want = length.empty() ? 0 : std::stoul(length);
    while (pending_.size() < want) {
        if (!fill())
            break;
    }
    reply.body = pending_.substr(0, want);
    pending_.erase(0, std::min(want, pending_.size()));
    return reply;
}

RawReply Exchange(unsigned short port, const std::string& request) {
    RawConnection connection(port);
    if (!connection.Send(request))
        return {};
    return connection.Read();
}

std::string Request(const std::string& method, const std::string& target, const std::string& body,
                    const std::string& extraHeaders) {
    // A JSON text is declared as one, as albumd's API requires, unless the caller says otherwise.
    const bool json = !body.empty() && body.front() == '{' &&
                      extraHeaders.find("Content-Type:") == std::string::npos;
    return method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n" +
           "Content-Length: " + std::to_string(body.size()) + "\r\n" +
           (json ? "Content-Type: application/json\r\n" : "") + extraHeaders + "\r\n" + body;
}

}  // namespace tavopix::test
