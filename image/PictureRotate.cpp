#include "image/PictureRotate.h"

#include "app/TextConvert.h"
#include "image/FileNameRules.h"
#include "image/PictureDecoder.h"
#include "image/PictureEncoders.h"
#include "image/PictureFile.h"
#include "image/Thumbnail.h"
#include "image/ThumbnailWriter.h"

namespace tavopix {

namespace {

std::u16string_view MimeTypeOfExtension(std::u16string_view extension) {
    if (extension == u".jpeg" || extension == u".jpg") {
        return u"image/jpeg";
    }
    if (extension == u".gif") {
        return u"image/gif";
    }
    if (extension == u".png") {
        return u"image/png";
    }
    if (extension == u".bmp") {
        return u"image/bmp";
    }
    if (extension == u".tif") {
        return u"image/tiff";
    }
    return {};
}

bool TurnBytes(ByteSpan bytes, const PictureHeader& header, PictureFormat target, QuarterTurn turn,
               Bytes& out) {
    if (header.format == PictureFormat::Jpeg && target == PictureFormat::Jpeg) {
        return RotateJpegLossless(bytes, turn, out) || RotateJpegReencoded(bytes, turn, out);
    }
    if (header.format == PictureFormat::Gif && target == PictureFormat::Gif) {
        return RotateGif(bytes, turn, out);
    }
    // Content and name disagree, or the format has no lossless turn: decode, turn and write
    // in the format the name promises.
    const std::optional<Bitmap> decoded = DecodePicture(bytes, header);
    return decoded && EncodePicture(RotateBitmap(*decoded, turn), target, out);
}

}  // namespace

bool RotatePictureFile(const std::u16string& realPath, QuarterTurn turn, Bytes& turned) {
    PictureFormat target = PictureFormat::Jpeg;
    if (FindEncoder(MimeTypeOfExtension(LowerExtension(realPath)), target) < 0) {
        return false;
    }
    Bytes bytes;
    if (!ReadWholeFile(Utf8(realPath), bytes)) {
        return false;
    }
    const std::optional<PictureHeader> header = ReadPictureHeader(bytes);
    return header && TurnBytes(bytes, *header, target, turn, turned) &&
           ReplaceFile(Utf8(realPath), turned);
}

Thumbnail RotatePictureAndThumbnail(const std::u16string& realPath, RotateDirection direction) {
    std::u16string cacheName;
    if (realPath.empty() || !ThumbnailCacheName(realPath, cacheName)) {
        return ErrorThumbnail();
    }
    const QuarterTurn turn =
        direction == RotateDirection::Left ? QuarterTurn::CounterClockwise : QuarterTurn::Clockwise;
    Bytes turned;
    if (!RotatePictureFile(realPath, turn, turned)) {
        return ErrorThumbnail();
    }
    return WriteThumbnail(turned, realPath, cacheName);
}

}  // namespace tavopix
