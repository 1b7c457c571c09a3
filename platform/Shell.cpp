#include "platform/Shell.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string_view>

#include "platform/LastError.h"
#include "platform/PercentEncode.h"

extern char** environ;

namespace tavopix {

namespace {

bool IsExecutableFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

// The program's path as the shell's PATH search would find it; empty when there is none.
std::string FindProgram(const std::string& name) {
    if (name.find('/') != std::string::npos) {
        return IsExecutableFile(name) ? name : std::string();
    }
    const char* pathVariable = std::getenv("PATH");
    std::string_view searchPath =
        pathVariable != nullptr ? pathVariable : "/usr/local/bin:/usr/bin:/bin";
    while (true) {
        size_t colon = searchPath.find(':');
        std::string_view folder = searchPath.substr(0, colon);
        std::string candidate = std::string(folder.empty() ? "." : folder) + "/" + name;
        if (IsExecutableFile(candidate)) {
            return candidate;
        }
        if (colon == std::string_view::npos) {
            return std::string();
        }
        searchPath.remove_prefix(colon + 1);
    }
}

void CloseDescriptorsFrom(int first, int last) {
    if (first <= last) {
        ::close_range(static_cast<unsigned>(first), static_cast<unsigned>(last), 0);
    }
}

// Runs in the grandchild between fork and exec, so only async-signal-safe calls. The reporting
// pipe closes on exec; a failed exec writes its errno there.
[[noreturn]] void ExecDetached(const char* program, char* const* argv, const char* folder,
                               int reportFd) {
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::signal(SIGPIPE, SIG_DFL);
    int devNull = ::open("/dev/null", O_RDWR);
    if (devNull >= 0) {
        ::dup2(devNull, STDIN_FILENO);
        ::dup2(devNull, STDOUT_FILENO);
        ::dup2(devNull, STDERR_FILENO);
    }
    // Our own sockets and files must not live on in the desktop's programs.
    CloseDescriptorsFrom(3, reportFd - 1);
    CloseDescriptorsFrom(reportFd + 1, INT_MAX);
    if (folder != nullptr && ::chdir(folder) != 0) {
        // The folder is a preference; the program still starts where we are.
    }
    ::execve(program, argv, environ);
    int error = errno;
    ssize_t written = ::write(reportFd, &error, sizeof error);
    static_cast<void>(written);
    ::_exit(127);
}

}  // namespace

bool LaunchDetached(const std::vector<std::string>& argv, const std::string& workingDirectory) {
    if (argv.empty()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    std::string program = FindProgram(argv[0]);
    if (program.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    // Everything the children use is prepared here: after fork only raw system calls are safe.
    std::vector<char*> arguments;
    arguments.reserve(argv.size() + 1);
    for (const std::string& argument : argv) {
        arguments.push_back(const_cast<char*>(argument.c_str()));
    }
    arguments.push_back(nullptr);
    const char* folder = workingDirectory.empty() ? nullptr : workingDirectory.c_str();

    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) {
        SetLastErrorFromErrno();
        return false;
    }
    pid_t child = ::fork();
    if (child < 0) {
        SetLastErrorFromErrno();
        ::close(report[0]);
        ::close(report[1]);
        return false;
    }
    if (child == 0) {
        // The middle process starts a new session and leaves at once, so the program is
        // nobody's child here and never becomes a zombie of ours.
        ::close(report[0]);
        ::setsid();
        pid_t grandchild = ::fork();
        if (grandchild == 0) {
            ExecDetached(program.c_str(), arguments.data(), folder, report[1]);
        }
        ::_exit(grandchild < 0 ? 1 : 0);
    }
    ::close(report[1]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    int execError = 0;
    ssize_t got;
    do {
        got = ::read(report[0], &execError, sizeof execError);
    } while (got < 0 && errno == EINTR);
    ::close(report[0]);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        SetLastError(ERROR_GEN_FAILURE);
        return false;
    }
    if (got == static_cast<ssize_t>(sizeof execError)) {
        SetLastError(ErrorFromErrno(execError));
        return false;
    }
    return true;
}

bool ShellOpen(const std::string& target, const std::string& workingDirectory) {
    return LaunchDetached({"xdg-open", target}, workingDirectory);
}

namespace {

// A file URI with every byte outside the unreserved set and '/' escaped, so it passes as a
// plain string through D-Bus argument syntax (no quotes, commas or blanks left).
std::string FileUri(const std::string& path) {
    std::string uri = "file://";
    AppendPercentEncoded(
        path,
        [](unsigned char c) {
            return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                   c == '-' || c == '.' || c == '_' || c == '~' || c == '/';
        },
        uri);
    return uri;
}

// The file manager's ShowItems call through whichever D-Bus tool is installed; the folder is
// opened when neither is there or the call fails. The script is fixed text: the URI and the
// folder reach it as positional parameters only.
constexpr const char* kShowItemsScript = R"(uri=$1 folder=$2
if command -v gdbus >/dev/null 2>&1; then
  gdbus call --session --dest org.freedesktop.FileManager1 \
    --object-path /org/freedesktop/FileManager1 \
    --method org.freedesktop.FileManager1.ShowItems "[\"$uri\"]" "" && exit 0
elif command -v dbus-send >/dev/null 2>&1; then
  dbus-send --session --print-reply --dest=org.freedesktop.FileManager1 \
    /org/freedesktop/FileManager1 org.freedesktop.FileManager1.ShowItems \
    "array:string:$uri" string: && exit 0
fi
exec xdg-open "$folder"
)";

}  // namespace

bool ShowInFolder(const std::string& file) {
    size_t slash = file.rfind('/');
    std::string folder = slash == std::string::npos ? std::string("./") : file.substr(0, slash + 1);
    return LaunchDetached({"/bin/sh", "-c", kShowItemsScript, "sh", FileUri(file), folder});
}

}  // namespace tavopix
