#include "platform/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/LastError.h"

namespace tavopix {

RegularFile::RegularFile(const std::string& path) {
    struct stat before {};
    if (path.empty() || ::stat(path.c_str(), &before) != 0) {
        SetLastError(path.empty() ? ERROR_FILE_NOT_FOUND : ErrorFromErrno(errno));
        return;
    }
    if (!S_ISREG(before.st_mode)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return;
    }
    // Non-blocking and without taking a terminal, in case the name was swapped for a pipe or a
    // device after the look; the look after the open catches that.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        SetLastErrorFromErrno();
        return;
    }
    struct stat opened {};
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode) || opened.st_dev != before.st_dev ||
        opened.st_ino != before.st_ino) {
        ::close(fd);
        SetLastError(ERROR_ACCESS_DENIED);
        return;
    }
    fd_ = fd;
    size_ = static_cast<std::uint64_t>(opened.st_size);
}

RegularFile::~RegularFile() {
    if (fd_ >= 0)
        ::close(fd_);
}

std::int64_t RegularFile::ReadAt(std::uint64_t offset, void* to, std::size_t count) const {
    auto* out = static_cast<char*>(to);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t got =
            ::pread(fd_, out + done, count - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            SetLastErrorFromErrno();
            return -1;
        }
        if (got == 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    return static_cast<std::int64_t>(done);
}

}  // namespace tavopix
