// Thumbnails and their cache names, and the header-only picture details.
#include "image/Thumbnail.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <tuple>

#include "TestPictures.h"
#include "app/AppContext.h"
#include "app/TextConvert.h"
#include "image/PictureDecoder.h"
#include "image/PictureDetails.h"
#include "image/PictureFile.h"
#include "image/PictureHeader.h"
#include "platform/FileSystem.h"

namespace tavopix {
namespace {

using test::Gradient;

class Thumbnails : public test::PictureFolder {
protected:
    // The thumbnail of a picture written under `name`.
    Thumbnail Make(const std::string& name, const Bytes& bytes) {
        return MakeFileThumbnail(Write(name, bytes));
    }

    // The size of the JPEG the thumbnail names (its source is percent-escaped; these paths are
    // ASCII).
    static std::optional<PictureHeader> ThumbnailHeader(const Thumbnail& thumbnail) {
        return ReadPictureHeaderOfFile(Utf8(thumbnail.source));
    }

    static void ExpectError(const Thumbnail& thumbnail) {
        EXPECT_FALSE(thumbnail.ok);
        EXPECT_EQ(thumbnail.source, appContext.errorImagePath);
        EXPECT_EQ(thumbnail.width, 160);
        EXPECT_EQ(thumbnail.height, 115);
    }
};

TEST(PathChecksumTest, FoldsTheSumAndComplements) {
    EXPECT_EQ(PathChecksum(u""), 0xFFFF);
    EXPECT_EQ(PathChecksum(u"a"), static_cast<std::uint16_t>(~0x61));
    // 0x8000 + 0x8000 ends exactly at 0x10000, which is not folded: its low 16 bits are 0.
    EXPECT_EQ(PathChecksum(u"\x8000\x8000"), 0xFFFF);
    // 0xFFFF + 0xFFFF + 2 = 0x20000 folds to 0x0002.
    EXPECT_EQ(PathChecksum(u"\xFFFF\xFFFF\x0002"), static_cast<std::uint16_t>(~0x0002));
}

TEST_F(Thumbnails, CacheNameIsTimeSizeAndChecksumInHex) {
    const std::u16string path = Write("a.jpg", Bytes(0x12345, 'x'));
    FileAttributes attributes;
    ASSERT_TRUE(ReadFileAttributes(Utf8(path), attributes));
    char expected[64];
    std::snprintf(expected, sizeof expected, "%08x2345%04x.jpg",
                  static_cast<unsigned>(attributes.lastWriteTime), PathChecksum(path));
    std::u16string name;
    ASSERT_TRUE(ThumbnailCacheName(path, name));
    EXPECT_EQ(name, appContext.iconCacheDir + FromUtf8(expected));
    EXPECT_FALSE(ThumbnailCacheName(Path("missing.jpg"), name));
}

TEST_F(Thumbnails, LargeJpegIsScaledAndCachedThenOnlyLoaded) {
    const std::u16string path = Write("photo.jpg", test::MakeJpeg(Gradient(4000, 3000)));
    const Thumbnail thumbnail = MakeFileThumbnail(path);
    ASSERT_TRUE(thumbnail.ok);
    EXPECT_EQ(thumbnail.width, 280);
    EXPECT_EQ(thumbnail.height, 210);
    std::u16string cacheName;
    ASSERT_TRUE(ThumbnailCacheName(path, cacheName));
    EXPECT_EQ(thumbnail.source, cacheName);
    const std::optional<PictureHeader> made = ThumbnailHeader(thumbnail);
    ASSERT_TRUE(made);
    EXPECT_EQ(made->width, 280u);
    EXPECT_EQ(made->height, 210u);
    // A second call only measures the cached file.
    ASSERT_TRUE(ReplaceFile(Utf8(cacheName), test::MakeJpeg(Gradient(12, 9))));
    Thumbnail again = MakeFileThumbnail(path);
    ASSERT_TRUE(again.ok);
    EXPECT_EQ(again.width, 12);
    EXPECT_EQ(again.height, 9);
    // An unreadable cached file still counts, at 0 x 0.
    ASSERT_TRUE(ReplaceFile(Utf8(cacheName), Bytes{'?'}));
    again = MakeFileThumbnail(path);
    EXPECT_TRUE(again.ok);
    EXPECT_EQ(again.width, 0);
    EXPECT_EQ(again.source, cacheName);
}

TEST_F(Thumbnails, ScalingRules) {
    const std::vector<std::tuple<int, int, int, int>> cases = {
        {3000, 40, 280, 4},  // 3.7 raised to the minimum of 4
        {40, 3000, 4, 280},   {200, 300, 186, 280}, {281, 281, 280, 280},
        {280, 280, 280, 280}, {500, 100, 280, 56}};
    for (const auto& [width, height, thumbWidth, thumbHeight] : cases) {
        int w = width;
        int h = height;
        ScaleToThumbnail(w, h);
        EXPECT_EQ(w, thumbWidth) << width << "x" << height;
        EXPECT_EQ(h, thumbHeight) << width << "x" << height;
    }
    const Thumbnail wide = Make("wide.JPG", test::MakeJpeg(Gradient(3000, 40)));
    ASSERT_TRUE(wide.ok);
    EXPECT_EQ(wide.width, 280);
    EXPECT_EQ(wide.height, 4);
    ASSERT_TRUE(ThumbnailHeader(wide));
    EXPECT_EQ(ThumbnailHeader(wide)->height, 4u);
}

TEST_F(Thumbnails, SmallJpegAndPngAreTheirOwnThumbnails) {
    const Thumbnail png = Make("small.png", test::MakePng(Gradient(200, 150, 4)));
    ASSERT_TRUE(png.ok);
    EXPECT_EQ(png.source, Path("small.png"));
    EXPECT_EQ(png.width, 200);
    EXPECT_EQ(png.height, 150);
    const Thumbnail jpeg = Make("small.JPG", test::MakeJpeg(Gradient(279, 280)));  // 78,120
    ASSERT_TRUE(jpeg.ok);
    EXPECT_EQ(jpeg.source, Path("small.JPG"));
    EXPECT_TRUE(CacheFiles().empty());
}

TEST_F(Thumbnails, SmallBmpGifAndTiffGetACachedJpeg) {
    const std::vector<std::pair<std::string, Bytes>> cases = {
        {"small.bmp", test::MakeBmp(Gradient(200, 150))},
        {"small.gif", test::MakeGif(200, 150, 3, true)},
        {"small.tif", test::MakeTiff(Gradient(200, 150, 4))},
        {"bmp-inside.png", test::MakeBmp(Gradient(200, 150))}};
    for (const auto& [name, bytes] : cases) {
        const Thumbnail thumbnail = Make(name, bytes);
        ASSERT_TRUE(thumbnail.ok) << name;
        EXPECT_NE(thumbnail.source, Path(name)) << name;
        EXPECT_EQ(thumbnail.width, 200);
        EXPECT_EQ(thumbnail.height, 150);
        const std::optional<PictureHeader> made = ThumbnailHeader(thumbnail);
        ASSERT_TRUE(made) << name;
        EXPECT_EQ(made->format, PictureFormat::Jpeg);
        EXPECT_EQ(made->width, 200u);
    }
}

TEST_F(Thumbnails, PathIsPercentEscaped) {
    const Thumbnail thumbnail = Make(Utf8(u"相册.png"), test::MakePng(Gradient(20, 20)));
    ASSERT_TRUE(thumbnail.ok);
    EXPECT_NE(thumbnail.source.find(u"%E7%9B%B8%E5%86%8C.png"), std::u16string::npos);
}

TEST_F(Thumbnails, BadPicturesGetTheErrorPicture) {
    const Bytes jpeg = test::MakeJpeg(Gradient(640, 480));
    const std::vector<std::pair<std::string, Bytes>> cases = {
        {"empty.jpg", {}},
        {"cut.jpg", test::Truncated(jpeg, jpeg.size() / 2)},
        {"cut-small.png", test::Truncated(test::MakePng(Gradient(50, 50)), 200)},
        {"text.png", Bytes{'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c', 't', 'u', 'r', 'e'}},
        {"cut.gif", test::Truncated(test::MakeGif(300, 300), 300)},
        {"cut.tif", test::Truncated(test::MakeTiff(Gradient(300, 300)), 5000)},
        {"cut.bmp", test::Truncated(test::MakeBmp(Gradient(300, 300)), 5000)}};
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        ExpectError(Make(name, bytes));
    }
    ExpectError(MakeFileThumbnail(Path("missing.jpg")));
    // A named pipe and a device are unreadable pictures at once: nothing waits on them.
    ASSERT_EQ(mkfifo((folder_ / "pipe.jpg").c_str(), 0600), 0);
    ExpectError(MakeFileThumbnail(Path("pipe.jpg")));
    std::filesystem::create_symlink("/dev/zero", folder_ / "device.jpg");
    ExpectError(MakeFileThumbnail(Path("device.jpg")));
    EXPECT_TRUE(CacheFiles().empty());
}

// An RGB PNG of width x height whose pixel at (x, y) is `left` for x < width / 2, else `right`,
// made a row at a time so the test never holds the picture either.
Bytes HalvesPng(std::uint32_t width, std::uint32_t height, std::array<std::uint8_t, 3> left,
                std::array<std::uint8_t, 3> right) {
    const auto chunk = [](Bytes& out, const char* type, const Bytes& data) {
        for (int shift = 24; shift >= 0; shift -= 8)
            out.push_back(static_cast<std::uint8_t>(data.size() >> shift));
        const std::size_t start = out.size();
        out.insert(out.end(), type, type + 4);
        out.insert(out.end(), data.begin(), data.end());
        const uLong crc = crc32(0, out.data() + start, static_cast<uInt>(out.size() - start));
        for (int shift = 24; shift >= 0; shift -= 8)
            out.push_back(static_cast<std::uint8_t>(crc >> shift));
    };
    Bytes header;
    for (const std::uint32_t side : {width, height}) {
        for (int shift = 24; shift >= 0; shift -= 8)
            header.push_back(static_cast<std::uint8_t>(side >> shift));
    }
    header.insert(header.end(), {8, 2, 0, 0, 0});
    Bytes row(1 + std::size_t{width} * 3);
    for (std::uint32_t x = 0; x < width; ++x)
        std::copy_n((x < width / 2 ? left : right).begin(), 3, row.begin() + 1 + x * 3);
    Bytes pixels(1 << 20);
    z_stream zip{};
    deflateInit(&zip, 9);
    zip.next_out = pixels.data();
    zip.avail_out = static_cast<uInt>(pixels.size());
    for (std::uint32_t y = 0; y <= height; ++y) {
        zip.next_in = row.data();
        zip.avail_in = y < height ? static_cast<uInt>(row.size()) : 0;
        do {
            if (zip.avail_out == 0) {
                pixels.resize(pixels.size() * 2);
                zip.next_out = pixels.data() + zip.total_out;
                zip.avail_out = static_cast<uInt>(pixels.size() - zip.total_out);
            }
        } while (deflate(&zip, y < height ? Z_NO_FLUSH : Z_FINISH) != Z_STREAM_END &&
                 (zip.avail_in > 0 || y == height));
    }
    pixels.resize(zip.total_out);
    deflateEnd(&zip);
    Bytes png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    chunk(png, "IHDR", header);
    chunk(png, "IDAT", pixels);
    chunk(png, "IEND", {});
    return png;
}

long StatusKilobytes(const char* field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with(field))
            return std::stol(line.substr(std::strlen(field) + 1));
    }
    return -1;
}

