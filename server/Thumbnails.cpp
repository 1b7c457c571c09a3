#include "Thumbnails.h"

#include <fcntl.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_ONLY_GIF
#define STBI_ONLY_BMP
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#include <stb/stb_image.h>

namespace albumd {

namespace {

struct Rgb {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> pixels;  // 3 bytes a pixel
};

using TurboHandle = std::unique_ptr<void, int (*)(tjhandle)>;

std::uint32_t ReadNumber(const unsigned char* p, bool bigEndian, int bytes) {
    std::uint32_t value = 0;
    for (int i = 0; i < bytes; ++i) {
        const int shift = 8 * (bigEndian ? bytes - 1 - i : i);
        value |= static_cast<std::uint32_t>(p[i]) << shift;
    }
    return value;
}

// The EXIF orientation (1–8) of a JPEG, 1 when it has none.
int JpegOrientation(const std::string& jpeg) {
    const auto* data = reinterpret_cast<const unsigned char*>(jpeg.data());
    std::size_t pos = 2;
    while (pos + 4 <= jpeg.size() && data[pos] == 0xFF) {
        const unsigned marker = data[pos + 1];
        const std::size_t length = ReadNumber(data + pos + 2, true, 2);
        if (marker == 0xDA || length < 2 || pos + 2 + length > jpeg.size())
            break;
        const unsigned char* segment = data + pos + 4;
        if (marker == 0xE1 && length >= 16 &&
            std::string_view(reinterpret_cast<const char*>(segment), 6) ==
                std::string_view("Exif\0\0", 6)) {
            const unsigned char* tiff = segment + 6;
            const std::size_t size = length - 8;
            const bool big = tiff[0] == 'M';
            const std::uint32_t ifd = ReadNumber(tiff + 4, big, 4);
            if (ifd + 2 > size)
                return 1;
            const std::uint32_t count = ReadNumber(tiff + ifd, big, 2);
            for (std::uint32_t i = 0; i < count && ifd + 2 + 12 * (i + 1) <= size; ++i) {
                const unsigned char* entry = tiff + ifd + 2 + 12 * i;
                if (ReadNumber(entry, big, 2) == 0x0112) {
                    const std::uint32_t value = ReadNumber(entry + 8, big, 2);
                    return value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
                }
            }
            return 1;
        }
        pos += 2 + length;
    }
    return 1;
}

bool DecodeJpeg(const std::string& bytes, Rgb& image) {
    TurboHandle handle(tjInitDecompress(), tjDestroy);
    if (!handle)
        return false;
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    int width = 0, height = 0, subsampling = 0, colorspace = 0;
    if (tjDecompressHeader3(handle.get(), data, bytes.size(), &width, &height, &subsampling,
                            &colorspace) != 0) {
        return false;
    }
    // The smallest scale the decoder offers that still covers the thumbnail.
    int count = 0;
    const tjscalingfactor* factors = tjGetScalingFactors(&count);
    tjscalingfactor best{1, 1};
    int bestSide = std::max(width, height);
    for (int i = 0; i < count; ++i) {
        const int side = std::max(TJSCALED(width, factors[i]), TJSCALED(height, factors[i]));
        if (side >= kThumbnailSize && side < bestSide) {
            best = factors[i];
            bestSide = side;
        }
    }
    image.width = TJSCALED(width, best);
    image.height = TJSCALED(height, best);
    image.pixels.resize(static_cast<std::size_t>(image.width) * image.height * 3);
    return tjDecompress2(handle.get(), data, bytes.size(), image.pixels.data(), image.width, 0,
                         image.height, TJPF_RGB, 0) == 0;
}

bool DecodeOther(const std::string& bytes, Rgb& image) {
    int width = 0, height = 0, channels = 0;
    std::unique_ptr<unsigned char, void (*)(void*)> pixels(
        stbi_load_from_memory(reinterpret_cast<const unsigned char*>(bytes.data()),
                              static_cast<int>(bytes.size()), &width, &height, &channels, 3),
        stbi_image_free);
    if (!pixels)
        return false;
    image.width = width;
    image.height = height;
    image.pixels.assign(pixels.get(), pixels.get() + static_cast<std::size_t>(width) * height * 3);
    return true;
}

// Averages the source pixels each target pixel covers.
Rgb Shrink(const Rgb& source, int width, int height) {
    Rgb target{width, height,
               std::vector<unsigned char>(static_cast<std::size_t>(width) * height * 3)};
    for (int y = 0; y < height; ++y) {
        const int y0 = y * source.height / height;
        const int y1 = std::max(y0 + 1, (y + 1) * source.height / height);
        for (int x = 0; x < width; ++x) {
            const int x0 = x * source.width / width;
            const int x1 = std::max(x0 + 1, (x + 1) * source.width / width);
            unsigned sum[3] = {0, 0, 0};
            for (int sy = y0; sy < y1; ++sy) {
                const unsigned char* p =
                    &source.pixels[(static_cast<std::size_t>(sy) * source.width + x0) * 3];
                for (int sx = x0; sx < x1; ++sx, p += 3) {
                    sum[0] += p[0];
                    sum[1] += p[1];
                    sum[2] += p[2];
                }
            }
            const unsigned n = static_cast<unsigned>((y1 - y0) * (x1 - x0));
            unsigned char* out = &target.pixels[(static_cast<std::size_t>(y) * width + x) * 3];
            for (int c = 0; c < 3; ++c)
                out[c] = static_cast<unsigned char>(sum[c] / n);
        }
    }
    return target;
}

// Turns the picture as EXIF orientation `orientation` says it is to be seen.
Rgb Orient(const Rgb& source, int orientation) {
    if (orientation <= 1)
        return source;
    const bool swap = orientation >= 5;
    Rgb target{swap ? source.height : source.width, swap ? source.width : source.height,
               std::vector<unsigned char>(source.pixels.size())};
    // Orientations 5-8 swap the axes; each orientation then mirrors none, one or both of them.
    const bool mirrorX =
        orientation == 2 || orientation == 3 || orientation == 7 || orientation == 8;
    const bool mirrorY =
        orientation == 3 || orientation == 4 || orientation == 6 || orientation == 7;
    for (int y = 0; y < target.height; ++y) {
        for (int x = 0; x < target.width; ++x) {
            int sx = swap ? y : x, sy = swap ? x : y;
            if (mirrorX)
                sx = source.width - 1 - sx;
            if (mirrorY)
                sy = source.height - 1 - sy;
            const unsigned char* p =
                &source.pixels[(static_cast<std::size_t>(sy) * source.width + sx) * 3];
            unsigned char* out =
                &target.pixels[(static_cast<std::size_t>(y) * target.width + x) * 3];
            out[0] = p[0];
            out[1] = p[1];
            out[2] = p[2];
        }
    }
    return target;
}

bool WriteJpeg(const Rgb& image, const std::string& target) {
    TurboHandle handle(tjInitCompress(), tjDestroy);
    if (!handle)
        return false;
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    if (tjCompress2(handle.get(), image.pixels.data(), image.width, 0, image.height, TJPF_RGB,
                    &jpeg, &size, TJSAMP_420, 82, 0) != 0) {
        tjFree(jpeg);
        return false;
    }
    const std::string temp = target + ".part";
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    bool written = fd >= 0 && ::write(fd, jpeg, size) == static_cast<ssize_t>(size);
    if (fd >= 0)
        written = ::close(fd) == 0 && written;
    tjFree(jpeg);
    if (!written || std::rename(temp.c_str(), target.c_str()) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

}  // namespace

bool MakeThumbnail(const std::string& source, const std::string& mime, const std::string& target) {
    const bool jpeg = mime == "image/jpeg";
    if (!jpeg && mime != "image/png" && mime != "image/gif" && mime != "image/bmp")
        return false;
    std::ifstream in(source, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Rgb image;
    if (!(jpeg ? DecodeJpeg(bytes, image) : DecodeOther(bytes, image)) || image.width <= 0 ||
        image.height <= 0) {
        return false;
    }
    const double scale =
        std::min(1.0, static_cast<double>(kThumbnailSize) / std::max(image.width, image.height));
    const int width = std::max(1, static_cast<int>(image.width * scale + 0.5));
    const int height = std::max(1, static_cast<int>(image.height * scale + 0.5));
    Rgb thumb = scale < 1.0 ? Shrink(image, width, height) : std::move(image);
    return WriteJpeg(jpeg ? Orient(thumb, JpegOrientation(bytes)) : thumb, target);
}

}  // namespace albumd
