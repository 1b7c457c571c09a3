#include "platform/DirectoryListing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstring>
#include <cwctype>
#include <vector>

#include "platform/LastError.h"
#include "platform/StatAttributes.h"
#include "platform/Utf8.h"

namespace tavopix {

namespace {

// Upper case of one UTF-16 code unit, as a case-insensitive file system folds names: by the
// full Unicode tables where the C.UTF-8 locale exists, by ASCII otherwise. Surrogates stay.
char16_t UpperCodeUnit(char16_t unit) {
    static const locale_t utf8Locale = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
    if (unit >= u'a' && unit <= u'z') {
        return static_cast<char16_t>(unit - u'a' + u'A');
    }
    if (unit < 0x80 || (unit >= 0xD800 && unit <= 0xDFFF) || utf8Locale == locale_t{}) {
        return unit;
    }
    const wint_t upper = ::towupper_l(static_cast<wint_t>(unit), utf8Locale);
    return upper <= 0xFFFF ? static_cast<char16_t>(upper) : unit;
}

// The key that orders a native name among its siblings: its UTF-16 folded to upper case.
std::u16string NameOrderKey(std::string_view name) {
    std::u16string key = Utf8ToUtf16(name);
    for (char16_t& unit : key) {
        unit = UpperCodeUnit(unit);
    }
    return key;
}

}  // namespace

struct DirectoryListing::State {
    struct Named {
        std::u16string key;
        std::string name;
        unsigned char type = DT_UNKNOWN;
    };
    DIR* dir = nullptr;
    EntryDetails details = EntryDetails::NameAndKind;
    std::vector<Named> entries;  // in name order
    std::size_t next = 0;
    int readError = 0;  // errno of a failed read, reported after the entries read before it

    // Reads the whole folder and orders it: names that fold to the same key keep their byte
    // order, so the order is the same at every listing.
    void ReadAll() {
        for (;;) {
            errno = 0;
            const dirent* found = ::readdir(dir);
            if (found == nullptr) {
                readError = errno;
                break;
            }
            const char* name = found->d_name;
            if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) {
                continue;
            }
            entries.push_back({NameOrderKey(name), name, found->d_type});
        }
        std::sort(entries.begin(), entries.end(), [](const Named& a, const Named& b) {
            return a.key != b.key ? a.key < b.key : a.name < b.name;
        });
    }
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
        return;
    }
    state_->ReadAll();
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
    if (state_->next == state_->entries.size()) {
        const int error = state_->readError;
        SetLastError(error == 0 ? ERROR_NO_MORE_FILES : ErrorFromErrno(error));
        return false;
    }
    const State::Named& found = state_->entries[state_->next++];
    const char* name = found.name.c_str();
    const unsigned char type = found.type;
    entry.name = name;
    entry.isSymlink = type == DT_LNK;
    entry.isDirectory = type == DT_DIR;
    entry.size = 0;
    entry.lastWriteTime = 0;
    entry.device = 0;
    entry.inode = 0;
    bool needStat = state_->details == EntryDetails::Full || type == DT_UNKNOWN || type == DT_LNK;
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
    } else if (type == DT_UNKNOWN) {
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

}  // namespace tavopix
