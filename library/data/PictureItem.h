// One picture of the grid: where it is, what the listing learned about its file, its thumbnail
// once the thumbnail worker has made it, and the flags the grid shows.
//
// Records are owned by the ItemList. The thumbnail worker writes the thumbnail fields and the
// made flag while the UI thread may read the shown flag and the other way round, so those two
// flags are atomic; everything else changes hands through the window messages that pass an
// item between the threads.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace tavopix {

struct PictureItem {
    std::uint32_t id = 0;      // identifies the item while it is in its list; set on append
    std::u16string path;       // stored path: the folder's stored path and the file name
    std::u16string thumbnail;  // thumbnail file or error picture; empty until made
    std::u16string name;       // file name
    std::uint32_t size = 0;    // low 32 bits of the file size
    std::uint32_t time = 0;    // high 32 bits of the last-write file time, for ordering
    std::uint16_t width = 0;   // thumbnail image size in pixels; 0 until made
    std::uint16_t height = 0;
    std::atomic<bool> shown{false};  // the thumbnail is in the grid cell
    std::atomic<bool> made{false};   // the thumbnail worker has handled the item
    bool uploaded = false;           // the path is in the uploaded-picture registry
    bool marked = false;             // the path is in the marked set
};

}  // namespace tavopix
