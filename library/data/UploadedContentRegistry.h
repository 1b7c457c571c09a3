// The uploaded pictures by content, beside the registry of their paths (UploadedRegistry.h): a
// picture moved or renamed on disk still shows as uploaded. Kept in "uploadedHash.dat" in the
// program folder, apart from uploadedImg.dat, whose format stays as it is.
//
// Format: UTF-16LE with FF FE, one line per picture, "<content hash> <size in bytes>" followed
// by CR LF, in ascending order; the hash is the SDK's (ovkContentHash, 64 hex digits). Lines
// that do not have this form are skipped on reading.
//
// Only a file whose size is that of an uploaded picture is hashed when asked about, so a folder
// listing pays one size lookup per picture and reads almost nothing. Thread-safe: the folder
// listing worker asks while the UI thread adds.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>

#include "app/UserDataFiles.h"

namespace tavopix {

class UploadedContentRegistry {
public:
    explicit UploadedContentRegistry(std::u16string filePath) : filePath_(std::move(filePath)) {}

    // Adds the file's entries; false when it is missing or unreadable.
    bool Load();
    // Writes the file when entries were added since it was read or written; true when nothing
    // needed writing.
    bool Save();

    // Adds the picture at `realPath` with its content hash; false when its size cannot be read
    // or the hash is malformed.
    bool Add(const std::u16string& realPath, std::u16string_view contentHash);

    // Whether the file at `realPath` has the content of an uploaded picture. A caller that has
    // just listed the file passes its size, so the file system is not asked again.
    [[nodiscard]] bool ContainsFile(const std::u16string& realPath,
                                    std::optional<std::uint64_t> knownSize = std::nullopt) const;

private:
    using Entry = std::pair<std::u16string, std::uint64_t>;  // hash, size

    std::u16string filePath_;
    mutable std::mutex mutex_;
    std::set<Entry> entries_;
    std::multiset<std::uint64_t> sizes_;
    bool changed_ = false;
};

}  // namespace tavopix
