// A real albumd for the tests and benchmarks: operator commands on a data folder, and the server
// itself on a free loopback port, stopped when the object goes. Which albumd program runs is
// chosen by the library the caller links (tests/support/CMakeLists.txt).
#pragma once

#include <signal.h>
#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

namespace tavopix::test {

class AlbumdProcess {
public:
    // An albumd on `dataFolder`, which stays when the object goes; not listening until Listen.
    explicit AlbumdProcess(std::string dataFolder);
    // A fresh data folder (removed afterwards) with each of `users` created with the password
    // "secret-pw" and the operator commands of `setup` run, then listening with
    // `extraArguments` (for example {"--fault", "upload=500"}). Null, with the reason on the
    // standard error, when any step fails.
    static std::unique_ptr<AlbumdProcess> Start(
        const std::vector<std::string>& users, const std::vector<std::string>& extraArguments = {},
        const std::vector<std::vector<std::string>>& setup = {});
    ~AlbumdProcess();
    AlbumdProcess(const AlbumdProcess&) = delete;
    AlbumdProcess& operator=(const AlbumdProcess&) = delete;

    // Runs an operator command (`albumd --data DIR words...`) with `input` on its standard input
    // and what it prints in `output` when given; its exit code, -1 when it did not run or did
    // not end normally.
    int RunCommand(const std::vector<std::string>& words, const std::string& input = "",
                   std::string* output = nullptr) const;

    // Starts `albumd --data DIR --listen 127.0.0.1:0 EXTRA` and waits for the line that names
    // its port; false when it does not come up within a minute.
    [[nodiscard]] bool Listen(const std::vector<std::string>& extraArguments = {});
    // Sends `signal` and waits for the server to end; false when it had to be killed after 10 s.
    bool Stop(int signal = SIGTERM);

    // "http://127.0.0.1:PORT/" while listening.
    const std::string& BaseAddress() const { return baseAddress_; }
    unsigned short Port() const { return port_; }
    const std::string& DataFolder() const { return dataFolder_; }

private:
    std::string dataFolder_;
    std::string ownFolder_;  // made by Start, removed with the object
    std::string baseAddress_;
    unsigned short port_ = 0;
    pid_t pid_ = -1;
};

}  // namespace tavopix::test
