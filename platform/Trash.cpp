#include "platform/Trash.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <optional>

#include "platform/PercentEncode.h"

namespace tavopix {

namespace {

struct TrashFolder {
    std::string dir;     // holds files/ and info/
    std::string topDir;  // the volume's top folder for relative paths; empty: absolute paths
};

std::string ParentOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == 0 || slash == std::string::npos ? std::string("/") : path.substr(0, slash);
}

bool IsPlainDirectory(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Makes `path` a folder of the user's own (mode 0700) unless it is one already.
bool EnsureDirectory(const std::string& path) {
    if (mkdir(path.c_str(), 0700) == 0) {
        return true;
    }
    return errno == EEXIST && IsPlainDirectory(path);
}

bool EnsureTrash(const std::string& dir) {
    return EnsureDirectory(dir) && EnsureDirectory(dir + "/files") &&
           EnsureDirectory(dir + "/info");
}

std::optional<std::string> HomeTrash() {
    if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && data[0] == '/') {
        return std::string(data) + "/Trash";
    }
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
        return std::string(home) + "/.local/share/Trash";
    }
    return std::nullopt;
}

// The top folder of the file system `path` is on: the highest ancestor on the same device.
std::string TopDirOf(const std::string& path, dev_t device) {
    std::string top = ParentOf(path);
    while (top != "/") {
        const std::string parent = ParentOf(top);
        struct stat info {};
        if (stat(parent.c_str(), &info) != 0 || info.st_dev != device) {
            break;
        }
        top = parent;
    }
    return top;
}

// The device of the nearest existing folder at or above `path`.
std::optional<dev_t> DeviceOf(std::string path) {
    while (true) {
        struct stat info {};
        if (stat(path.c_str(), &info) == 0) {
            return info.st_dev;
        }
        if (path == "/" || path.empty()) {
            return std::nullopt;
        }
        path = ParentOf(path);
    }
}

std::optional<TrashFolder> TrashFor(const std::string& path, dev_t device) {
    const std::optional<std::string> home = HomeTrash();
    if (home) {
        const std::optional<dev_t> homeDevice = DeviceOf(*home);
        if (homeDevice && *homeDevice == device) {
            // The home trash's parents may not exist yet on a fresh account.
            const std::string share = ParentOf(*home);
            if (!IsPlainDirectory(share)) {
                EnsureDirectory(ParentOf(share));
                EnsureDirectory(share);
            }
            if (EnsureTrash(*home)) {
                return TrashFolder{*home, {}};
            }
            return std::nullopt;
        }
    }
    const std::string top = TopDirOf(path, device);
    const std::string uid = std::to_string(getuid());
    // An administrator's shared ".Trash" counts only when it is a real, sticky folder.
    const std::string shared = (top == "/" ? "" : top) + "/.Trash";
    struct stat info {};
    if (lstat(shared.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && (info.st_mode & S_ISVTX)) {
        if (EnsureTrash(shared + "/" + uid)) {
            return TrashFolder{shared + "/" + uid, top};
        }
    }
    const std::string own = (top == "/" ? "" : top) + "/.Trash-" + uid;
    if (EnsureTrash(own)) {
        return TrashFolder{own, top};
    }
    return std::nullopt;
}

bool PlainInInfoPath(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '/' ||
           c == '-' || c == '_' || c == '.' || c == '~';
}

std::string InfoText(const std::string& path, const TrashFolder& trash) {
    std::string shown = path;
    if (!trash.topDir.empty() && trash.topDir != "/" &&
        path.compare(0, trash.topDir.size() + 1, trash.topDir + "/") == 0) {
        shown = path.substr(trash.topDir.size() + 1);
    }
    std::string text = "[Trash Info]\nPath=";
    AppendPercentEncoded(shown, PlainInInfoPath, text);
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char date[32];
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &local);
    text += "\nDeletionDate=";
    text += date;
    text += "\n";
    return text;
}

// Claims a name in the trash by creating its .trashinfo exclusively; the name is the file's own,
// or with " 2", " 3"… before its extension when taken.
std::optional<std::string> ClaimName(const TrashFolder& trash, const std::string& name,
                                     const std::string& info) {
    const std::size_t dot = name.find_last_of('.');
    const std::string stem = dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
    const std::string extension = stem.size() == name.size() ? "" : name.substr(dot);
    for (int n = 1; n < 10000; ++n) {
        const std::string candidate = n == 1 ? name : stem + " " + std::to_string(n) + extension;
        const std::string infoPath = trash.dir + "/info/" + candidate + ".trashinfo";
        const int fd = open(infoPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST) {
                continue;
            }
            return std::nullopt;
        }
        const bool written =
            write(fd, info.data(), info.size()) == static_cast<ssize_t>(info.size());
        const bool closed = close(fd) == 0;
        struct stat taken {};
        const bool fileFree = lstat((trash.dir + "/files/" + candidate).c_str(), &taken) != 0;
        if (written && closed && fileFree) {
            return candidate;
        }
        unlink(infoPath.c_str());
        if (!written || !closed) {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

}  // namespace

TrashResult MoveToTrash(const std::string& path) {
    struct stat info {};
    if (path.empty() || path.front() != '/' || lstat(path.c_str(), &info) != 0 ||
        S_ISDIR(info.st_mode)) {
        return TrashResult::Failed;
    }
    if (const std::optional<TrashFolder> trash = TrashFor(path, info.st_dev)) {
        const std::string name = path.substr(path.find_last_of('/') + 1);
        if (const std::optional<std::string> claimed =
                ClaimName(*trash, name, InfoText(path, *trash))) {
            if (rename(path.c_str(), (trash->dir + "/files/" + *claimed).c_str()) == 0) {
                return TrashResult::Trashed;
            }
            unlink((trash->dir + "/info/" + *claimed + ".trashinfo").c_str());
        }
    }
    return unlink(path.c_str()) == 0 ? TrashResult::Deleted : TrashResult::Failed;
}

}  // namespace tavopix
