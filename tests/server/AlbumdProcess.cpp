#include "AlbumdProcess.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace albumd::test {

namespace {

std::vector<char*> Argv(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(ALBUMD_BINARY));
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    return argv;
}

}  // namespace

int RunAlbumd(const std::vector<std::string>& args, const std::string& input) {
    int in[2];
    if (pipe(in) != 0)
        return -1;
    std::vector<char*> argv = Argv(args);
    pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], 0);
        close(in[0]);
        close(in[1]);
        int null = ::open("/dev/null", O_WRONLY);
        dup2(null, 1);
        execv(ALBUMD_BINARY, argv.data());
        _exit(127);
    }
    close(in[0]);
    ssize_t written = write(in[1], input.data(), input.size());
    (void)written;
    close(in[1]);
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

AlbumdProcess::~AlbumdProcess() {
    if (pid_ > 0)
        (void)Stop(SIGTERM);
}

bool AlbumdProcess::Start(const std::string& dataDir, const std::vector<std::string>& extra) {
    std::vector<std::string> args = {"--data", dataDir, "--listen", "127.0.0.1:0"};
    args.insert(args.end(), extra.begin(), extra.end());
    std::vector<char*> argv = Argv(args);
    int out[2];
    if (pipe(out) != 0)
        return false;
    pid_ = fork();
    if (pid_ == 0) {
        dup2(out[1], 1);
        close(out[0]);
        close(out[1]);
        execv(ALBUMD_BINARY, argv.data());
        _exit(127);
    }
    close(out[1]);
    // The first line names the port: "albumd listening on http://127.0.0.1:PORT".
    std::string line;
    char c;
    while (read(out[0], &c, 1) == 1 && c != '\n')
        line.push_back(c);
    close(out[0]);
    std::size_t colon = line.rfind(':');
    if (line.rfind("albumd listening on http://127.0.0.1:", 0) != 0 || colon == std::string::npos) {
        return false;
    }
    port_ = static_cast<unsigned short>(std::stoi(line.substr(colon + 1)));
    return true;
}

bool AlbumdProcess::Stop(int signal) {
    if (pid_ <= 0)
        return true;
    kill(pid_, signal);
    int status = 0;
    // A server that ignores the signal must not hang the test: it is killed after 10 s.
    for (int i = 0; i < 1000; ++i) {
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return true;
        }
        usleep(10000);
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return false;
}

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
    return method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n" +
           "Content-Length: " + std::to_string(body.size()) + "\r\n" + extraHeaders + "\r\n" + body;
}

}  // namespace albumd::test
