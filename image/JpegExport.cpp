#include "image/JpegExport.h"

#include <algorithm>
#include <cstdint>

#include "app/TextConvert.h"
#include "image/ExifOrientation.h"
#include "image/FileNameRules.h"
#include "image/PictureDecoder.h"
#include "image/PictureFile.h"

namespace tavopix {

namespace {

struct LoadedPicture {
    Bytes bytes;
    PictureHeader header;
};

std::optional<LoadedPicture> LoadPicture(const std::u16string& path) {
    LoadedPicture picture;
    if (!ReadWholeFile(Utf8(path), picture.bytes)) {
        return std::nullopt;
    }
    const std::optional<PictureHeader> header = ReadPictureHeader(picture.bytes);
    if (!header || !FitsPixelLimit(header->width, header->height)) {
        return std::nullopt;
    }
    picture.header = *header;
    return picture;
}

// An upright JPEG that decodes to the end. The smallest DCT scale still reads every
// coefficient, so this finds truncation and corruption at an eighth of the cost of a full
// decode. A JPEG turned by its Exif orientation is written anew, standing upright, so that
// whatever reads it later sees what the user saw.
bool IsSoundUprightJpeg(const LoadedPicture& picture) {
    return picture.header.format == PictureFormat::Jpeg &&
           picture.header.orientation == kUprightOrientation &&
           DecodeJpeg(picture.bytes, 1, 1).has_value();
}

bool WriteFullSizeJpeg(const LoadedPicture& picture, const std::u16string& target) {
    const std::optional<Bitmap> bitmap = DecodeUpright(picture.bytes, picture.header);
    Bytes jpeg;
    return bitmap && EncodeJpeg(*bitmap, kDefaultJpegQuality, ChromaSubsampling::S420, jpeg) &&
           ReplaceFile(Utf8(target), jpeg);
}

}  // namespace

bool ConvertToJpeg(const std::u16string& source, const std::u16string& target) {
    const std::optional<LoadedPicture> picture = LoadPicture(source);
    if (!picture) {
        return false;
    }
    if (IsSoundUprightJpeg(*picture)) {
        return ReplaceFile(Utf8(target), picture->bytes);
    }
    return WriteFullSizeJpeg(*picture, target);
}

void ScaleToFit(int& width, int& height, int side) {
    if (width <= side && height <= side) {
        return;
    }
    if (width < height) {
        width = std::max(1, static_cast<int>(static_cast<double>(side) * width / height));
        height = side;
    } else if (width > side) {
        height = std::max(1, static_cast<int>(std::int64_t{height} * side / width));
        width = side;
    }
}

FitResult FitJpeg(const std::u16string& source, const std::u16string& target, int side) {
    const std::optional<LoadedPicture> picture = LoadPicture(source);
    if (!picture || side < 1) {
        return FitResult::Failed;
    }
    int width = static_cast<int>(picture->header.UprightWidth());
    int height = static_cast<int>(picture->header.UprightHeight());
    if (width > side || height > side) {
        ScaleToFit(width, height, side);
        Bytes jpeg;
        return EncodeResizedJpeg(picture->bytes, picture->header, width, height, jpeg) &&
                       ReplaceFile(Utf8(target), jpeg)
                   ? FitResult::Written
                   : FitResult::Failed;
    }
    if (LowerTail(source, 4) == u".jpg" && IsSoundUprightJpeg(*picture)) {
        return FitResult::SourceUnchanged;
    }
    return WriteFullSizeJpeg(*picture, target) ? FitResult::Written : FitResult::Failed;
}

}  // namespace tavopix
