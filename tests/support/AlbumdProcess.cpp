#include "support/AlbumdProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string_view>

extern char** environ;

namespace tavopix::test {

namespace {

constexpr int kStartTimeoutMs = 60000;
constexpr int kStopPolls = 1000;  // of 10 ms each
constexpr std::string_view kListening = "albumd listening on ";
constexpr std::string_view kLoopback = "http://127.0.0.1:";

// Spawns albumd with `arguments`; its standard input and output are the given descriptors
// (-1: inherited). Spawned rather than forked: the tests that start it run threads.
pid_t SpawnAlbumd(const std::vector<std::string>& arguments, int input, int output) {
    std::vector<std::string> words = {ALBUMD_PATH};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (input >= 0) {
        posix_spawn_file_actions_adddup2(&actions, input, STDIN_FILENO);
    }
    if (output >= 0) {
        posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO);
    }
    pid_t pid = -1;
    if (posix_spawn(&pid, ALBUMD_PATH, &actions, nullptr, argv.data(), environ) != 0) {
        pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// The first line albumd writes, within the start time-out.
std::string ReadFirstLine(int fd) {
    std::string line;
    while (line.find('\n') == std::string::npos) {
        pollfd ready{fd, POLLIN, 0};
        if (poll(&ready, 1, kStartTimeoutMs) <= 0) {
            break;
        }
        char chunk[256];
        const ssize_t got = read(fd, chunk, sizeof chunk);
        if (got <= 0) {
            break;
        }
        line.append(chunk, static_cast<std::size_t>(got));
    }
    return line.substr(0, line.find('\n'));
}

}  // namespace

AlbumdProcess::AlbumdProcess(std::string dataFolder) : dataFolder_(std::move(dataFolder)) {}

std::unique_ptr<AlbumdProcess> AlbumdProcess::Start(
    const std::vector<std::string>& users, const std::vector<std::string>& extraArguments,
    const std::vector<std::vector<std::string>>& setup) {
    std::string folder = (std::filesystem::temp_directory_path() / "albumd-XXXXXX").string();
    if (!mkdtemp(folder.data())) {
        std::fprintf(stderr, "albumd: no temporary folder\n");
        return nullptr;
    }
    auto albumd = std::make_unique<AlbumdProcess>(folder + "/data");
    albumd->ownFolder_ = folder;
    for (const std::string& user : users) {
        if (albumd->RunCommand({"user", "add", user}, "secret-pw\n") != 0) {
            std::fprintf(stderr, "albumd could not create user %s\n", user.c_str());
            return nullptr;
        }
    }
    for (const std::vector<std::string>& command : setup) {
        if (albumd->RunCommand(command) != 0) {
            std::fprintf(stderr, "albumd setup command failed: %s\n", command.front().c_str());
            return nullptr;
        }
    }
    return albumd->Listen(extraArguments) ? std::move(albumd) : nullptr;
}

AlbumdProcess::~AlbumdProcess() {
    Stop();
    if (!ownFolder_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(ownFolder_, ignored);
    }
}

int AlbumdProcess::RunCommand(const std::vector<std::string>& words, const std::string& input,
                              std::string* output) const {
    int inputFds[2];
    int outputFds[2];
    if (pipe2(inputFds, O_CLOEXEC) != 0) {
        return -1;
    }
    if (pipe2(outputFds, O_CLOEXEC) != 0) {
        close(inputFds[0]);
        close(inputFds[1]);
        return -1;
    }
    std::vector<std::string> arguments = {"--data", dataFolder_};
    arguments.insert(arguments.end(), words.begin(), words.end());
    const pid_t pid = SpawnAlbumd(arguments, inputFds[0], outputFds[1]);
    close(inputFds[0]);
    close(outputFds[1]);
    if (!input.empty()) {
        // A command may end before it reads its input (one that refuses its words at once):
        // the write then fails instead of its signal ending the whole test program.
        std::signal(SIGPIPE, SIG_IGN);
        (void)!write(inputFds[1], input.data(), input.size());
    }
    close(inputFds[1]);
    char chunk[4096];
    for (ssize_t got; (got = read(outputFds[0], chunk, sizeof chunk)) > 0;) {
        if (output) {
            output->append(chunk, static_cast<std::size_t>(got));
        }
    }
    close(outputFds[0]);
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) {
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool AlbumdProcess::Listen(const std::vector<std::string>& extraArguments) {
    int pipeFds[2];
    if (pid_ > 0 || pipe2(pipeFds, O_CLOEXEC) != 0) {
        return false;
    }
    std::vector<std::string> arguments = {"--data", dataFolder_, "--listen", "127.0.0.1:0"};
    arguments.insert(arguments.end(), extraArguments.begin(), extraArguments.end());
    pid_ = SpawnAlbumd(arguments, -1, pipeFds[1]);
    close(pipeFds[1]);
    const std::string line = ReadFirstLine(pipeFds[0]);
    close(pipeFds[0]);
    const std::string address =
        line.rfind(kListening, 0) == 0 ? line.substr(kListening.size()) : std::string();
    int port = 0;
    if (pid_ < 0 || address.rfind(kLoopback, 0) != 0 ||
        std::sscanf(address.c_str() + kLoopback.size(), "%d", &port) != 1 || port <= 0 ||
        port > 0xFFFF) {
        std::fprintf(stderr, "albumd did not start: \"%s\"\n", line.c_str());
        Stop(SIGKILL);
        return false;
    }
    port_ = static_cast<unsigned short>(port);
    baseAddress_ = address + "/";
    return true;
}

bool AlbumdProcess::Stop(int signal) {
    if (pid_ <= 0) {
        return true;
    }
    kill(pid_, signal);
    int status = 0;
    // A server that ignores the signal must not hang the test.
    for (int i = 0; i < kStopPolls; ++i) {
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

}  // namespace tavopix::test
