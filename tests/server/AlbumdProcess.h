// A real albumd process for tests on loopback, and a raw HTTP/1.1 exchange over a plain socket
// so that what goes over the wire (interim replies, early refusals, half-sent bodies) is exactly
// what the test writes.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace albumd::test {

// Runs `albumd ARGS` to completion with `input` on its standard input; returns its exit code.
int RunAlbumd(const std::vector<std::string>& args, const std::string& input = "");

class AlbumdProcess {
public:
    AlbumdProcess() = default;
    ~AlbumdProcess();
    AlbumdProcess(const AlbumdProcess&) = delete;
    AlbumdProcess& operator=(const AlbumdProcess&) = delete;

    // Starts `albumd --data DIR --listen 127.0.0.1:0 EXTRA` and waits for its listening line.
    [[nodiscard]] bool Start(const std::string& dataDir,
                             const std::vector<std::string>& extra = {});
    // Sends `signal` and waits for the process to end; false when it had to be killed after
    // 10 seconds.
    bool Stop(int signal);
    [[nodiscard]] unsigned short Port() const { return port_; }

private:
    pid_t pid_ = -1;
    unsigned short port_ = 0;
};

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

// A request text with Host, Content-Length and Connection: close.
std::string Request(const std::string& method, const std::string& target, const std::string& body,
                    const std::string& extraHeaders = "");

}  // namespace albumd::test
