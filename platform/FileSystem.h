// Single-path file-system calls: attributes, existence, creating a folder, deleting a file.
//
// Paths here are native 8-bit paths (UTF-8 on this platform; convert with app/TextConvert.h).
// Every failing call sets the thread's last error (platform/LastError.h), so callers can tell
// ERROR_ALREADY_EXISTS, ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND and ERROR_ACCESS_DENIED apart.
#pragma once

#include <cstdint>
#include <string>

namespace tavopix {

struct FileAttributes {
    bool isDirectory = false;
    std::uint64_t size = 0;           // bytes; 0 for folders
    std::uint64_t lastWriteTime = 0;  // platform/FileTime.h ticks
    // Which file system holds it and which file it is there: two paths with the same pair are
    // the same file, and a folder whose device differs from its parent's is a mount point.
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
};

// Reads the attributes of `path`, following symbolic links. False (and `attributes` untouched)
// when it does not exist or cannot be reached.
[[nodiscard]] bool ReadFileAttributes(const std::string& path, FileAttributes& attributes);

// True when `path` names an existing file or folder.
[[nodiscard]] bool PathExists(const std::string& path);

// Creates one folder (its parent must exist). An existing file or folder of that name fails
// with ERROR_ALREADY_EXISTS (183).
[[nodiscard]] bool MakeDirectory(const std::string& path);

// Deletes one file (not a folder).
bool RemoveFile(const std::string& path);

}  // namespace tavopix
