// Internal to image/: the part of making a thumbnail that starts from the picture's bytes,
// shared by MakeThumbnail and by RotatePicture, which remakes the thumbnail of the picture it
// has just turned.
#pragma once

#include <string>

#include "image/PictureCodecs.h"
#include "library/PictureItem.h"

namespace tavopix {

// The error picture at 160 x 115 in the item; returns false for the caller to pass on.
bool SetErrorThumbnail(PictureItem& item);

// Makes the item's thumbnail from the picture in `bytes` (the file at `realPath`): the picture
// itself when it is small enough, else a JPEG written to `cacheName`. The item's thumbnail
// comes out percent-escaped.
bool WriteThumbnail(PictureItem& item, ByteSpan bytes, const std::u16string& realPath,
                    const std::u16string& cacheName);

}  // namespace tavopix
