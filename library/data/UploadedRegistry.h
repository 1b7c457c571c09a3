// The pictures that were uploaded to the album service, remembered across runs as their stored
// paths in uploadedImg.dat: FF FE, then each path followed by CR LF, in ascending order of
// UTF-16 code units (case-sensitive, so a path differing only in case is another entry).
//
// The main window owns the one registry and changes it on the UI thread; the folder listing
// worker asks Contains for every picture it lists meanwhile, so the set is guarded by a lock.
// The main window shows the number of entries; the registry reports it through a callback so
// that it needs no page of its own.
//
// Beside the paths it keeps the uploaded pictures by content (UploadedContentRegistry.h, a file
// of its own in the same folder): Contains also knows a picture that was moved or renamed after
// its upload. Both files are read by Load and written by Save(Write::On).
#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "app/UserDataFiles.h"
#include "library/data/UploadedContentRegistry.h"

namespace tavopix {

class UploadedRegistry {
public:
    // Receives the count display text, "(12)" for twelve entries.
    using CountDisplay = std::function<void(std::u16string_view text)>;
    // Receives each entry that still names an existing file.
    using Visitor = std::function<void(const std::u16string& path)>;

    enum class Write { Off, On };

    explicit UploadedRegistry(std::u16string filePath, CountDisplay countDisplay = {});

    // Adds the entries of the file and shows the count. False, with the count display left
    // alone, when the file is missing, unreadable or empty.
    bool Load();

    // Shows the count and, with Write::On, replaces the file with the whole set; returns the
    // write's result (true without writing). The set is unchanged either way.
    bool Save(Write write);

    // The path is an entry, or the file it names has the content of an uploaded picture
    // (`knownSize`: the file's size where the caller has just listed it).
    bool Contains(std::u16string_view path,
                  std::optional<std::uint64_t> knownSize = std::nullopt) const;

    // Inserts the path if absent; neither writes the file nor shows the count. False, changing
    // nothing, for a path that cannot be stored as a line (empty, or holding CR or LF).
    bool Add(std::u16string_view path);

    // Records the content of the uploaded picture at the stored `path` (its content hash), so
    // a copy of it elsewhere shows as uploaded too. Written with the paths.
    void AddContent(std::u16string_view path, std::u16string_view contentHash);

    // Erases the path if present, then writes the file (also when it was absent); returns the
    // write's result.
    bool Remove(std::u16string_view path);

    // Erases every entry whose file no longer exists (or that cannot be expanded to a real
    // path), hands the others to `visitor` in set order, and writes the file when something
    // was erased.
    void PruneMissing(const Visitor& visitor);

    unsigned Count() const;

private:
    std::u16string BuildText() const;
    void ShowCount(unsigned count) const;

    std::u16string filePath_;
    CountDisplay countDisplay_;
    UploadedContentRegistry content_;
    mutable std::mutex mutex_;
    std::set<std::u16string, std::less<>> entries_;
};

}  // namespace tavopix
