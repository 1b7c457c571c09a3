// Internal to image/: one decoder and encoder per file format over the codec libraries. Each
// call keeps its own decoder state, so any number of threads may decode at once. Decoders
// check the picture's size against the pixel budget of the file's size (FitsPixelBudget) before
// allocating and fail on truncated or corrupt data rather than returning a partly grey picture.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "image/Bitmap.h"

namespace tavopix {

using ByteSpan = std::span<const std::uint8_t>;
using Bytes = std::vector<std::uint8_t>;

// The encoder's own defaults, used wherever no better quality is known.
inline constexpr int kDefaultJpegQuality = 75;

// Chroma subsampling of a JPEG, numbered as the codec library numbers it.
enum class ChromaSubsampling { S444 = 0, S422 = 1, S420 = 2, Gray = 3, S440 = 4, S411 = 5 };

// Decodes a JPEG at the smallest of the codec's DCT scales (1/8 to 1) that still covers
// coverWidth x coverHeight (0 x 0: full size), so a thumbnail never pays for a full decode.
[[nodiscard]] std::optional<Bitmap> DecodeJpeg(ByteSpan bytes, int coverWidth, int coverHeight);
// Decode a PNG row by row, a TIFF strip by strip (or its tiles), reduced as they go by the
// largest whole factor that still covers coverWidth x coverHeight (0 x 0: full size), so the
// full-size picture is never held (BitmapReducer.h). A GIF's first frame is read whole as
// colour indexes (a byte a pixel) and reduced as its colours are put in.
[[nodiscard]] std::optional<Bitmap> DecodePng(ByteSpan bytes, int coverWidth = 0,
                                              int coverHeight = 0);
[[nodiscard]] std::optional<Bitmap> DecodeTiff(ByteSpan bytes, int coverWidth = 0,
                                               int coverHeight = 0);
[[nodiscard]] std::optional<Bitmap> DecodeGif(ByteSpan bytes, int coverWidth = 0,
                                              int coverHeight = 0);
[[nodiscard]] std::optional<Bitmap> DecodeBmp(ByteSpan bytes);

// Encodes an RGB bitmap (alpha, if any, is composited onto white first).
[[nodiscard]] bool EncodeJpeg(const Bitmap& bitmap, int quality, ChromaSubsampling subsampling,
                              Bytes& out);
[[nodiscard]] bool EncodePng(const Bitmap& bitmap, Bytes& out);
[[nodiscard]] bool EncodeBmp(const Bitmap& bitmap, Bytes& out);
[[nodiscard]] bool EncodeTiff(const Bitmap& bitmap, Bytes& out);

// The chroma subsampling of a JPEG, from its header.
[[nodiscard]] std::optional<ChromaSubsampling> JpegSubsampling(ByteSpan bytes);

// The JPEG turned a quarter turn as it is seen (after its Exif orientation), without decoding:
// the coefficients are transposed and every marker (Exif, ICC profile, comments) is kept, the
// orientation set to upright. Fails unless the size allows a perfect transform (whole MCUs on
// the edges that move), so no pixel is ever cropped.
[[nodiscard]] bool RotateJpegLossless(ByteSpan bytes, QuarterTurn turn, Bytes& out);

// The JPEG turned as it is seen by decoding, turning and re-encoding at the quality its
// quantisation tables show, with its subsampling turned too and its metadata segments kept,
// the orientation set to upright.
[[nodiscard]] bool RotateJpegReencoded(ByteSpan bytes, QuarterTurn turn, Bytes& out);

// The IJG quality (1..100) that the JPEG's luminance quantisation table corresponds to, or
// kDefaultJpegQuality when it has none.
[[nodiscard]] int EstimateJpegQuality(ByteSpan bytes);

// The GIF turned a quarter turn on its colour indexes: palettes, transparency and every frame
// of an animation are kept exactly.
[[nodiscard]] bool RotateGif(ByteSpan bytes, QuarterTurn turn, Bytes& out);

}  // namespace tavopix
