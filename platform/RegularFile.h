// Reading a file the user named, such as a picture in a browsed folder, without ever waiting on
// it. A name may stand for a named pipe, a socket or a device: opening a pipe for reading waits
// for a writer, reading a device may never end, and opening some devices acts on them. Such a
// name is refused after a look at what it is, before it is opened; what is opened is checked
// again to be the regular file that was looked at.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tavopix {

class RegularFile {
public:
    // Opens `path` (UTF-8) for reading when it is a regular file (a link to one is followed).
    // IsOpen() tells; on failure the thread's last error says why (ERROR_ACCESS_DENIED for
    // something other than a regular file).
    explicit RegularFile(const std::string& path);
    ~RegularFile();
    RegularFile(const RegularFile&) = delete;
    RegularFile& operator=(const RegularFile&) = delete;

    [[nodiscard]] bool IsOpen() const { return fd_ >= 0; }
    // The size when it was opened.
    [[nodiscard]] std::uint64_t Size() const { return size_; }
    // Reads up to `count` bytes at `offset` into `to`; how many were read (fewer only at the
    // end of the file), or -1 on a read error.
    [[nodiscard]] std::int64_t ReadAt(std::uint64_t offset, void* to, std::size_t count) const;

private:
    int fd_ = -1;
    std::uint64_t size_ = 0;
};

}  // namespace tavopix
