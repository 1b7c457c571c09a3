// A real albumd for the SDK's tests: a fresh data folder, operator commands on it, and the
// server itself on a free loopback port, stopped and removed again when the object goes.
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

namespace tavopix::test {

class AlbumdProcess {
public:
    // Starts albumd with `extraArguments` (for example {"--fault", "upload=500"}) after
    // creating each of `users` with the password "secret-pw" and running `setup` (operator
    // commands). Null (and a test failure) when it does not come up.
    static std::unique_ptr<AlbumdProcess> Start(
        const std::vector<std::string>& users, const std::vector<std::string>& extraArguments = {},
        const std::vector<std::vector<std::string>>& setup = {});
    ~AlbumdProcess();

    // "http://127.0.0.1:PORT/"
    const std::string& BaseAddress() const { return baseAddress_; }
    const std::string& DataFolder() const { return dataFolder_; }

    // Runs an operator command (`albumd --data DIR words...`) with `input` on its standard input;
    // its exit code.
    int RunCommand(const std::vector<std::string>& words, const std::string& input = "") const;

private:
    AlbumdProcess() = default;

    std::string dataFolder_;
    std::string baseAddress_;
    pid_t pid_ = -1;
};

}  // namespace tavopix::test
