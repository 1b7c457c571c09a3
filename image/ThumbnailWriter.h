// Internal to image/: the part of making a thumbnail that starts from the picture's bytes,
// shared by MakeFileThumbnail and by RotatePictureAndThumbnail, which remakes the thumbnail of the
// picture it has just turned.
#pragma once

#include <string>

#include "image/PictureCodecs.h"
#include "image/Thumbnail.h"

namespace tavopix {

// The error picture at 160 x 115, not ok.
[[nodiscard]] Thumbnail ErrorThumbnail();

// The thumbnail of the picture in `bytes` (the file at `realPath`): the picture itself when it
// is small enough, else a JPEG written to `cacheName`.
[[nodiscard]] Thumbnail WriteThumbnail(ByteSpan bytes, const std::u16string& realPath,
                                       const std::u16string& cacheName);

}  // namespace tavopix
