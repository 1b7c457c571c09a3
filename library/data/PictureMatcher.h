// The one rule that decides whether a directory entry is a picture the library shows: its
// extension names a chosen type, its size lies in a chosen size class, and, with an age filter,
// it was last written recently enough. Used by the picture search, the folder listing and the
// collection of a folder's pictures for upload.
#pragma once

#include <cstdint>
#include <string_view>

#include "library/data/PictureFilter.h"
#include "platform/FileTime.h"

namespace tavopix {

class PictureMatcher {
public:
    // The age cut-off is fixed here from `nowFileTime`, once per walk of a folder. File times
    // are those of platform/FileTime.h.
    PictureMatcher(const PictureFilter& filter, std::uint64_t nowFileTime);

    // `size` is the low 32 bits of the file size.
    bool Matches(std::u16string_view name, bool isDirectory, std::uint32_t size,
                 std::uint64_t lastWriteFileTime) const;

private:
    bool TypeMatches(std::u16string_view name) const;
    bool SizeMatches(std::uint32_t size) const;

    PictureFilter filter_;
    std::uint64_t cutoffSeconds_ = 0;  // oldest last-write second that passes; 0: no age filter
};

}  // namespace tavopix
