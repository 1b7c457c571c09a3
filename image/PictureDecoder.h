// Internal to image/: decoding a picture of any of the five formats, told by its content, and
// the one path from a picture to a smaller JPEG that thumbnails and uploads share.
#pragma once

#include "image/PictureCodecs.h"
#include "image/PictureHeader.h"

namespace tavopix {

// The picture decoded, at full size or, for a smaller coverWidth x coverHeight, reduced while
// it is decoded where the codec allows (a JPEG at a DCT scale, a PNG row by row, a TIFF strip
// by strip, a GIF's colours as they are put in) to a size that still covers it. Fails beyond the
// pixel limit and on any corrupt or truncated data.
[[nodiscard]] std::optional<Bitmap> DecodePicture(ByteSpan bytes, const PictureHeader& header,
                                                  int coverWidth = 0, int coverHeight = 0);

// The picture standing as it is seen (a JPEG turned by its Exif orientation), decoded at the
// cheapest scale that still covers coverWidth x coverHeight of the upright picture.
[[nodiscard]] std::optional<Bitmap> DecodeUpright(ByteSpan bytes, const PictureHeader& header,
                                                  int coverWidth = 0, int coverHeight = 0);

// The picture as a JPEG of exactly width x height, standing as it is seen: decoded at the
// cheapest covering scale, turned upright, resampled, its transparency composited onto white,
// encoded with the encoder's defaults.
[[nodiscard]] bool EncodeResizedJpeg(ByteSpan bytes, const PictureHeader& header, int width,
                                     int height, Bytes& out);

// The same from a bitmap already decoded.
[[nodiscard]] bool EncodeResizedJpeg(const Bitmap& bitmap, int width, int height, Bytes& out);

}  // namespace tavopix
