#include "PhotoFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "Secrets.h"
#include "Thumbnails.h"

namespace albumd {

namespace fs = std::filesystem;

namespace {

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && text.substr(0, prefix.size()) == prefix;
}

bool SyncPath(const std::string& path, int flags) {
    int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

}  // namespace

std::optional<PictureType> SniffPicture(std::string_view head) {
    if (StartsWith(head, "\xFF\xD8\xFF"))
        return PictureType{"image/jpeg", "jpg"};
    if (StartsWith(head, "\x89PNG\r\n\x1A\n"))
        return PictureType{"image/png", "png"};
    if (StartsWith(head, "GIF87a") || StartsWith(head, "GIF89a")) {
        return PictureType{"image/gif", "gif"};
    }
    if (StartsWith(head, "BM") && head.size() >= 26)
        return PictureType{"image/bmp", "bmp"};
    if (StartsWith(head, std::string_view("II*\0", 4)) ||
        StartsWith(head, std::string_view("MM\0*", 4))) {
        return PictureType{"image/tiff", "tif"};
    }
    if (head.size() >= 12 && StartsWith(head, "RIFF") && head.substr(8, 4) == "WEBP") {
        return PictureType{"image/webp", "webp"};
    }
    return std::nullopt;
}

std::optional<PictureType> SniffPictureFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char head[32];
    in.read(head, sizeof head);
    return SniffPicture(std::string_view(head, static_cast<std::size_t>(in.gcount())));
}

bool PhotoFiles::Prepare(std::string& error) {
    std::error_code ec;
    for (const char* folder : {"tmp", "photos", "thumbs"}) {
        if (!ec)
            fs::create_directories(dataDir_ + folder, ec);
        if (!ec)
            fs::permissions(dataDir_ + folder, fs::perms::owner_all, ec);
    }
    if (ec) {
        error = "cannot create folders in " + dataDir_ + ": " + ec.message();
        return false;
    }
    for (const auto& entry : fs::directory_iterator(dataDir_ + "tmp", ec)) {
        fs::remove(entry.path(), ec);
    }
    return true;
}

std::string PhotoFiles::NewTempPath() const {
    return dataDir_ + "tmp/upload-" + RandomHex(12) + ".part";
}

std::string PhotoFiles::NewStoredName(const PictureType& type) {
    return RandomHex(16) + "." + type.extension;
}

bool PhotoFiles::IsStoredName(std::string_view name) {
    std::size_t dot = name.find('.');
    if (dot != 32)
        return false;
    for (char c : name.substr(0, 32)) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    }
    std::string_view ext = name.substr(33);
    return ext == "jpg" || ext == "png" || ext == "gif" || ext == "bmp" || ext == "tif" ||
           ext == "webp";
}

std::string PhotoFiles::RelativePath(std::int64_t userId, std::int64_t albumId,
                                     std::string_view storedName) {
    return std::to_string(userId) + "/" + std::to_string(albumId) + "/" + std::string(storedName);
}

std::string PhotoFiles::FullPath(std::string_view relative) const {
    return dataDir_ + "photos/" + std::string(relative);
}

bool PhotoFiles::SyncFile(const std::string& path) {
    return SyncPath(path, O_RDONLY);
}

bool PhotoFiles::MoveIntoPlace(const std::string& tempPath, std::string_view relative) {
    fs::path target = FullPath(relative);
    if (!MakeFolders(target.parent_path()) || ::chmod(tempPath.c_str(), 0600) != 0)
        return false;
    if (::rename(tempPath.c_str(), target.c_str()) != 0)
        return false;
    // The rename itself must reach the disk before the row that names the file is committed.
    return SyncPath(target.parent_path().string(), O_RDONLY | O_DIRECTORY);
}

void PhotoFiles::Remove(std::string_view relative) const {
    std::error_code ec;
    fs::remove(FullPath(relative), ec);
    fs::remove(ThumbnailPath(relative), ec);
}

void PhotoFiles::RemoveAlbumFolder(std::int64_t userId, std::int64_t albumId) const {
    std::error_code ec;
    const std::string relative = std::to_string(userId) + "/" + std::to_string(albumId);
    fs::remove_all(dataDir_ + "photos/" + relative, ec);
    fs::remove_all(dataDir_ + "thumbs/" + relative, ec);
}

void PhotoFiles::RemoveUserFolder(std::int64_t userId) const {
    std::error_code ec;
    fs::remove_all(dataDir_ + "photos/" + std::to_string(userId), ec);
    fs::remove_all(dataDir_ + "thumbs/" + std::to_string(userId), ec);
}

std::string PhotoFiles::ThumbnailPath(std::string_view relative) const {
    std::string thumb = dataDir_ + "thumbs/" + std::string(relative);
    return thumb.substr(0, thumb.rfind('.')) + ".jpg";
}

bool PhotoFiles::WriteThumbnail(std::string_view relative, const std::string& mime) const {
    const std::string target = ThumbnailPath(relative);
    return MakeFolders(fs::path(target).parent_path()) &&
           MakeThumbnail(FullPath(relative), mime, target);
}

bool PhotoFiles::MakeFolders(const std::filesystem::path& folder) {
    std::error_code ec;
    if (fs::is_directory(folder, ec))
        return true;
    if (!MakeFolders(folder.parent_path()))
        return false;
    // mkdir's mode is narrowed by the umask, never widened: 0700 holds whatever the umask.
    return ::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

int PhotoFiles::SweepOrphans(const std::function<bool(const std::string&)>& isKnown) const {
    int removed = 0;
    std::error_code ec;
    fs::path root = dataDir_ + "photos";
    for (auto it = fs::recursive_directory_iterator(root, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (!it->is_regular_file(ec))
            continue;
        std::string relative = fs::relative(it->path(), root, ec).generic_string();
        if (!ec && !isKnown(relative)) {
            fs::remove(it->path(), ec);
            ++removed;
        }
    }
    return removed;
}

}  // namespace albumd
