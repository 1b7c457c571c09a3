// The picture search's walk over a generated tree of 100,000 files in 5,000 folders (about a
// fifth of them pictures by name and size), against `find DIR -printf '%s %T@ %p\n'`, which
// reads the same facts of every entry, in the same run, alternating, with the page cache warm.
//
// Usage: search-bench [DIR] [RUNS]
//   DIR   where the tree is made (default: a fresh folder under the temporary folder, removed
//         at the end); an existing tree of this shape there is used as it is
//   RUNS  runs of each, the median is kept (default 7)
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/TextConvert.h"
#include "library/workers/FolderWalk.h"

namespace {

constexpr int kTopFolders = 50;
constexpr int kFoldersPerTop = 99;   // 50 + 50 × 99 = 5,000 folders
constexpr int kFilesPerFolder = 20;  // 100,000 files

// Every fifth file is a picture of a middle size; the others are small documents.
void MakeTree(const std::filesystem::path& root) {
    const auto fill = [](const std::filesystem::path& folder) {
        std::filesystem::create_directories(folder);
        for (int i = 0; i < kFilesPerFolder; ++i) {
            const bool picture = i % 5 == 0;
            const auto file = folder / ((picture ? "IMG_" : "note_") + std::to_string(i) +
                                        (picture ? ".jpg" : ".txt"));
            std::ofstream(file).flush();
            std::filesystem::resize_file(file, picture ? 180000 : 900);
        }
    };
    for (int top = 0; top < kTopFolders; ++top) {
        const auto folder = root / ("album" + std::to_string(top));
        fill(folder);
        for (int sub = 0; sub < kFoldersPerTop; ++sub) {
            fill(folder / ("day" + std::to_string(sub)));
        }
    }
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

int main(int argc, char** argv) {
    const bool own = argc < 2;
    std::filesystem::path root = own ? std::filesystem::temp_directory_path() /
                                           ("search-bench-" + std::to_string(::getpid()))
                                     : std::filesystem::path(argv[1]);
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;
    if (!std::filesystem::exists(root / "album0")) {
        std::printf("making %d folders of %d files in %s\n", kTopFolders * (kFoldersPerTop + 1),
                    kFilesPerFolder, root.c_str());
        MakeTree(root);
    }
    const std::u16string stored = tavopix::FromUtf8(root.string() + "/");
    const std::string find = "find '" + root.string() + "' -printf '%s %T@ %p\\n' >/dev/null";

    std::vector<double> walks;
    std::vector<double> finds;
    unsigned total = 0;
    std::size_t folders = 0;
    // One of each first, unmeasured, so both meet a warm page cache.
    for (int run = -1; run < runs; ++run) {
        tavopix::FolderWalkHooks hooks;
        folders = 0;
        hooks.report = [&](std::u16string, unsigned) { ++folders; };
        auto start = std::chrono::steady_clock::now();
        total = tavopix::WalkFolder(stored, tavopix::kStartPictureFilter, hooks);
        const double walk = Seconds(start);
        start = std::chrono::steady_clock::now();
        if (std::system(find.c_str()) != 0) {
            std::fprintf(stderr, "find failed\n");
            return 1;
        }
        const double found = Seconds(start);
        if (run >= 0) {
            walks.push_back(walk);
            finds.push_back(found);
        }
    }
    if (folders == 0 || total == 0) {
        std::fprintf(stderr, "the walk found no folder or no picture in %s\n", root.c_str());
        return 1;
    }
    const double walk = Median(walks);
    const double found = Median(finds);
    std::printf("folders %zu, pictures %u\n", folders, total);
    std::printf("search walk  %8.1f ms (median of %d)\n", walk * 1000, runs);
    std::printf("find -printf %8.1f ms (median of %d)\n", found * 1000, runs);
    std::printf("walk / find  %8.2f (goal <= 1.20)\n", walk / found);
    if (own) {
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }
    return 0;
}
