// TIFF decoding and encoding through libtiff, over memory rather than files.
#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <memory>

#include "image/BitmapReducer.h"
#include "image/PictureCodecs.h"
#include "image/PictureHeader.h"

namespace tavopix {

namespace {

// A file in memory: read from `source`, or written into `sink`.
struct MemoryFile {
    ByteSpan source;
    Bytes* sink = nullptr;
    std::uint64_t position = 0;

    [[nodiscard]] std::uint64_t Size() const { return sink ? sink->size() : source.size(); }
};

MemoryFile& FileOf(thandle_t handle) {
    return *static_cast<MemoryFile*>(handle);
}

tmsize_t ReadProc(thandle_t handle, void* to, tmsize_t count) {
    MemoryFile& file = FileOf(handle);
    const std::uint8_t* data = file.sink ? file.sink->data() : file.source.data();
    if (count < 0 || file.position >= file.Size()) {
        return 0;
    }
    const auto take = static_cast<std::size_t>(
        std::min<std::uint64_t>(static_cast<std::uint64_t>(count), file.Size() - file.position));
    std::memcpy(to, data + file.position, take);
    file.position += take;
    return static_cast<tmsize_t>(take);
}

tmsize_t WriteProc(thandle_t handle, void* from, tmsize_t count) {
    MemoryFile& file = FileOf(handle);
    if (file.sink == nullptr || count < 0) {
        return -1;
    }
    const std::uint64_t end = file.position + static_cast<std::uint64_t>(count);
    if (end > file.sink->size()) {
        file.sink->resize(end);
    }
    std::memcpy(file.sink->data() + file.position, from, static_cast<std::size_t>(count));
    file.position = end;
    return count;
}

toff_t SeekProc(thandle_t handle, toff_t offset, int whence) {
    MemoryFile& file = FileOf(handle);
    std::uint64_t base = 0;
    if (whence == SEEK_CUR) {
        base = file.position;
    } else if (whence == SEEK_END) {
        base = file.Size();
    }
    file.position = base + offset;
    return file.position;
}

int CloseProc(thandle_t) {
    return 0;
}
toff_t SizeProc(thandle_t handle) {
    return FileOf(handle).Size();
}

int MapProc(thandle_t handle, void** base, toff_t* size) {
    MemoryFile& file = FileOf(handle);
    if (file.sink != nullptr) {
        return 0;
    }
    *base = const_cast<std::uint8_t*>(file.source.data());
    *size = file.source.size();
    return 1;
}

void UnmapProc(thandle_t, void*, toff_t) {}

int Silent(TIFF*, void*, const char*, const char*, va_list) {
    return 1;
}

struct TiffCloser {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};

// Opens with handlers that stay silent and an allocation cap, both per handle, so one thread's
// broken file neither prints nor disturbs another thread's.
std::unique_ptr<TIFF, TiffCloser> Open(MemoryFile& file, const char* mode) {
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (options == nullptr) {
        return nullptr;
    }
    TIFFOpenOptionsSetErrorHandlerExtR(options, Silent, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, Silent, nullptr);
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, static_cast<tmsize_t>(kMaxPicturePixels * 4));
    TIFF* tiff = TIFFClientOpenExt("memory", mode, &file, ReadProc, WriteProc, SeekProc, CloseProc,
                                   SizeProc, MapProc, UnmapProc, options);
    TIFFOpenOptionsFree(options);
    return std::unique_ptr<TIFF, TiffCloser>(tiff);
}

bool HasAlpha(TIFF* tiff) {
    std::uint16_t count = 0;
    std::uint16_t* kinds = nullptr;
    if (TIFFGetField(tiff, TIFFTAG_EXTRASAMPLES, &count, &kinds) != 1 || kinds == nullptr) {
        return false;
    }
    return std::any_of(kinds, kinds + count, [](std::uint16_t kind) {
        return kind == EXTRASAMPLE_ASSOCALPHA || kind == EXTRASAMPLE_UNASSALPHA;
    });
}

// One pixel of the library's packed RGBA, whose alpha comes premultiplied, as the bitmap keeps
// it: straight alpha, or none.
void StoreStraight(std::uint32_t pixel, bool alpha, std::uint8_t* to) {
    const unsigned a = TIFFGetA(pixel);
    auto straight = [&](unsigned c) {
        return alpha && a < 255 ? (a == 0 ? 0u : std::min(255u, (c * 255 + a / 2) / a)) : c;
    };
    to[0] = static_cast<std::uint8_t>(straight(TIFFGetR(pixel)));
    to[1] = static_cast<std::uint8_t>(straight(TIFFGetG(pixel)));
    to[2] = static_cast<std::uint8_t>(straight(TIFFGetB(pixel)));
    if (alpha) {
        to[3] = static_cast<std::uint8_t>(a);
    }
}

// Reads the picture a band of rows at a time (strips and tiles alike) into `reducer`, so the
// raster the library fills never holds more than about a megapixel.
bool ReadReduced(TIFF* tiff, std::uint32_t width, std::uint32_t height, bool alpha,
                 BitmapReducer& reducer) {
    char message[1024];
    TIFFRGBAImage image;
    if (TIFFRGBAImageOK(tiff, message) != 1 || TIFFRGBAImageBegin(&image, tiff, 1, message) != 1) {
        return false;
    }
    image.req_orientation = ORIENTATION_TOPLEFT;
    const std::uint32_t band = std::clamp<std::uint32_t>((1u << 20) / width, 1, height);
    std::vector<std::uint32_t> raster(static_cast<std::size_t>(width) * band);
    const int channels = alpha ? 4 : 3;
    std::vector<std::uint8_t> row(static_cast<std::size_t>(width) * channels);
    bool read = true;
    for (std::uint32_t top = 0; read && top < height; top += band) {
        const std::uint32_t rows = std::min(band, height - top);
        image.row_offset = static_cast<int>(top);
        read = TIFFRGBAImageGet(&image, raster.data(), width, rows) == 1;
        for (std::uint32_t r = 0; read && r < rows; ++r) {
            const std::uint32_t* from = raster.data() + static_cast<std::size_t>(r) * width;
            for (std::uint32_t x = 0; x < width; ++x) {
                StoreStraight(from[x], alpha, row.data() + static_cast<std::size_t>(x) * channels);
            }
            reducer.Add(static_cast<int>(top + r), row.data());
        }
    }
    TIFFRGBAImageEnd(&image);
    return read;
}

}  // namespace

