// JPEG decoding and encoding through TurboJPEG.
#include <turbojpeg.h>

#include <memory>

#include "image/JpegEighthScale.h"
#include "image/PictureCodecs.h"
#include "image/PictureHeader.h"
#include "image/TurboHandle.h"

namespace tavopix {

namespace {

// Adobe's CMYK JPEGs store inverted inks, so each channel times K is the RGB value.
Bitmap RgbFromInvertedCmyk(const std::vector<std::uint8_t>& cmyk, int width, int height) {
    Bitmap rgb = MakeBitmap(width, height, 3);
    const std::size_t count = static_cast<std::size_t>(width) * height;
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned k = cmyk[i * 4 + 3];
        for (int c = 0; c < 3; ++c) {
            rgb.pixels[i * 3 + c] = static_cast<std::uint8_t>((cmyk[i * 4 + c] * k + 127) / 255);
        }
    }
    return rgb;
}

// The smallest scaling factor not above 1 whose result still covers the requested size.
tjscalingfactor SmallestCoveringScale(int width, int height, int coverWidth, int coverHeight) {
    tjscalingfactor best{1, 1};
    int count = 0;
    const tjscalingfactor* factors = tjGetScalingFactors(&count);
    for (int i = 0; factors != nullptr && i < count; ++i) {
        const tjscalingfactor& factor = factors[i];
        if (factor.num > factor.denom) {
            continue;
        }
        const int scaledWidth = TJSCALED(width, factor);
        if (scaledWidth >= coverWidth && TJSCALED(height, factor) >= coverHeight &&
            scaledWidth < TJSCALED(width, best)) {
            best = factor;
        }
    }
    return best;
}

// The scale to decode at for a picture to be resampled to coverWidth x coverHeight. At 1/8 the
// decoder keeps only each block's average, a box filter that aliases; it is used only when it
// leaves the resampling filter a quarter as much again as the target, else the next scale up
// is. (A quarter, not more: a 12-MP photograph's thumbnail from 1/8 differs from one from 1/4 by
// 0.3 dB at most against a Lanczos reference, invisibly, and is made four times faster.)
tjscalingfactor CoveringScale(int width, int height, int coverWidth, int coverHeight) {
    if (coverWidth <= 0 || coverHeight <= 0) {
        return {1, 1};
    }
    const tjscalingfactor scale = SmallestCoveringScale(width, height, coverWidth, coverHeight);
    const bool blockAverage = scale.num * 8 == scale.denom;
    if (blockAverage && (TJSCALED(width, scale) * 4 < coverWidth * 5 ||
                         TJSCALED(height, scale) * 4 < coverHeight * 5)) {
        return SmallestCoveringScale(width, height, coverWidth * 5 / 4 + 1,
                                     coverHeight * 5 / 4 + 1);
    }
    return scale;
}

// Runs the decompression. Warnings stop it (a truncated or corrupt stream would otherwise come
// back as a partly grey picture), except stray bytes between segments.
bool Decompress(tjhandle handle, ByteSpan bytes, std::uint8_t* to, int width, int height,
                int pixelFormat) {
    const auto size = static_cast<unsigned long>(bytes.size());
    constexpr int kFlags = TJFLAG_LIMITSCANS;
    if (tjDecompress2(handle, bytes.data(), size, to, width, 0, height, pixelFormat,
                      kFlags | TJFLAG_STOPONWARNING) == 0) {
        return true;
    }
    if (!OnlyStrayBytes(handle)) {
        return false;
    }
    return tjDecompress2(handle, bytes.data(), size, to, width, 0, height, pixelFormat, kFlags) ==
               0 ||
           tjGetErrorCode(handle) == TJERR_WARNING;
}

}  // namespace

std::optional<Bitmap> DecodeJpeg(ByteSpan bytes, int coverWidth, int coverHeight) {
    TurboHandle handle(tjInitDecompress());
    int width = 0;
    int height = 0;
    int subsampling = 0;
    int colorspace = 0;
    if (!handle || bytes.empty() ||
        !ReadTurboHeader(handle.get(), bytes.data(), static_cast<unsigned long>(bytes.size()),
                         width, height, subsampling, colorspace) ||
        !FitsPixelBudget(width, height, bytes.size())) {
        return std::nullopt;
    }
    const tjscalingfactor scale = CoveringScale(width, height, coverWidth, coverHeight);
    const int scaledWidth = TJSCALED(width, scale);
    const int scaledHeight = TJSCALED(height, scale);
    // Most photographs' thumbnails are made at 1/8, where a progressive file needs only a part of
    // its scans.
    if (scale.num * 8 == scale.denom && (colorspace == TJCS_YCbCr || colorspace == TJCS_GRAY)) {
        if (std::optional<Bitmap> eighth =
                DecodeProgressiveJpegAtEighth(bytes, scaledWidth, scaledHeight)) {
            return eighth;
        }
    }
    if (colorspace == TJCS_CMYK || colorspace == TJCS_YCCK) {
        std::vector<std::uint8_t> cmyk(static_cast<std::size_t>(scaledWidth) * scaledHeight * 4);
        if (!Decompress(handle.get(), bytes, cmyk.data(), scaledWidth, scaledHeight, TJPF_CMYK)) {
            return std::nullopt;
        }
        return RgbFromInvertedCmyk(cmyk, scaledWidth, scaledHeight);
    }
    Bitmap bitmap = MakeBitmap(scaledWidth, scaledHeight, 3);
    if (!Decompress(handle.get(), bytes, bitmap.pixels.data(), scaledWidth, scaledHeight,
                    TJPF_RGB)) {
        return std::nullopt;
    }
    return bitmap;
}

bool EncodeJpeg(const Bitmap& bitmap, int quality, ChromaSubsampling subsampling, Bytes& out) {
    if (bitmap.IsEmpty()) {
        return false;
    }
    const Bitmap flat = bitmap.channels == 3 ? Bitmap{} : FlattenOnWhite(bitmap);
    const Bitmap& rgb = bitmap.channels == 3 ? bitmap : flat;
    TurboHandle handle(tjInitCompress());
    if (!handle) {
        return false;
    }
    unsigned char* jpeg = nullptr;
    unsigned long jpegSize = 0;
    const int result =
        tjCompress2(handle.get(), rgb.pixels.data(), rgb.width, 0, rgb.height, TJPF_RGB, &jpeg,
                    &jpegSize, static_cast<int>(subsampling), quality, 0);
    std::unique_ptr<unsigned char, void (*)(unsigned char*)> owned(jpeg, tjFree);
    if (result != 0) {
        return false;
    }
    out.assign(jpeg, jpeg + jpegSize);
    return true;
}

std::optional<ChromaSubsampling> JpegSubsampling(ByteSpan bytes) {
    TurboHandle handle(tjInitDecompress());
    int width = 0;
    int height = 0;
    int subsampling = 0;
    int colorspace = 0;
    if (!handle ||
        !ReadTurboHeader(handle.get(), bytes.data(), static_cast<unsigned long>(bytes.size()),
                         width, height, subsampling, colorspace) ||
        subsampling < 0 || subsampling > static_cast<int>(ChromaSubsampling::S411)) {
        return std::nullopt;
    }
    return static_cast<ChromaSubsampling>(subsampling);
}

}  // namespace tavopix
