// Picture files as found on disk: the header reader, every decoder, and the lossless turns that
// parse a whole file (JPEG coefficients, GIF frames).
#include <cstdint>

#include "image/PictureCodecs.h"
#include "image/PictureDecoder.h"
#include "image/PictureHeader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tavopix;
    const ByteSpan bytes(data, size);
    const std::optional<PictureHeader> header = ReadPictureHeader(bytes);
    if (!header) {
        return 0;
    }
    if (const std::optional<Bitmap> bitmap = DecodePicture(bytes, *header, 32, 32)) {
        if (bitmap->pixels.size() != bitmap->Stride() * static_cast<std::size_t>(bitmap->height)) {
            __builtin_trap();
        }
        Bytes jpeg;
        (void)EncodeResizedJpeg(*bitmap, 7, 5, jpeg);
    }
    Bytes turned;
    if (header->format == PictureFormat::Gif) {
        (void)RotateGif(bytes, QuarterTurn::Clockwise, turned);
    } else if (header->format == PictureFormat::Jpeg) {
        (void)EstimateJpegQuality(bytes);
        (void)RotateJpegLossless(bytes, QuarterTurn::CounterClockwise, turned);
    }
    return 0;
}