std::optional<Bitmap> DecodeTiff(ByteSpan bytes, int coverWidth, int coverHeight) {
    MemoryFile file{bytes, nullptr, 0};
    const auto tiff = Open(file, "rm");
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    if (!tiff || TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &width) != 1 ||
        TIFFGetField(tiff.get(), TIFFTAG_IMAGELENGTH, &height) != 1 ||
        !FitsPixelBudget(width, height, bytes.size())) {
        return std::nullopt;
    }
    const bool alpha = HasAlpha(tiff.get());
    if (const int factor = BitmapReducer::FactorFor(width, height, coverWidth, coverHeight);
        factor > 1) {
        BitmapReducer reducer(static_cast<int>(width), static_cast<int>(height), alpha ? 4 : 3,
                              factor);
        if (!ReadReduced(tiff.get(), width, height, alpha, reducer)) {
            return std::nullopt;
        }
        return reducer.Finish();
    }
    std::vector<std::uint32_t> raster(static_cast<std::size_t>(width) * height);
    if (TIFFReadRGBAImageOriented(tiff.get(), width, height, raster.data(), ORIENTATION_TOPLEFT,
                                  1) != 1) {
        return std::nullopt;
    }
    Bitmap bitmap = MakeBitmap(static_cast<int>(width), static_cast<int>(height), alpha ? 4 : 3);
    std::uint8_t* to = bitmap.pixels.data();
    for (const std::uint32_t pixel : raster) {
        StoreStraight(pixel, alpha, to);
        to += bitmap.channels;
    }
    return bitmap;
}

bool EncodeTiff(const Bitmap& bitmap, Bytes& out) {
    if (bitmap.IsEmpty()) {
        return false;
    }
    Bytes encoded;
    MemoryFile file{{}, &encoded, 0};
    {
        const auto tiff = Open(file, "w");
        if (!tiff) {
            return false;
        }
        TIFF* t = tiff.get();
        TIFFSetField(t, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(bitmap.width));
        TIFFSetField(t, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(bitmap.height));
        TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, static_cast<std::uint16_t>(bitmap.channels));
        TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, static_cast<std::uint16_t>(8));
        TIFFSetField(t, TIFFTAG_PLANARCONFIG, static_cast<std::uint16_t>(PLANARCONFIG_CONTIG));
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, static_cast<std::uint16_t>(PHOTOMETRIC_RGB));
        TIFFSetField(t, TIFFTAG_COMPRESSION, static_cast<std::uint16_t>(COMPRESSION_LZW));
        TIFFSetField(t, TIFFTAG_ORIENTATION, static_cast<std::uint16_t>(ORIENTATION_TOPLEFT));
        if (bitmap.channels == 4) {
            const std::uint16_t kinds[1] = {EXTRASAMPLE_UNASSALPHA};
            TIFFSetField(t, TIFFTAG_EXTRASAMPLES, static_cast<std::uint16_t>(1), kinds);
        }
        TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(t, 0));
        for (int y = 0; y < bitmap.height; ++y) {
            auto* row = const_cast<std::uint8_t*>(bitmap.pixels.data() + bitmap.Stride() * y);
            if (TIFFWriteScanline(t, row, static_cast<std::uint32_t>(y), 0) != 1) {
                return false;
            }
        }
        if (TIFFFlush(t) != 1) {
            return false;
        }
    }
    out = std::move(encoded);
    return true;
}

}  // namespace tavopix
