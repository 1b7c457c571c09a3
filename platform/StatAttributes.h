// Internal to platform/: the file attributes of a stat record, shared by the single-path calls
// and the directory listing.
#pragma once

#include <sys/stat.h>

#include "platform/FileSystem.h"
#include "platform/FileTime.h"

namespace tavopix {

inline FileAttributes AttributesFromStat(const struct stat& info) {
    FileAttributes attributes;
    attributes.isDirectory = S_ISDIR(info.st_mode);
    attributes.size = attributes.isDirectory ? 0 : static_cast<std::uint64_t>(info.st_size);
    attributes.lastWriteTime = FileTimeFromUnix(info.st_mtim.tv_sec, info.st_mtim.tv_nsec);
    attributes.device = static_cast<std::uint64_t>(info.st_dev);
    attributes.inode = static_cast<std::uint64_t>(info.st_ino);
    return attributes;
}

}  // namespace tavopix
