// Turning a picture file in place by a quarter turn, as the grid's rotate buttons do, and
// remaking its thumbnail.
//
// JPEGs are turned losslessly (their coefficients transposed, all metadata kept) whenever their
// size allows it without cropping; otherwise, and for the other formats, the picture is decoded,
// turned and written again in the format its extension names, a JPEG at the quality it had.
// GIFs are turned on their colour indexes, every frame. The new file is written beside the old
// one and renamed over it, so a failure leaves the picture as it was.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "image/Bitmap.h"
#include "image/Thumbnail.h"

namespace tavopix {

enum class RotateDirection { Right, Left };  // clockwise, counter-clockwise

// Turns the picture file at `realPath` and remakes its thumbnail under the cache name the file
// had before. Not ok, with the error picture at 160 x 115, when the extension is not one of
// .jpg .jpeg .gif .png .bmp .tif or the picture cannot be turned or written.
[[nodiscard]] Thumbnail RotatePictureAndThumbnail(const std::u16string& realPath,
                                                  RotateDirection direction);

// The turning itself: the picture file at `realPath` (UTF-16 real path) turned and written back,
// without the thumbnail. `turned` receives the new file's bytes. Used by RotatePictureAndThumbnail
// and by the benchmarks.
[[nodiscard]] bool RotatePictureFile(const std::u16string& realPath, QuarterTurn turn,
                                     std::vector<std::uint8_t>& turned);

}  // namespace tavopix
