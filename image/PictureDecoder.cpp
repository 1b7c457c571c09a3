#include "image/PictureDecoder.h"

#include "image/ExifOrientation.h"
#include "image/Resample.h"

namespace tavopix {

std::optional<Bitmap> DecodePicture(ByteSpan bytes, const PictureHeader& header, int coverWidth,
                                    int coverHeight) {
    if (!FitsPixelLimit(header.width, header.height)) {
        return std::nullopt;
    }
    std::optional<Bitmap> bitmap;
    switch (header.format) {
        case PictureFormat::Jpeg:
            bitmap = DecodeJpeg(bytes, coverWidth, coverHeight);
            break;
        case PictureFormat::Png:
            bitmap = DecodePng(bytes, coverWidth, coverHeight);
            break;
        case PictureFormat::Gif:
            bitmap = DecodeGif(bytes, coverWidth, coverHeight);
            break;
        case PictureFormat::Bmp:
            bitmap = DecodeBmp(bytes);
            break;
        case PictureFormat::Tiff:
            bitmap = DecodeTiff(bytes, coverWidth, coverHeight);
            break;
    }
    if (bitmap && bitmap->IsEmpty()) {
        return std::nullopt;
    }
    return bitmap;
}

bool EncodeResizedJpeg(const Bitmap& bitmap, int width, int height, Bytes& out) {
    if (width < 1 || height < 1) {
        return false;
    }
    // Flattening first keeps the colour of fully transparent pixels out of their neighbours.
    const Bitmap resized = bitmap.channels == 3
                               ? ResizeBitmap(bitmap, width, height)
                               : ResizeBitmap(FlattenOnWhite(bitmap), width, height);
    return EncodeJpeg(resized, kDefaultJpegQuality, ChromaSubsampling::S420, out);
}

std::optional<Bitmap> DecodeUpright(ByteSpan bytes, const PictureHeader& header, int coverWidth,
                                    int coverHeight) {
    const bool turned = header.Turned();
    std::optional<Bitmap> bitmap = DecodePicture(bytes, header, turned ? coverHeight : coverWidth,
                                                 turned ? coverWidth : coverHeight);
    if (bitmap && header.orientation != kUprightOrientation) {
        bitmap = TransformBitmap(*bitmap, UprightTransform(header.orientation));
    }
    return bitmap;
}

bool EncodeResizedJpeg(ByteSpan bytes, const PictureHeader& header, int width, int height,
                       Bytes& out) {
    const std::optional<Bitmap> bitmap = DecodeUpright(bytes, header, width, height);
    return bitmap && EncodeResizedJpeg(*bitmap, width, height, out);
}

}  // namespace tavopix
