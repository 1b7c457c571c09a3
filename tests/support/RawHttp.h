// A raw HTTP/1.1 exchange over a plain loopback socket, so that what goes over the wire
// (interim replies, early refusals, half-sent bodies) is exactly what the caller writes: the
// server's loopback tests and the load benchmark speak to albumd with it.
#pragma once

#include <string>

namespace tavopix::test {

struct RawReply {
    int status = 0;
    std::string head;  // status line and header fields
    std::string body;
    [[nodiscard]] std::string Header(const std::string& name) const;
};

// An open connection to 127.0.0.1:port with 10-second send and receive time-outs.
class RawConnection {
public:
    explicit RawConnection(unsigned short port);
    ~RawConnection();
    RawConnection(const RawConnection&) = delete;
    RawConnection& operator=(const RawConnection&) = delete;

    [[nodiscard]] bool Send(const std::string& bytes);
    // Reads one reply (header, then a body of its Content-Length); status 0 when none came.
    [[nodiscard]] RawReply Read();

private:
    int fd_ = -1;
    std::string pending_;
};

// One request on a fresh connection: the reply.
RawReply Exchange(unsigned short port, const std::string& request);

// A request text with Host, Content-Length and Connection: close; a body that opens with "{" is
// declared "Content-Type: application/json" unless `extraHeaders` names a Content-Type.
std::string Request(const std::string& method, const std::string& target, const std::string& body,
                    const std::string& extraHeaders = "");

}  // namespace tavopix::test
