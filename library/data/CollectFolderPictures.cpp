#include "library/data/CollectFolderPictures.h"

#include "app/PathTokens.h"
#include "app/TextConvert.h"
#include "library/data/PictureMatcher.h"
#include "platform/Clock.h"
#include "platform/DirectoryListing.h"

namespace tavopix {

bool CollectFolderPictures(std::u16string_view folder, const PictureFilter& filter,
                           std::vector<std::u16string>& paths) {
    const std::u16string expanded = ExpandPath(folder);
    if (expanded.empty()) {
        return false;
    }
    DirectoryListing listing(Utf8(expanded), EntryDetails::Full);
    if (!listing.IsOpen()) {
        return false;
    }
    const PictureMatcher matcher(filter, GetSystemTimeAsFileTime());
    DirectoryEntry entry;
    while (listing.Next(entry)) {
        const std::u16string name = FromUtf8(entry.name);
        if (matcher.Matches(name, entry.isDirectory, static_cast<std::uint32_t>(entry.size),
                            entry.lastWriteTime)) {
            paths.push_back(std::u16string(folder) + name);
        }
    }
    return true;
}

}  // namespace tavopix
