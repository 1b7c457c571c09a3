// What the picture search and the folder listing report for one folder: its stored path and
// the number of pictures that pass the filter directly in it (not below it). Posted to the main
// window with WM_FOLDER_RESULT; the receiver, or whoever drops the queued message, frees it.
#pragma once

#include <string>

namespace tavopix {

struct FolderResult {
    std::u16string path;
    unsigned count = 0;
};

}  // namespace tavopix
