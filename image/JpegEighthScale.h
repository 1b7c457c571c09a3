// Internal to image/: a progressive JPEG decoded at 1/8 scale from only the scans that scale
// reads. At 1/8 each 8 x 8 block becomes one pixel from its DC coefficient alone, except in a
// component subsampled both ways, which the decoder expands from a larger block instead of
// upsampling and so reads its AC coefficients as well. The AC scans of every other component
// (the luminance's, most of a progressive file) are skipped by their markers, never
// entropy-decoded: the pixels are the very ones a decode of the whole file at 1/8 gives.
//
// The skipped scans are checked for their framing only (markers, lengths, the end of the
// image), so a truncated file is still refused; a corrupt byte inside one of them goes unseen,
// as it costs no pixel at this scale.
#pragma once

#include <optional>

#include "image/PictureCodecs.h"

namespace tavopix {

// The JPEG in `bytes` at 1/8 scale, width x height (the scaled size), RGB. Nothing when the file
// is not a progressive Huffman-coded YCbCr or greyscale JPEG of that size, when its framing
// cannot be followed, or on any warning of the decoder: the caller then decodes the whole file,
// which decides about it.
[[nodiscard]] std::optional<Bitmap> DecodeProgressiveJpegAtEighth(ByteSpan bytes, int width,
                                                                  int height);

}  // namespace tavopix
