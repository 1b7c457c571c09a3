// The five decoders and encoders on pictures made here: round trips, transparency on white,
// odd sizes, and bad input of every kind failing cleanly without large allocations.
#include <gtest/gtest.h>
#include <png.h>
#include <sys/resource.h>
#include <tiffio.h>
#include <turbojpeg.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>

#include "TestPictures.h"
#include "image/JpegEighthScale.h"
#include "image/PictureDecoder.h"
#include "image/PictureHeader.h"
#include "image/Resample.h"

namespace tavopix {
namespace {

using test::Flat;
using test::Gradient;
using test::Psnr;
using test::Truncated;

std::optional<Bitmap> Decode(const Bytes& bytes, int coverWidth = 0, int coverHeight = 0) {
    const std::optional<PictureHeader> header = ReadPictureHeader(bytes);
    if (!header) {
        return std::nullopt;
    }
    return DecodePicture(bytes, *header, coverWidth, coverHeight);
}

TEST(Codecs, LosslessFormatsRoundTripExactlyAtOddSizes) {
    for (const auto& [width, height] : {std::pair{1, 1}, std::pair{37, 23}, std::pair{129, 3}}) {
        for (const int channels : {3, 4}) {
            const Bitmap original = Gradient(width, height, channels);
            for (const Bytes& bytes :
                 {test::MakePng(original), test::MakeBmp(original), test::MakeTiff(original)}) {
                const std::optional<Bitmap> decoded = Decode(bytes);
                ASSERT_TRUE(decoded);
                EXPECT_EQ(decoded->channels, channels);
                EXPECT_EQ(Psnr(FlattenOnWhite(*decoded), FlattenOnWhite(original)), 99.0)
                    << width << "x" << height;
            }
        }
    }
}

TEST(Codecs, JpegRoundTripsCloselyIncludingProgressiveAndUnalignedSizes) {
    const Bitmap original = Gradient(67, 45);
    for (const auto mode : {test::JpegMode::Baseline, test::JpegMode::Progressive}) {
        const std::optional<Bitmap> decoded =
            Decode(test::MakeJpeg(original, 95, ChromaSubsampling::S444, mode));
        ASSERT_TRUE(decoded);
        EXPECT_GT(Psnr(*decoded, original), 38.0);
    }
}

TEST(Codecs, TransparencyIsCompositedOntoWhite) {
    const Bitmap halfRed = Flat(8, 8, 255, 0, 0, 128);
    for (const Bytes& bytes :
         {test::MakePng(halfRed), test::MakeTiff(halfRed), test::MakeBmp(halfRed)}) {
        const std::optional<Bitmap> decoded = Decode(bytes);
        ASSERT_TRUE(decoded);
        const Bitmap flat = FlattenOnWhite(*decoded);
        EXPECT_EQ(flat.pixels[0], 255);
        EXPECT_NEAR(flat.pixels[1], 127, 2);
        EXPECT_NEAR(flat.pixels[2], 127, 2);
    }
    const std::optional<Bitmap> gif = Decode(test::MakeGif(4, 4, 1, true));
    ASSERT_TRUE(gif);
    const Bitmap flat = FlattenOnWhite(*gif);
    const std::size_t clear = (std::size_t{0} * 4 + 3) * 3;  // (3, 0) has index 3, the clear one
    EXPECT_EQ(flat.pixels[clear], 255);
    EXPECT_EQ(flat.pixels[clear + 1], 255);
    EXPECT_EQ(flat.pixels[0], 255);  // (0, 0) is red
    EXPECT_EQ(flat.pixels[1], 0);
}

TEST(Codecs, InterlacedGifRowsLandInPlace) {
    const std::optional<Bitmap> gif = Decode(test::MakeGif(5, 19, 1, false, true));
    ASSERT_TRUE(gif);
    static constexpr std::uint8_t kRed[4] = {255, 0, 0, 10};
    for (int y = 0; y < 19; ++y) {
        const int index = test::GifIndexAt(0, y, 0);
        EXPECT_EQ(gif->pixels[gif->Stride() * y], kRed[index]) << "row " << y;
    }
}

TEST(Codecs, JpegDecodesAtTheSmallestCoveringDctScale) {
    const Bytes jpeg = test::MakeJpeg(Gradient(2000, 1500));
    // 1/8 would give 250 x 188, too small for 280 x 210; 1/4 covers it.
    const std::optional<Bitmap> quarter = Decode(jpeg, 280, 210);
    ASSERT_TRUE(quarter);
    EXPECT_EQ(quarter->width, 500);
    EXPECT_EQ(quarter->height, 375);
    // 1/8 keeps only block averages; it must leave a quarter as much again as the target.
    const std::optional<Bitmap> margin = Decode(test::MakeJpeg(Gradient(2400, 1600)), 280, 186);
    ASSERT_TRUE(margin);
    EXPECT_EQ(margin->width, 600);  // not 300 x 200
    const std::optional<Bitmap> enough = Decode(test::MakeJpeg(Gradient(2880, 2160)), 280, 210);
    ASSERT_TRUE(enough);
    EXPECT_EQ(enough->width, 360);
    const std::optional<Bitmap> eighth = Decode(test::MakeJpeg(Gradient(4000, 3000)), 280, 210);
    ASSERT_TRUE(eighth);
    EXPECT_EQ(eighth->width, 500);
    const std::optional<Bitmap> full = Decode(jpeg);
    ASSERT_TRUE(full);
    EXPECT_EQ(full->width, 2000);
}

// At 1/8 a progressive JPEG is decoded from the scans that scale reads: the pixels are exactly
// those of the whole file decoded at 1/8, for every subsampling (a component subsampled both
// ways is read with its AC scans); a baseline or truncated file is left to the whole decode.
TEST(Codecs, ProgressiveJpegAtOneEighthNeedsOnlyTheScansThatScaleReads) {
    Bitmap textured = Gradient(203, 141);
    for (std::size_t i = 0; i < textured.pixels.size(); ++i) {
        textured.pixels[i] = static_cast<std::uint8_t>(textured.pixels[i] ^ (i * 37 % 61));
    }
    const tjscalingfactor eighth{1, 8};
    for (const ChromaSubsampling subsampling :
         {ChromaSubsampling::S444, ChromaSubsampling::S422, ChromaSubsampling::S420,
          ChromaSubsampling::S440, ChromaSubsampling::Gray}) {
        SCOPED_TRACE(static_cast<int>(subsampling));
        const Bytes jpeg = test::MakeJpeg(textured, 92, subsampling, test::JpegMode::Progressive);
        const int width = TJSCALED(203, eighth);
        const int height = TJSCALED(141, eighth);
        Bitmap whole = MakeBitmap(width, height, 3);
        tjhandle handle = tjInitDecompress();
        ASSERT_EQ(0, tjDecompress2(handle, jpeg.data(), jpeg.size(), whole.pixels.data(), width, 0,
                                   height, TJPF_RGB, 0));
        tjDestroy(handle);
        const std::optional<Bitmap> fromScans = DecodeProgressiveJpegAtEighth(jpeg, width, height);
        ASSERT_TRUE(fromScans);
        EXPECT_EQ(fromScans->pixels, whole.pixels);
        const std::optional<Bitmap> thumbnailScale = Decode(jpeg, 16, 11);
        ASSERT_TRUE(thumbnailScale);
        EXPECT_EQ(thumbnailScale->pixels, whole.pixels);
        EXPECT_FALSE(
            DecodeProgressiveJpegAtEighth(Truncated(jpeg, jpeg.size() - 3), width, height));
        EXPECT_FALSE(Decode(Truncated(jpeg, jpeg.size() - 3), 16, 11));
    }
    EXPECT_FALSE(DecodeProgressiveJpegAtEighth(test::MakeJpeg(textured), 26, 18));
}

// An interlaced PNG (Adam7) of `bitmap`, written by libpng.
Bytes MakeInterlacedPng(const Bitmap& bitmap) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    Bytes out;
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, png_size_t count) {
            auto* bytes = static_cast<Bytes*>(png_get_io_ptr(p));
            bytes->insert(bytes->end(), data, data + count);
        },
        nullptr);
    png_set_IHDR(png, info, static_cast<png_uint_32>(bitmap.width),
                 static_cast<png_uint_32>(bitmap.height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_ADAM7, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_bytep> rows;
    for (int y = 0; y < bitmap.height; ++y)
        rows.push_back(const_cast<png_bytep>(bitmap.pixels.data()) + bitmap.Stride() * y);
    png_write_info(png, info);
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

// A PNG (plain and interlaced), a TIFF and a GIF decoded for a cover are reduced while they are
// read: by the largest whole factor that still covers it, each block the rounded mean of its
// pixels.
TEST(Codecs, PngAndTiffAreReducedForACoverAsTheyAreRead) {
    const Bitmap picture = Gradient(301, 203);
    constexpr int kFactor = 3;  // 301 / 100 and 203 / 60 both allow 3
    Bitmap expected = MakeBitmap(101, 68, 3);
    for (int by = 0; by < expected.height; ++by) {
        for (int bx = 0; bx < expected.width; ++bx) {
            for (int c = 0; c < 3; ++c) {
                unsigned sum = 0;
                unsigned count = 0;
                for (int y = by * kFactor; y < std::min(picture.height, (by + 1) * kFactor); ++y) {
                    for (int x = bx * kFactor; x < std::min(picture.width, (bx + 1) * kFactor);
                         ++x, ++count) {
                        sum += picture.pixels[picture.Stride() * y + x * 3 + c];
                    }
                }
                expected.pixels[expected.Stride() * by + bx * 3 + c] =
                    static_cast<std::uint8_t>((sum + count / 2) / count);
            }
        }
    }
    for (const Bytes& bytes :
         {test::MakePng(picture), MakeInterlacedPng(picture), test::MakeTiff(picture)}) {
        const std::optional<PictureHeader> header = ReadPictureHeader(bytes);
        ASSERT_TRUE(header);
        const std::optional<Bitmap> reduced = DecodePicture(bytes, *header, 100, 60);
        ASSERT_TRUE(reduced) << static_cast<int>(header->format);
        EXPECT_EQ(reduced->width, 101);
        EXPECT_EQ(reduced->height, 68);
        EXPECT_EQ(reduced->pixels, expected.pixels) << static_cast<int>(header->format);
        // A cut-off file still fails, reduced or not.
        EXPECT_FALSE(DecodePicture(Truncated(bytes, bytes.size() * 2 / 3), *header, 100, 60));
    }

    // A GIF's colours are reduced as they are put in: each block the mean of the full picture's.
    const Bytes gif = test::MakeGif(301, 203);
    const PictureHeader gifHeader = *ReadPictureHeader(gif);
    const std::optional<Bitmap> full = DecodePicture(gif, gifHeader);
    const std::optional<Bitmap> reduced = DecodePicture(gif, gifHeader, 100, 60);
    ASSERT_TRUE(full && reduced);
    ASSERT_EQ(reduced->width * 10000 + reduced->height, 101 * 10000 + 68);
    for (int by = 0; by < reduced->height; ++by) {
        for (int bx = 0; bx < reduced->width; ++bx) {
            for (int c = 0; c < 4; ++c) {
                int sum = 0;
                int count = 0;
                for (int y = by * kFactor; y < std::min(full->height, (by + 1) * kFactor); ++y) {
                    for (int x = bx * kFactor; x < std::min(full->width, (bx + 1) * kFactor);
                         ++x, ++count) {
                        sum += full->pixels[full->Stride() * y + x * 4 + c];
                    }
                }
                ASSERT_NEAR(reduced->pixels[reduced->Stride() * by + bx * 4 + c],
                            (sum + count / 2) / count, 1)
                    << bx << "," << by << " channel " << c;
            }
        }
    }
}

TEST(Codecs, ShrinkingAveragesInsteadOfAliasing) {
    // One-pixel black and white stripes: sampling would pick all black or all white.
    Bitmap stripes = MakeBitmap(400, 300, 3);
    for (int y = 0; y < 300; ++y) {
        for (int x = 0; x < 400; ++x) {
            std::fill_n(
                stripes.pixels.begin() + static_cast<std::ptrdiff_t>(stripes.Stride() * y + x * 3),
                3, static_cast<std::uint8_t>(x % 2 ? 255 : 0));
        }
    }
    const Bitmap small = ResizeBitmap(stripes, 93, 70);
    for (int x = 5; x < 88; ++x) {
        EXPECT_NEAR(small.pixels[small.Stride() * 35 + x * 3], 128, 6) << x;
    }
    const Bitmap flat = ResizeBitmap(Flat(123, 77, 10, 200, 30), 17, 11);
    for (std::size_t i = 0; i < flat.pixels.size(); i += 3) {
        ASSERT_EQ(flat.pixels[i], 10);
        ASSERT_EQ(flat.pixels[i + 1], 200);
        ASSERT_EQ(flat.pixels[i + 2], 30);
    }
}

// Cameras now and then leave stray bytes between segments; that costs no pixel and is accepted,
// and so are Adobe CMYK JPEGs, whose inks are stored inverted.
TEST(Codecs, HarmlessJpegOddities) {
    const Bitmap picture = Gradient(40, 32);
    Bytes stray = test::MakeJpeg(picture, 95, ChromaSubsampling::S444);
    for (std::size_t i = 2; i + 1 < stray.size(); ++i) {
        if (stray[i] == 0xFF && stray[i + 1] == 0xDA) {
            stray.insert(stray.begin() + static_cast<std::ptrdiff_t>(i), {0x00, 0x11, 0x22});
            break;
        }
    }
    const std::optional<Bitmap> decoded = Decode(stray);
    ASSERT_TRUE(decoded);
    EXPECT_GT(Psnr(*decoded, picture), 38.0);
    Bytes turned;
    EXPECT_TRUE(RotateJpegLossless(stray, QuarterTurn::Clockwise, turned));

    std::vector<std::uint8_t> cmyk(16 * 16 * 4);
    for (std::size_t i = 0; i < cmyk.size(); i += 4) {
        cmyk[i] = 255;  // inverted: no cyan ink, so full red
        cmyk[i + 3] = 255;
    }
    tjhandle handle = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    ASSERT_EQ(
        0, tjCompress2(handle, cmyk.data(), 16, 0, 16, TJPF_CMYK, &jpeg, &size, TJSAMP_444, 95, 0));
    const std::optional<Bitmap> red = Decode(Bytes(jpeg, jpeg + size));
    tjFree(jpeg);
    tjDestroy(handle);
    ASSERT_TRUE(red);
    EXPECT_NEAR(red->pixels[0], 255, 3);
    EXPECT_NEAR(red->pixels[1], 0, 3);
    EXPECT_NEAR(red->pixels[2], 0, 3);
}

// Every format, cut short at several points or with its body overwritten, fails.
TEST(Codecs, TruncatedAndCorruptPicturesFail) {
    const Bitmap picture = Gradient(64, 48);
    const std::vector<Bytes> sound = {
        test::MakeJpeg(picture),
        test::MakePng(picture),
        test::MakeGif(64, 48),
        test::MakeBmp(picture),
        test::MakeTiff(picture),
        test::MakeJpeg(picture, 90, ChromaSubsampling::S420, test::JpegMode::Progressive)};
    for (const Bytes& bytes : sound) {
        ASSERT_TRUE(Decode(bytes));
        for (const double part : {0.0, 0.1, 0.5, 0.9}) {
            const Bytes cut = Truncated(
                bytes, static_cast<std::size_t>(static_cast<double>(bytes.size()) * part));
            EXPECT_FALSE(Decode(cut)) << "format " << bytes[0] << " cut at " << part;
        }
    }
    for (std::size_t i = 0; i < sound.size(); ++i) {
        Bytes corrupt = sound[i];
        for (std::size_t at = corrupt.size() / 3; at < corrupt.size() * 2 / 3; ++at) {
            corrupt[at] = static_cast<std::uint8_t>(at * 7);
        }
        // A corrupt body may still decode where the format has no check (BMP, uncompressed
        // pixels); the rest must refuse it.
        if (sound[i][0] != 'B') {
            EXPECT_FALSE(Decode(corrupt)) << "picture " << i;
        }
    }
}

TEST(Codecs, FormatIsToldByContent) {
    const Bitmap picture = Gradient(10, 6);
    const std::vector<std::pair<Bytes, PictureFormat>> cases = {
        {test::MakeJpeg(picture), PictureFormat::Jpeg},
        {test::MakePng(picture), PictureFormat::Png},
        {test::MakeGif(10, 6), PictureFormat::Gif},
        {test::MakeBmp(picture), PictureFormat::Bmp},
        {test::MakeTiff(picture), PictureFormat::Tiff}};
    for (const auto& [bytes, format] : cases) {
        const std::optional<PictureHeader> header = ReadPictureHeader(bytes);
        ASSERT_TRUE(header);
        EXPECT_EQ(header->format, format);
        EXPECT_EQ(header->width, 10u);
        EXPECT_EQ(header->height, 6u);
    }
    EXPECT_FALSE(ReadPictureHeader(Bytes{}));
    EXPECT_FALSE(ReadPictureHeader(Bytes{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'}));
}

// Headers claiming side x side pixels (JPEG and GIF: at most 65535), one per format.
void MakeBombs(const std::filesystem::path& scratch, std::uint32_t side,
               std::vector<Bytes>& bombs) {
    const std::uint32_t side16 = std::min<std::uint32_t>(side, 0xFFFF);
    Bytes jpeg = test::MakeJpeg(Gradient(16, 16));
    for (std::size_t i = 2; i + 8 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
            jpeg[i + 5] = jpeg[i + 7] = static_cast<std::uint8_t>(side16 >> 8);
            jpeg[i + 6] = jpeg[i + 8] = static_cast<std::uint8_t>(side16);
            break;
        }
    }
    bombs.push_back(jpeg);

    Bytes png = test::MakePng(Gradient(16, 16));
    for (int i = 0; i < 2; ++i) {
        png[16 + i * 4] = side >> 24;
        png[17 + i * 4] = (side >> 16) & 0xFF;
        png[18 + i * 4] = (side >> 8) & 0xFF;
        png[19 + i * 4] = side & 0xFF;
    }
    const uLong crc = crc32(0, png.data() + 12, 17);  // keep the header chunk's checksum right
    png[29] = static_cast<std::uint8_t>(crc >> 24);
    png[30] = static_cast<std::uint8_t>(crc >> 16);
    png[31] = static_cast<std::uint8_t>(crc >> 8);
    png[32] = static_cast<std::uint8_t>(crc);
    bombs.push_back(png);

    Bytes gif = test::MakeGif(4, 4);
    ASSERT_EQ(gif[25], ',');  // the image descriptor follows the 4-colour palette
    for (const std::size_t at :
         {std::size_t{6}, std::size_t{8}, std::size_t{30}, std::size_t{32}}) {
        gif[at] = static_cast<std::uint8_t>(side16);
        gif[at + 1] = static_cast<std::uint8_t>(side16 >> 8);
    }
    bombs.push_back(gif);

    Bytes bmp = test::MakeBmp(Gradient(16, 16));
    for (const std::size_t at : {std::size_t{18}, std::size_t{22}}) {
        bmp[at] = side & 0xFF;
        bmp[at + 1] = (side >> 8) & 0xFF;
        bmp[at + 2] = (side >> 16) & 0xFF;
        bmp[at + 3] = 0;
    }
    bombs.push_back(bmp);

    const std::string tiffPath = (scratch / "bomb.tif").string();
    TIFF* tiff = TIFFOpen(tiffPath.c_str(), "w");
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, side);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, side);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 1);
    TIFFWriteDirectory(tiff);
    TIFFClose(tiff);
    std::ifstream file(tiffPath, std::ios::binary);
    bombs.emplace_back(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    std::filesystem::remove(tiffPath);
}

long PeakResidentKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

TEST(Codecs, DecompressionBombsAreRefusedBeforeAllocating) {
    const std::filesystem::path scratch = std::filesystem::temp_directory_path();
    std::vector<Bytes> bombs;
    MakeBombs(scratch, 100000, bombs);
    ASSERT_EQ(bombs.size(), 5u);
    const long before = PeakResidentKilobytes();
    for (const Bytes& bomb : bombs) {
        const std::optional<PictureHeader> header = ReadPictureHeader(bomb);
        ASSERT_TRUE(header);
        EXPECT_GE(header->width, 65535u);
        EXPECT_FALSE(FitsPixelLimit(header->width, header->height));
        // Straight to the decoder, past the header check its callers make.
        PictureHeader unchecked = *header;
        unchecked.width = unchecked.height = 16;
        EXPECT_FALSE(DecodePicture(bomb, unchecked)) << static_cast<int>(header->format);
    }
    EXPECT_LT(PeakResidentKilobytes() - before, 200 * 1024);
}

// Sizes within the pixel limit that a file of a few hundred bytes cannot hold: each decoder
// refuses them before allocating, and a GIF whose screen alone is that large is its frame.
TEST(Codecs, ClaimsBeyondWhatTheFileHoldsAreRefused) {
    std::vector<Bytes> bombs;
    MakeBombs(std::filesystem::temp_directory_path(), 12000, bombs);
    const long before = PeakResidentKilobytes();
    for (const Bytes& bomb : bombs) {
        const std::optional<PictureHeader> header = ReadPictureHeader(bomb);
        ASSERT_TRUE(header);
        EXPECT_TRUE(FitsPixelLimit(header->width, header->height));
        EXPECT_FALSE(DecodePicture(bomb, *header)) << static_cast<int>(header->format);
    }

    const Bytes plain = test::MakeGif(13, 7);
    Bytes gif = plain;
    gif[6] = 0xF3;  // a 63219 x 1920 screen around the 13 x 7 frame
    gif[7] = 0xF6;
    gif[8] = 0x80;
    gif[9] = 0x07;
    const std::optional<PictureHeader> header = ReadPictureHeader(gif);
    ASSERT_TRUE(header);
    const std::optional<Bitmap> frame = DecodePicture(gif, *header);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->width, 13);
    EXPECT_EQ(frame->height, 7);
    EXPECT_EQ(frame->pixels, DecodePicture(plain, *ReadPictureHeader(plain))->pixels);
    EXPECT_LT(PeakResidentKilobytes() - before, 200 * 1024);
}

}  // namespace
}  // namespace tavopix
