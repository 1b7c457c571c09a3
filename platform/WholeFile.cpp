#include "platform/WholeFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>

#include "platform/LastError.h"
#include "platform/RegularFile.h"

namespace tavopix {

namespace {

// Closes the descriptor on every way out of a function.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    // Closes now, reporting the result: a write error may only show up here.
    bool Close() {
        int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

std::string FolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
}

// Makes the rename itself durable; a failure here changes nothing for the caller.
void SyncFolder(const std::string& folder) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::string& bytes) {
    const RegularFile file(path);
    if (!file.IsOpen()) {
        return false;
    }
    std::string content;
    content.reserve(static_cast<size_t>(file.Size()));
    char buffer[65536];
    for (;;) {
        const std::int64_t got = file.ReadAt(content.size(), buffer, sizeof buffer);
        if (got < 0) {
            return false;
        }
        if (got == 0) {
            break;
        }
        content.append(buffer, static_cast<size_t>(got));
    }
    bytes = std::move(content);
    return true;
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes,
                         FilePermissions permissions) {
    static std::atomic<unsigned> serial{0};
    if (path.empty() || path.back() == '/') {
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    // A linked file is replaced where it lives, so the link keeps pointing at the new content.
    std::string target = path;
    struct stat linkInfo {};
    if (::lstat(path.c_str(), &linkInfo) == 0 && S_ISLNK(linkInfo.st_mode)) {
        if (char* resolved = ::realpath(path.c_str(), nullptr)) {
            target = resolved;
            std::free(resolved);
        }
    }
    mode_t mode = permissions == FilePermissions::OwnerOnly ? 0600 : 0666;
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = target + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(serial++);
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd < 0 && errno != EEXIST) {
            break;
        }
    }
    if (fd < 0) {
        SetLastError(errno == ENOENT ? ERROR_PATH_NOT_FOUND : ErrorFromErrno(errno));
        return false;
    }
    Descriptor file(fd);
    bool written = WriteAll(file.get(), bytes) && ::fsync(file.get()) == 0;
    written = file.Close() && written;
    if (!written || ::rename(temporary.c_str(), target.c_str()) != 0) {
        std::uint32_t code = ErrorFromErrno(errno);
        ::unlink(temporary.c_str());
        SetLastError(code);
        return false;
    }
    SyncFolder(FolderOf(target));
    return true;
}

}  // namespace tavopix
