#include "sdk/AlbumdProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

extern char** environ;

namespace tavopix::test {

namespace {

constexpr int kStartTimeoutMs = 60000;

// Spawns albumd with `arguments`; its standard input and output are the given descriptors
// (-1: inherited).
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
        ssize_t got = read(fd, chunk, sizeof chunk);
        if (got <= 0) {
            break;
        }
        line.append(chunk, static_cast<std::size_t>(got));
    }
    return line.substr(0, line.find('\n'));
}

}  // namespace

std::unique_ptr<AlbumdProcess> AlbumdProcess::Start(
    const std::vector<std::string>& users, const std::vector<std::string>& extraArguments,
    const std::vector<std::vector<std::string>>& setup) {
    std::unique_ptr<AlbumdProcess> albumd(new AlbumdProcess);
    std::string pattern = (std::filesystem::temp_directory_path() / "sdk-albumd-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        ADD_FAILURE() << "no temporary folder";
        return nullptr;
    }
    albumd->dataFolder_ = pattern + "/data";
    for (const std::string& user : users) {
        if (albumd->RunCommand({"user", "add", user}, "secret-pw\n") != 0) {
            ADD_FAILURE() << "albumd could not create user " << user;
            return nullptr;
        }
    }
    for (const std::vector<std::string>& command : setup) {
        if (albumd->RunCommand(command) != 0) {
            ADD_FAILURE() << "albumd setup command failed: " << command.front();
            return nullptr;
        }
    }
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "no pipe";
        return nullptr;
    }
    std::vector<std::string> arguments = {"--data", albumd->dataFolder_, "--listen", "127.0.0.1:0"};
    arguments.insert(arguments.end(), extraArguments.begin(), extraArguments.end());
    albumd->pid_ = SpawnAlbumd(arguments, -1, pipeFds[1]);
    close(pipeFds[1]);
    std::string line = ReadFirstLine(pipeFds[0]);
    close(pipeFds[0]);
    constexpr std::string_view kPrefix = "albumd listening on ";
    if (albumd->pid_ < 0 || line.rfind(kPrefix, 0) != 0) {
        ADD_FAILURE() << "albumd did not start: \"" << line << "\"";
        return nullptr;
    }
    albumd->baseAddress_ = line.substr(kPrefix.size()) + "/";
    return albumd;
}

AlbumdProcess::~AlbumdProcess() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
    }
    if (!dataFolder_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(std::filesystem::path(dataFolder_).parent_path(), ignored);
    }
}

int AlbumdProcess::RunCommand(const std::vector<std::string>& words,
                              const std::string& input) const {
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        return -1;
    }
    std::vector<std::string> arguments = {"--data", dataFolder_};
    arguments.insert(arguments.end(), words.begin(), words.end());
    int devNull = open("/dev/null", O_WRONLY | O_CLOEXEC);
    pid_t pid = SpawnAlbumd(arguments, pipeFds[0], devNull);
    close(devNull);
    close(pipeFds[0]);
    if (!input.empty()) {
        (void)!write(pipeFds[1], input.data(), input.size());
    }
    close(pipeFds[1]);
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) {
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace tavopix::test
