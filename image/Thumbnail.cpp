#include "image/Thumbnail.h"

#include <algorithm>
#include <cstdio>

#include "app/AppContext.h"
#include "app/TextConvert.h"
#include "image/FileNameRules.h"
#include "image/PictureDecoder.h"
#include "image/PictureFile.h"
#include "image/ThumbnailWriter.h"
#include "platform/FileSystem.h"

namespace tavopix {

namespace {

std::uint16_t ClampToItemSize(std::uint32_t side) {
    return static_cast<std::uint16_t>(std::min<std::uint32_t>(side, 0xFFFF));
}

// Small JPEGs and PNGs are shown as they are; BMPs and GIFs always get a JPEG (GIFs would
// animate in the grid). The content must really be JPEG or PNG: a small TIFF, or a BMP under
// another name, cannot be shown by the page.
bool ServesAsOwnThumbnail(const PictureHeader& header, const std::u16string& realPath) {
    const std::u16string tail = LowerTail(realPath, 4);
    return std::uint64_t{header.width} * header.height <
               static_cast<std::uint64_t>(kOwnThumbnailArea) &&
           tail != u".bmp" && tail != u".gif" &&
           (header.format == PictureFormat::Jpeg || header.format == PictureFormat::Png);
}

}  // namespace

std::uint16_t PathChecksum(std::u16string_view path) {
    std::uint32_t sum = 0;
    for (const char16_t unit : path) {
        sum += unit;
    }
    while (sum > 0x10000) {
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    return static_cast<std::uint16_t>(~sum & 0xFFFF);
}

bool ThumbnailCacheName(const std::u16string& realPath, std::u16string& name) {
    FileAttributes attributes;
    if (!ReadFileAttributes(Utf8(realPath), attributes)) {
        return false;
    }
    char hex[32];
    std::snprintf(hex, sizeof hex, "%08x%04x%04x.jpg",
                  static_cast<unsigned>(attributes.lastWriteTime & 0xFFFFFFFF),
                  static_cast<unsigned>(attributes.size & 0xFFFF),
                  static_cast<unsigned>(PathChecksum(realPath)));
    name = appContext.iconCacheDir + FromUtf8(hex);
    return true;
}

void ScaleToThumbnail(int& width, int& height) {
    if (width < height && height > kThumbnailSide) {
        width = std::max(kMinThumbnailSide,
                         static_cast<int>(std::int64_t{width} * kThumbnailSide / height));
        height = kThumbnailSide;
    } else if (width > kThumbnailSide) {
        height = std::max(kMinThumbnailSide,
                          static_cast<int>(std::int64_t{height} * kThumbnailSide / width));
        width = kThumbnailSide;
    }
}

Thumbnail ErrorThumbnail() {
    return {appContext.errorImagePath, kErrorThumbnailWidth, kErrorThumbnailHeight, false};
}

Thumbnail WriteThumbnail(ByteSpan bytes, const std::u16string& realPath,
                         const std::u16string& cacheName) {
    const std::optional<PictureHeader> header = ReadPictureHeader(bytes);
    if (!header || !FitsPixelLimit(header->width, header->height)) {
        return ErrorThumbnail();
    }
    // Sizes are those of the picture as it is seen: the page shows a JPEG turned by its Exif
    // orientation, and a made thumbnail is written upright.
    int width = static_cast<int>(header->UprightWidth());
    int height = static_cast<int>(header->UprightHeight());
    Thumbnail made;
    if (ServesAsOwnThumbnail(*header, realPath)) {
        // Decoded all the same: a truncated small picture must not reach the page.
        if (!DecodePicture(bytes, *header)) {
            return ErrorThumbnail();
        }
        made.source = realPath;
    } else {
        ScaleToThumbnail(width, height);
        Bytes jpeg;
        if (!EncodeResizedJpeg(bytes, *header, width, height, jpeg) ||
            !ReplaceFile(Utf8(cacheName), jpeg)) {
            return ErrorThumbnail();
        }
        made.source = cacheName;
    }
    made.width = ClampToItemSize(static_cast<std::uint32_t>(width));
    made.height = ClampToItemSize(static_cast<std::uint32_t>(height));
    made.ok = true;
    PercentEscape(made.source);
    return made;
}

Thumbnail MakeFileThumbnail(const std::u16string& realPath) {
    std::u16string cacheName;
    if (!ThumbnailCacheName(realPath, cacheName)) {
        return ErrorThumbnail();
    }
    const std::string cacheFile = Utf8(cacheName);
    if (PathExists(cacheFile)) {
        // A cached thumbnail is only measured; one that cannot be read still counts, at 0 x 0.
        Thumbnail cached{cacheName, 0, 0, true};
        if (const std::optional<PictureHeader> header = ReadPictureHeaderOfFile(cacheFile)) {
            cached.width = ClampToItemSize(header->width);
            cached.height = ClampToItemSize(header->height);
        }
        PercentEscape(cached.source);
        return cached;
    }
    Bytes bytes;
    if (!ReadWholeFile(Utf8(realPath), bytes)) {
        return ErrorThumbnail();
    }
    return WriteThumbnail(bytes, realPath, cacheName);
}

}  // namespace tavopix
