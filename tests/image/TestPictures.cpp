#include "TestPictures.h"

#include <gif_lib.h>
#include <turbojpeg.h>

#include <cmath>
#include <fstream>
#include <random>

#include "app/AppContext.h"
#include "app/TextConvert.h"

namespace tavopix::test {

Bitmap Gradient(int width, int height, int channels) {
    Bitmap bitmap = MakeBitmap(width, height, channels);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p =
                bitmap.pixels.data() + bitmap.Stride() * y + static_cast<std::size_t>(x) * channels;
            p[0] = static_cast<std::uint8_t>(255 * x / std::max(1, width - 1));
            p[1] = static_cast<std::uint8_t>(255 * y / std::max(1, height - 1));
            p[2] = static_cast<std::uint8_t>(128 + 100 * std::sin((x + y) / 9.0));
            if (channels == 4) {
                p[3] = static_cast<std::uint8_t>(255 - 255 * x / std::max(1, width - 1));
            }
        }
    }
    return bitmap;
}

Bitmap Flat(int width, int height, std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a) {
    Bitmap bitmap = MakeBitmap(width, height, a == 255 ? 3 : 4);
    for (std::size_t i = 0; i < bitmap.pixels.size(); i += bitmap.channels) {
        bitmap.pixels[i] = r;
        bitmap.pixels[i + 1] = g;
        bitmap.pixels[i + 2] = b;
        if (bitmap.channels == 4) {
            bitmap.pixels[i + 3] = a;
        }
    }
    return bitmap;
}

Bytes MakeJpeg(const Bitmap& bitmap, int quality, ChromaSubsampling subsampling, JpegMode mode) {
    tjhandle handle = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    const int flags = mode == JpegMode::Progressive ? TJFLAG_PROGRESSIVE : 0;
    const Bitmap rgb = FlattenOnWhite(bitmap);
    EXPECT_EQ(0, tjCompress2(handle, rgb.pixels.data(), rgb.width, 0, rgb.height, TJPF_RGB, &jpeg,
                             &size, static_cast<int>(subsampling), quality, flags));
    Bytes bytes(jpeg, jpeg + size);
    tjFree(jpeg);
    tjDestroy(handle);
    return bytes;
}

Bytes MakePng(const Bitmap& bitmap) {
    Bytes bytes;
    EXPECT_TRUE(EncodePng(bitmap, bytes));
    return bytes;
}

Bytes MakeBmp(const Bitmap& bitmap) {
    Bytes bytes;
    EXPECT_TRUE(EncodeBmp(bitmap, bytes));
    return bytes;
}

Bytes MakeTiff(const Bitmap& bitmap) {
    Bytes bytes;
    EXPECT_TRUE(EncodeTiff(bitmap, bytes));
    return bytes;
}

namespace {

int Append(GifFileType* gif, const GifByteType* data, int count) {
    auto* out = static_cast<Bytes*>(gif->UserData);
    out->insert(out->end(), data, data + count);
    return count;
}

}  // namespace

Bytes MakeGif(int width, int height, int frames, bool transparent, bool interlaced) {
    Bytes bytes;
    int error = 0;
    GifFileType* gif = EGifOpen(&bytes, Append, &error);
    GifColorType colors[4] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {10, 20, 30}};
    ColorMapObject* map = GifMakeMapObject(4, colors);
    EGifSetGifVersion(gif, true);
    EXPECT_EQ(GIF_OK, EGifPutScreenDesc(gif, width, height, 8, 0, map));
    for (int frame = 0; frame < frames; ++frame) {
        if (transparent) {
            GraphicsControlBlock control{};
            control.TransparentColor = 3;
            control.DelayTime = 10;
            GifByteType block[4];
            const std::size_t length = EGifGCBToExtension(&control, block);
            EXPECT_EQ(GIF_OK, EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE,
                                               static_cast<int>(length), block));
        }
        EXPECT_EQ(GIF_OK, EGifPutImageDesc(gif, 0, 0, width, height, interlaced, nullptr));
        std::vector<std::vector<GifPixelType>> rows(static_cast<std::size_t>(height));
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                rows[static_cast<std::size_t>(y)].push_back(
                    static_cast<GifPixelType>(GifIndexAt(x, y, frame)));
            }
        }
        static constexpr int kStart[4] = {0, 4, 2, 1};
        static constexpr int kStep[4] = {8, 8, 4, 2};
        for (int pass = 0; pass < (interlaced ? 4 : 1); ++pass) {
            for (int y = interlaced ? kStart[pass] : 0; y < height;
                 y += interlaced ? kStep[pass] : 1) {
                EXPECT_EQ(GIF_OK,
                          EGifPutLine(gif, rows[static_cast<std::size_t>(y)].data(), width));
            }
        }
    }
    EXPECT_EQ(GIF_OK, EGifCloseFile(gif, &error));
    GifFreeMapObject(map);
    return bytes;
}

double Psnr(const Bitmap& a, const Bitmap& b) {
    EXPECT_EQ(a.width, b.width);
    EXPECT_EQ(a.height, b.height);
    EXPECT_EQ(a.pixels.size(), b.pixels.size());
    if (a.pixels.size() != b.pixels.size() || a.pixels.empty()) {
        return 0;
    }
    double sum = 0;
    for (std::size_t i = 0; i < a.pixels.size(); ++i) {
        const double d = static_cast<double>(a.pixels[i]) - static_cast<double>(b.pixels[i]);
        sum += d * d;
    }
    const double mse = sum / static_cast<double>(a.pixels.size());
    return mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
}

Bytes Truncated(const Bytes& bytes, std::size_t count) {
    return Bytes(bytes.begin(),
                 bytes.begin() + static_cast<std::ptrdiff_t>(std::min(count, bytes.size())));
}

Bytes WithApp1(const Bytes& jpeg, std::string_view payload) {
    const std::size_t length = payload.size() + 2;
    const std::uint8_t marker[4] = {0xFF, 0xE1, static_cast<std::uint8_t>(length >> 8),
                                    static_cast<std::uint8_t>(length & 0xFF)};
    // Sized once and copied into: GCC 12 misreads range inserts into a short vector at -O3.
    Bytes out(jpeg.size() + sizeof marker + payload.size());
    auto at = std::copy_n(jpeg.begin(), 2, out.begin());
    at = std::copy(std::begin(marker), std::end(marker), at);
    at = std::copy(payload.begin(), payload.end(), at);
    std::copy(jpeg.begin() + 2, jpeg.end(), at);
    return out;
}

void PictureFolder::SetUp() {
    std::random_device random;
    folder_ =
        std::filesystem::temp_directory_path() / ("tavopix-image-" + std::to_string(random()));
    cache_ = folder_ / "iconsdb";
    std::filesystem::create_directories(cache_);
    appContext.iconCacheDir = FromUtf8(cache_.string() + "/");
    appContext.errorImagePath = FromUtf8(folder_.string() + "/skin/res/error_img.jpg");
}

void PictureFolder::TearDown() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

std::u16string PictureFolder::Write(const std::string& name, const Bytes& bytes) const {
    std::ofstream file(folder_ / name, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return Path(name);
}

Bytes PictureFolder::ReadBack(const std::u16string& path) const {
    std::ifstream file(Utf8(path), std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::u16string PictureFolder::Path(const std::string& name) const {
    return FromUtf8((folder_ / name).string());
}

std::vector<std::filesystem::path> PictureFolder::CacheFiles() const {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(cache_)) {
        files.push_back(entry.path());
    }
    return files;
}

}  // namespace tavopix::test
