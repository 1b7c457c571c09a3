// The facts the viewer and the status line show about one picture file: name, size, write
// time and pixel size. The pixel size comes from the file's header alone, so even a very large
// picture is measured at once.
#pragma once

#include <cstdint>
#include <string>

namespace tavopix {

struct PictureDetails {
    std::u16string realPath;          // in: the expanded path of the picture
    std::u16string name;              // the text after the last separator
    std::uint64_t lastWriteTime = 0;  // platform/FileTime.h ticks
    std::uint32_t size = 0;           // low 32 bits of the file size
    std::int32_t width = 0;           // 0 x 0 when the picture cannot be decoded
    std::int32_t height = 0;
};

// Fills the details of `details.realPath`. False, changing nothing, when the file's attributes
// cannot be read; an unreadable picture still succeeds with 0 x 0.
bool ReadPictureDetails(PictureDetails& details);

}  // namespace tavopix
