// The picture search's walk of one chosen folder: every folder below it, depth first, counting
// the files that pass the picture filter and reporting each folder's direct count after its
// sub-folders (post order), so the tree grows while the disk is walked.
//
// The walk stays on the user's own files: it never follows a symbolic link to a folder, it
// enters another file system's mount only when that is a drive of the drive list (so a chosen
// "/" never walks /proc, /sys or a network share), and it never enters a folder that is one of
// its own ancestors (a bind mount of a parent), so it always ends. A folder that cannot be
// listed counts 0 and is not reported; the walk goes on with its siblings.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "library/data/PictureFilter.h"

namespace tavopix {

struct FolderWalkHooks {
    // One walked folder: its stored path and the passing files directly in it; also after a
    // stop, for the folders the walk was inside.
    std::function<void(std::u16string path, unsigned count)> report;
    // Consulted before each entry; true ends the walk.
    std::function<bool()> stopped;
    // Called before each entry (the search waits here while interactive work runs) and after
    // each entry; either may be empty.
    std::function<void()> beforeEntry;
    std::function<void()> afterEntry;
};

// Walks the stored folder `folder` (app/PathTokens.h) and returns the number of passing
// pictures in it and everything below it; 0 when it cannot be expanded or listed.
unsigned WalkFolder(std::u16string_view folder, const PictureFilter& filter,
                    const FolderWalkHooks& hooks);

}  // namespace tavopix
