#include "app/HasSubfolders.h"

#include "app/PathTokens.h"
#include "app/TextConvert.h"
#include "platform/DirectoryListing.h"

namespace tavopix {

bool HasSubfolders(std::u16string_view storedFolder) {
    std::u16string folder = ExpandPath(storedFolder);
    if (folder.empty()) {
        return false;
    }
    DirectoryListing listing(Utf8(folder));
    DirectoryEntry entry;
    while (listing.IsOpen() && listing.Next(entry)) {
        if (entry.isDirectory) {
            return true;
        }
    }
    return false;
}

}  // namespace tavopix
