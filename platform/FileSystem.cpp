#include "platform/FileSystem.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/FileTime.h"
#include "platform/LastError.h"
#include "platform/StatAttributes.h"

namespace tavopix {

bool ReadFileAttributes(const std::string& path, FileAttributes& attributes) {
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0) {
        if (path.empty()) {
            errno = ENOENT;
        }
        SetLastErrorFromErrno();
        return false;
    }
    attributes = AttributesFromStat(info);
    return true;
}

bool PathExists(const std::string& path) {
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    return true;
}

bool MakeDirectory(const std::string& path) {
    if (path.empty()) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    if (::mkdir(path.c_str(), 0777) != 0) {
        // A missing parent is a path error, as callers distinguish it from a missing file.
        SetLastError(errno == ENOENT ? ERROR_PATH_NOT_FOUND : ErrorFromErrno(errno));
        return false;
    }
    return true;
}

bool RemoveFile(const std::string& path) {
    if (path.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    if (::unlink(path.c_str()) != 0) {
        SetLastErrorFromErrno();
        return false;
    }
    return true;
}

}  // namespace tavopix
