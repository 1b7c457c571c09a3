// picture-bench INPUT_DIR OUTPUT_DIR [RUNS] [wall|cpu]: for every picture in INPUT_DIR, the
// milliseconds of the program's own picture work, each the median of RUNS runs (5 by default),
// in elapsed time or, on a busy machine, in processor time:
//   thumb        MakeFileThumbnail with an empty cache (the cache lives in OUTPUT_DIR/cache/);
//   fit          FitJpeg to 1600 into OUTPUT_DIR/fit/;
//   rotate       the file turned clockwise in place, as RotatePictureAndThumbnail turns it (a copy
//   in
//                OUTPUT_DIR/rotate/);
//   rotate+thumb RotatePictureAndThumbnail as the grid calls it, turning and remaking the
//   thumbnail.
// The last column says how JPEGs were turned: "perfect" (lossless) or "reencoded".
// Thumbnails are also copied to OUTPUT_DIR/thumbs/ under the picture's name, for comparison
// with other tools (bench/picture-bench.sh).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string_view>
#include <vector>

#include "app/AppContext.h"
#include "app/TextConvert.h"
#include "image/JpegExport.h"
#include "image/PictureCodecs.h"
#include "image/PictureFile.h"
#include "image/PictureHeader.h"
#include "image/PictureRotate.h"
#include "image/Thumbnail.h"

namespace fs = std::filesystem;
using namespace tavopix;

namespace {

template <typename Step>
double MedianMilliseconds(int runs, Step&& step) {
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        times.push_back(step());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

bool processorTime = false;

template <typename Work>
double Timed(Work&& work) {
    if (processorTime) {
        const std::clock_t start = std::clock();
        work();
        return 1000.0 * static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
    }
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s INPUT_DIR OUTPUT_DIR [RUNS] [wall|cpu]\n", argv[0]);
        return 2;
    }
    const fs::path input = argv[1];
    const fs::path output = argv[2];
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
    processorTime = argc > 4 && std::string_view(argv[4]) == "cpu";
    for (const char* sub : {"cache", "fit", "rotate", "thumbs"}) {
        fs::create_directories(output / sub);
    }
    appContext.iconCacheDir = FromUtf8((output / "cache").string() + "/");
    appContext.errorImagePath = u"error_img.jpg";

    std::vector<fs::path> pictures;
    for (const auto& entry : fs::directory_iterator(input)) {
        if (entry.is_regular_file()) {
            pictures.push_back(entry.path());
        }
    }
    std::sort(pictures.begin(), pictures.end());
    std::printf("name\tsize\tthumb_ms\tfit_ms\trotate_ms\trotate+thumb_ms\tturn\n");
    for (const fs::path& picture : pictures) {
        const std::u16string path = FromUtf8(picture.string());
        const std::optional<PictureHeader> header = ReadPictureHeaderOfFile(picture.string());
        if (!header) {
            continue;
        }
        std::u16string cacheName;
        if (!ThumbnailCacheName(path, cacheName)) {
            continue;
        }
        bool thumbOk = true;
        const double thumb = MedianMilliseconds(runs, [&] {
            fs::remove(Utf8(cacheName));
            return Timed([&] { thumbOk = MakeFileThumbnail(path).ok && thumbOk; });
        });
        if (fs::exists(Utf8(cacheName))) {
            fs::copy_file(Utf8(cacheName), output / "thumbs" / (picture.stem().string() + ".jpg"),
                          fs::copy_options::overwrite_existing);
        }

        const std::u16string fitTarget =
            FromUtf8((output / "fit" / (picture.stem().string() + ".jpg")).string());
        FitResult fitResult = FitResult::Failed;
        const double fit = MedianMilliseconds(runs, [&] {
            return Timed([&] { fitResult = FitJpeg(path, fitTarget, kUploadSide); });
        });

        const fs::path copy = output / "rotate" / picture.filename();
        const std::u16string copyPath = FromUtf8(copy.string());
        bool rotateOk = true;
        const double rotate = MedianMilliseconds(runs, [&] {
            fs::copy_file(picture, copy, fs::copy_options::overwrite_existing);
            std::vector<std::uint8_t> turned;
            return Timed([&] {
                rotateOk = RotatePictureFile(copyPath, QuarterTurn::Clockwise, turned) && rotateOk;
            });
        });
        const double rotateAndThumb = MedianMilliseconds(runs, [&] {
            fs::copy_file(picture, copy, fs::copy_options::overwrite_existing);
            return Timed([&] {
                rotateOk =
                    RotatePictureAndThumbnail(copyPath, RotateDirection::Right).ok && rotateOk;
            });
        });

        const char* turn = "-";
        if (header->format == PictureFormat::Jpeg) {
            Bytes bytes;
            Bytes turned;
            turn = ReadWholeFile(picture.string(), bytes) &&
                           RotateJpegLossless(bytes, QuarterTurn::Clockwise, turned)
                       ? "perfect"
                       : "reencoded";
        }
        std::printf("%s\t%ux%u\t%.1f\t%.1f\t%.1f\t%.1f\t%s%s\n", picture.filename().c_str(),
                    header->width, header->height, thumb, fit, rotate, rotateAndThumb, turn,
                    thumbOk && fitResult != FitResult::Failed && rotateOk ? "" : "\tFAILED");
        std::fflush(stdout);
    }
    return 0;
}
