// The pictures on disk. An upload is streamed into a temporary file under "tmp/", flushed to
// disk, and only then renamed into "photos/<user>/<album>/<name>" under a name made here from
// random bytes; the title a client sends never becomes part of a path. Each picture may have a
// thumbnail under "thumbs/" at the same relative place. Folders are 0700 and files 0600. Files that
// no database row names (left by a crash between the rename and the commit) are swept at start-up.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace albumd {

struct PictureType {
    const char* mime;
    const char* extension;  // without the dot
};

// Recognises a picture by its first bytes: JPEG, PNG, GIF, BMP, TIFF or WebP.
[[nodiscard]] std::optional<PictureType> SniffPicture(std::string_view head);
[[nodiscard]] std::optional<PictureType> SniffPictureFile(const std::string& path);

class PhotoFiles {
public:
    // `dataDir` ends with '/'.
    explicit PhotoFiles(std::string dataDir) : dataDir_(std::move(dataDir)) {}

    // Creates "tmp/" and "photos/" and empties "tmp/" of uploads a previous run left behind.
    [[nodiscard]] bool Prepare(std::string& error);

    [[nodiscard]] std::string NewTempPath() const;
    // A fresh stored name such as "3f…9a.jpg" (32 hex digits).
    [[nodiscard]] static std::string NewStoredName(const PictureType& type);
    [[nodiscard]] static bool IsStoredName(std::string_view name);
    // "<user>/<album>/<name>", the form kept in the database and used in addresses.
    [[nodiscard]] static std::string RelativePath(std::int64_t userId, std::int64_t albumId,
                                                  std::string_view storedName);
    [[nodiscard]] std::string FullPath(std::string_view relative) const;

    // fsync of a written file, so a rename after it never exposes a half-written picture.
    [[nodiscard]] static bool SyncFile(const std::string& path);
    // Renames `tempPath` to `relative` (creating its folders) and syncs the folder.
    [[nodiscard]] bool MoveIntoPlace(const std::string& tempPath, std::string_view relative);
    // Removes a picture with its thumbnail.
    void Remove(std::string_view relative) const;
    void RemoveAlbumFolder(std::int64_t userId, std::int64_t albumId) const;
    void RemoveUserFolder(std::int64_t userId) const;
    // Where the thumbnail of the picture `relative` is kept: "thumbs/<user>/<album>/<name>.jpg".
    [[nodiscard]] std::string ThumbnailPath(std::string_view relative) const;
    // Makes the thumbnail of the stored picture `relative` of type `mime` (see Thumbnails.h).
    [[nodiscard]] bool WriteThumbnail(std::string_view relative, const std::string& mime) const;
    // Creates `folder` and its missing parents, each readable by the owner alone.
    [[nodiscard]] static bool MakeFolders(const std::filesystem::path& folder);

    // Removes every stored file for which `isKnown(relative)` is false; returns how many.
    int SweepOrphans(const std::function<bool(const std::string&)>& isKnown) const;

private:
    std::string dataDir_;
};

}  // namespace albumd
