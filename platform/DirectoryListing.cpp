#include "platform/DirectoryListing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "platform/LastError.h"
#include "platform/StatAttributes.h"

namespace tavopix {

struct DirectoryListing::State {
    DIR* dir = nullptr;
    EntryDetails details = EntryDetails::NameAndKind;
};

DirectoryListing::DirectoryListing(const std::string& folder, EntryDetails details)
    : state_(std::make_unique<State>()) {
    state_->details = details;
    state_->dir = folder.empty() ? nullptr : ::opendir(folder.c_str());
    if (state_->dir == nullptr) {
        // A folder that is missing, or a file in its place, is a path error.
        int error = folder.empty() ? ENOENT : errno;
        SetLastError(error == ENOENT || error == ENOTDIR ? ERROR_PATH_NOT_FOUND
                                                         : ErrorFromErrno(error));
    }
}

DirectoryListing::~DirectoryListing() {
    if (state_->dir != nullptr) {
        ::closedir(state_->dir);
    }
}

bool DirectoryListing::IsOpen() const {
    return state_->dir != nullptr;
}

bool DirectoryListing::Next(DirectoryEntry& entry) {
    if (state_->dir == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    for (;;) {
        errno = 0;
        const dirent* found = ::readdir(state_->dir);
        if (found == nullptr) {
            SetLastError(errno == 0 ? ERROR_NO_MORE_FILES : ErrorFromErrno(errno));
            return false;
        }
        const char* name = found->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) {
            continue;
        }
        entry.name = name;
        entry.isSymlink = found->d_type == DT_LNK;
        entry.isDirectory = found->d_type == DT_DIR;
        entry.size = 0;
        entry.lastWriteTime = 0;
        entry.device = 0;
        entry.inode = 0;
        bool needStat = state_->details == EntryDetails::Full || found->d_type == DT_UNKNOWN ||
                        found->d_type == DT_LNK;
        if (!needStat) {
            return true;
        }
        int dirFd = ::dirfd(state_->dir);
        struct stat info {};
        if (::fstatat(dirFd, name, &info, 0) != 0) {
            // A dangling link, or an entry removed meanwhile: what the link itself says.
            if (::fstatat(dirFd, name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
                return true;
            }
            entry.isSymlink = S_ISLNK(info.st_mode);
            if (entry.isSymlink) {
                info.st_size = 0;
            }
        } else if (found->d_type == DT_UNKNOWN) {
            // File systems that do not type their entries: ask whether this one is a link.
            struct stat linkInfo {};
            entry.isSymlink = ::fstatat(dirFd, name, &linkInfo, AT_SYMLINK_NOFOLLOW) == 0 &&
                              S_ISLNK(linkInfo.st_mode);
        }
        FileAttributes attributes = AttributesFromStat(info);
        entry.isDirectory = attributes.isDirectory;
        if (state_->details == EntryDetails::Full) {
            entry.size = attributes.size;
            entry.lastWriteTime = attributes.lastWriteTime;
            entry.device = attributes.device;
            entry.inode = attributes.inode;
        }
        return true;
    }
}

}  // namespace tavopix
