// BMP decoding and encoding through stb, compiled here once for the whole program.
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_BMP
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

#include <memory>

#include "image/ByteReading.h"
#include "image/PictureCodecs.h"
#include "image/PictureHeader.h"

namespace tavopix {

namespace {

// The decoder reads uncompressed pixels only, takes unknown compression codes for uncompressed
// and pads a short pixel array with zeros instead of failing. So only uncompressed files whose
// rows are all there go to it.
bool IsWholeUncompressedBmp(ByteSpan bytes, std::uint32_t width, std::uint32_t height) {
    if (bytes.size() < 30) {
        return false;
    }
    const std::uint32_t pixelsOffset = LittleEndian32(bytes.data() + 10);
    const std::uint32_t infoSize = LittleEndian32(bytes.data() + 14);
    const bool core = infoSize == 12;
    if (!core && bytes.size() < 34) {
        return false;
    }
    const std::uint32_t bitsPerPixel = LittleEndian16(bytes.data() + (core ? 24 : 28));
    const std::uint32_t compression = core ? 0 : LittleEndian32(bytes.data() + 30);
    constexpr std::uint32_t kRgb = 0;
    constexpr std::uint32_t kBitFields = 3;
    constexpr std::uint32_t kAlphaBitFields = 6;
    if (compression != kRgb && compression != kBitFields && compression != kAlphaBitFields) {
        return false;
    }
    if (bitsPerPixel != 1 && bitsPerPixel != 4 && bitsPerPixel != 8 && bitsPerPixel != 16 &&
        bitsPerPixel != 24 && bitsPerPixel != 32) {
        return false;
    }
    const std::uint64_t stride = (std::uint64_t{width} * bitsPerPixel + 31) / 32 * 4;
    return std::uint64_t{pixelsOffset} + stride * height <= bytes.size();
}

void WriteToMemory(void* context, void* data, int size) {
    auto* out = static_cast<Bytes*>(context);
    const auto* from = static_cast<const std::uint8_t*>(data);
    out->insert(out->end(), from, from + size);
}

}  // namespace

std::optional<Bitmap> DecodeBmp(ByteSpan bytes) {
    const std::optional<PictureHeader> header = ReadPictureHeader(bytes);
    if (!header || header->format != PictureFormat::Bmp ||
        !FitsPixelBudget(header->width, header->height, bytes.size()) ||
        !IsWholeUncompressedBmp(bytes, header->width, header->height)) {
        return std::nullopt;
    }
    int width = 0;
    int height = 0;
    int channels = 0;
    std::unique_ptr<stbi_uc, void (*)(void*)> pixels(
        stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &width, &height,
                              &channels, 0),
        stbi_image_free);
    if (!pixels || (channels != 3 && channels != 4) ||
        static_cast<std::uint32_t>(width) != header->width ||
        static_cast<std::uint32_t>(height) != header->height) {
        return std::nullopt;
    }
    Bitmap bitmap = MakeBitmap(width, height, channels);
    std::copy(pixels.get(), pixels.get() + bitmap.pixels.size(), bitmap.pixels.begin());
    return bitmap;
}

bool EncodeBmp(const Bitmap& bitmap, Bytes& out) {
    Bytes encoded;
    if (bitmap.IsEmpty() ||
        stbi_write_bmp_to_func(WriteToMemory, &encoded, bitmap.width, bitmap.height,
                               bitmap.channels, bitmap.pixels.data()) == 0) {
        return false;
    }
    out = std::move(encoded);
    return true;
}

}  // namespace tavopix