// How far the peak resident size of a child process rises above where it started while it runs
// `work`, in kilobytes; -1 when `work` fails. The child starts with this process's pages, so
// earlier peaks of the test process do not hide the work's own.
long PeakGrowthKilobytes(const std::function<bool()>& work) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return -1;
    const pid_t child = fork();
    if (child == 0) {
        const long before = StatusKilobytes("VmRSS:");
        const long growth = work() ? StatusKilobytes("VmHWM:") - before : -1;
        (void)!write(pipeFds[1], &growth, sizeof growth);
        _exit(0);
    }
    close(pipeFds[1]);
    long growth = -1;
    if (child < 0 || read(pipeFds[0], &growth, sizeof growth) != sizeof growth)
        growth = -1;
    close(pipeFds[0]);
    if (child > 0)
        waitpid(child, nullptr, 0);
    return growth;
}

// Two 12000 x 12000 PNGs (144 megapixels each, 432 MB as RGB) get their thumbnails with the
// memory of a few rows and a reduced picture, never their full bitmaps; the thumbnails show
// each picture's two halves.
TEST_F(Thumbnails, HugePngsAreThumbnailedWithoutTheirFullBitmaps) {
    constexpr std::uint32_t kSide = 12000;
    const std::u16string first =
        Write("first.png", HalvesPng(kSide, kSide, {200, 30, 30}, {30, 30, 200}));
    const std::u16string second =
        Write("second.png", HalvesPng(kSide, kSide, {30, 160, 30}, {250, 250, 250}));
    const long growth = PeakGrowthKilobytes(
        [&] { return MakeFileThumbnail(first).ok && MakeFileThumbnail(second).ok; });
    ASSERT_GE(growth, 0) << "a thumbnail failed";
    RecordProperty("peak_growth_kb", static_cast<int>(growth));
    std::printf(
        "peak growth while thumbnailing two %u x %u PNGs: %.1f MB (%.3f MB per megapixel)\n", kSide,
        kSide, growth / 1024.0, growth / 1024.0 / (2 * 144.0));
    EXPECT_LT(growth, 300 * 1024);

    for (const auto& [path, left, right] :
         {std::tuple{first, std::array{200, 30, 30}, std::array{30, 30, 200}},
          std::tuple{second, std::array{30, 160, 30}, std::array{250, 250, 250}}}) {
        const Thumbnail thumbnail = MakeFileThumbnail(path);  // made by the child, now cached
        ASSERT_TRUE(thumbnail.ok);
        EXPECT_EQ(thumbnail.width, 280);
        EXPECT_EQ(thumbnail.height, 280);
        Bytes jpeg;
        ASSERT_TRUE(ReadWholeFile(Utf8(thumbnail.source), jpeg));
        const std::optional<Bitmap> shown = DecodePicture(jpeg, *ReadPictureHeader(jpeg));
        ASSERT_TRUE(shown);
        for (const auto& [x, colour] : {std::pair{70, left}, std::pair{210, right}}) {
            const std::uint8_t* pixel = shown->pixels.data() + shown->Stride() * 140 + x * 3;
            for (int c = 0; c < 3; ++c)
                EXPECT_NEAR(pixel[c], colour[c], 6) << "x " << x << " channel " << c;
        }
    }
}

TEST_F(Thumbnails, DetailsComeFromTheHeaderAlone) {
    // Only the header is there; the sizes are still read.
    const Bytes jpeg = test::MakeJpeg(Gradient(1234, 567));
    PictureDetails details;
    details.realPath = Write("cut.jpg", test::Truncated(jpeg, 700));
    ASSERT_TRUE(ReadPictureDetails(details));
    EXPECT_EQ(details.name, u"cut.jpg");
    EXPECT_EQ(details.width, 1234);
    EXPECT_EQ(details.height, 567);
    EXPECT_EQ(details.size, 700u);
    EXPECT_NE(details.lastWriteTime, 0u);

    details.realPath = Write("note.gif", Bytes{'h', 'i'});
    ASSERT_TRUE(ReadPictureDetails(details));
    EXPECT_EQ(details.width, 0);
    EXPECT_EQ(details.height, 0);

    PictureDetails missing;
    missing.realPath = Path("missing.png");
    missing.width = 5;
    EXPECT_FALSE(ReadPictureDetails(missing));
    EXPECT_EQ(missing.width, 5);
}

}  // namespace
}  // namespace tavopix
