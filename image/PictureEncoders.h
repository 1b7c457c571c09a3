// The picture encoders this program can write with, found by MIME type, and writing a bitmap
// with one of them.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "image/Bitmap.h"
#include "image/PictureHeader.h"

namespace tavopix {

// The index of the encoder for `mimeType` ("image/bmp", "image/jpeg", "image/gif",
// "image/tiff", "image/png", compared exactly) with its format in `format`; -1 when there is
// none.
[[nodiscard]] int FindEncoder(std::u16string_view mimeType, PictureFormat& format);

// The bitmap in `format` with that encoder's defaults (JPEG: quality 75, 4:2:0, alpha on white).
[[nodiscard]] bool EncodePicture(const Bitmap& bitmap, PictureFormat format,
                                 std::vector<std::uint8_t>& out);

}  // namespace tavopix
