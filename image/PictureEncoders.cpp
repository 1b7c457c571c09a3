#include "image/PictureEncoders.h"

#include <array>

#include "image/PictureCodecs.h"

namespace tavopix {

namespace {

struct Encoder {
    std::u16string_view mimeType;
    PictureFormat format;
};

constexpr std::array<Encoder, 5> kEncoders = {{
    {u"image/bmp", PictureFormat::Bmp},
    {u"image/jpeg", PictureFormat::Jpeg},
    {u"image/gif", PictureFormat::Gif},
    {u"image/tiff", PictureFormat::Tiff},
    {u"image/png", PictureFormat::Png},
}};

}  // namespace

int FindEncoder(std::u16string_view mimeType, PictureFormat& format) {
    for (std::size_t i = 0; i < kEncoders.size(); ++i) {
        if (kEncoders[i].mimeType == mimeType) {
            format = kEncoders[i].format;
            return static_cast<int>(i);
        }
    }
    return -1;
}

bool EncodePicture(const Bitmap& bitmap, PictureFormat format, std::vector<std::uint8_t>& out) {
    switch (format) {
        case PictureFormat::Jpeg:
            return EncodeJpeg(bitmap, kDefaultJpegQuality, ChromaSubsampling::S420, out);
        case PictureFormat::Png:
            return EncodePng(bitmap, out);
        case PictureFormat::Bmp:
            return EncodeBmp(bitmap, out);
        case PictureFormat::Tiff:
            return EncodeTiff(bitmap, out);
        case PictureFormat::Gif:
            return false;  // GIFs are only ever turned on their own indexes
    }
    return false;
}

}  // namespace tavopix
