#include "image/PictureFile.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <random>

#include "platform/RegularFile.h"

namespace tavopix {

namespace fs = std::filesystem;

bool ReadWholeFile(const std::string& path, Bytes& bytes) {
    const RegularFile file(path);
    if (!file.IsOpen() || file.Size() == 0 || file.Size() > kMaxPictureFileBytes) {
        return false;
    }
    Bytes content(static_cast<std::size_t>(file.Size()));
    if (file.ReadAt(0, content.data(), content.size()) != static_cast<std::int64_t>(file.Size())) {
        return false;
    }
    bytes = std::move(content);
    return true;
}

namespace {

// A name beside `path` that no other writer, thread or process, picks at the same moment.
std::string TemporaryNameBeside(const std::string& path) {
    static std::atomic<unsigned> counter{0};
    thread_local std::mt19937_64 random{std::random_device{}()};
    return path + ".tmp" + std::to_string(random() % 1000000000) + "-" + std::to_string(counter++);
}

}  // namespace

bool ReplaceFile(const std::string& path, ByteSpan bytes) {
    const std::string temporary = TemporaryNameBeside(path);
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        if (!file) {
            return false;
        }
        // The kept permissions apply before any byte is written, so a private file (the upload
        // scratch file) never has a readable copy beside it.
        std::error_code error;
        const fs::file_status existing = fs::status(path, error);
        if (!error && fs::exists(existing)) {
            fs::permissions(temporary, existing.permissions(), error);
        }
        file.write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        file.close();
        if (!file) {
            std::error_code ignored;
            fs::remove(temporary, ignored);
            return false;
        }
    }
    std::error_code error;
    fs::rename(temporary, path, error);
    if (error) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        return false;
    }
    return true;
}

}  // namespace tavopix
