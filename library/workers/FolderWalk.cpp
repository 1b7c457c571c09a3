#include "library/workers/FolderWalk.h"

#include <algorithm>
#include <vector>

#include "app/PathTokens.h"
#include "app/TextConvert.h"
#include "library/data/PictureMatcher.h"
#include "platform/Clock.h"
#include "platform/DirectoryListing.h"
#include "platform/Drives.h"
#include "platform/FileSystem.h"

namespace tavopix {
namespace {

struct FolderIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const FolderIdentity&) const = default;
};

class Walker {
public:
    Walker(const PictureFilter& filter, const FolderWalkHooks& hooks)
        : filter_(filter), hooks_(hooks) {}

    unsigned Walk(const std::u16string& stored, const std::string& native,
                  FolderIdentity identity) {
        DirectoryListing listing(native, EntryDetails::Full);
        if (!listing.IsOpen()) {
            return 0;
        }
        ancestors_.push_back(identity);
        // The age cut-off is fixed once per folder.
        const PictureMatcher matcher(filter_, GetSystemTimeAsFileTime());
        unsigned direct = 0;
        unsigned total = 0;
        DirectoryEntry entry;
        std::u16string childStored;
        std::string childNative;
        while (listing.Next(entry)) {
            if (hooks_.stopped && hooks_.stopped()) {
                break;
            }
            if (hooks_.beforeEntry) {
                hooks_.beforeEntry();
            }
            if (entry.isDirectory) {
                const FolderIdentity child{entry.device, entry.inode};
                if (!entry.isSymlink && MayEnter(child, identity, native, entry.name)) {
                    childStored = stored + FromUtf8(entry.name) + u'/';
                    childNative = native + entry.name + '/';
                    total += Walk(childStored, childNative, child);
                }
            } else if (matcher.Matches(FromUtf8(entry.name), false,
                                       static_cast<std::uint32_t>(entry.size),
                                       entry.lastWriteTime)) {
                ++direct;
                ++total;
            }
            if (hooks_.afterEntry) {
                hooks_.afterEntry();
            }
        }
        ancestors_.pop_back();
        if (hooks_.report) {
            hooks_.report(stored, direct);
        }
        return total;
    }

private:
    bool MayEnter(const FolderIdentity& child, const FolderIdentity& parent,
                  const std::string& native, const std::string& name) const {
        if (std::find(ancestors_.begin(), ancestors_.end(), child) != ancestors_.end()) {
            return false;
        }
        // A mount point: only the user's local drives are entered.
        return child.device == parent.device || IsDriveRoot(native + name + '/');
    }

    const PictureFilter& filter_;
    const FolderWalkHooks& hooks_;
    std::vector<FolderIdentity> ancestors_;
};

}  // namespace

unsigned WalkFolder(std::u16string_view folder, const PictureFilter& filter,
                    const FolderWalkHooks& hooks) {
    const std::u16string expanded = ExpandPath(folder);
    if (expanded.empty()) {
        return 0;
    }
    std::string native = Utf8(expanded);
    if (native.back() != '/') {
        native += '/';
    }
    FileAttributes attributes;
    if (!ReadFileAttributes(native, attributes) || !attributes.isDirectory) {
        return 0;
    }
    Walker walker(filter, hooks);
    return walker.Walk(std::u16string(folder), native, {attributes.device, attributes.inode});
}

}  // namespace tavopix
