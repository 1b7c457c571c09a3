// The folders the user chose to browse, as stored folder paths (each ending with the
// separator), kept in SetPathCfg.dat: FF FE, then each path followed by LF, in ascending order
// of UTF-16 code units.
//
// A folder lies at or below an entry when its path begins with the entry, so every test here is
// a prefix test on the stored strings. The list is edited on the UI thread; the folder listing
// worker asks Covers meanwhile, so every operation takes the list's lock.
#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "app/UserDataFiles.h"

namespace tavopix {

inline constexpr std::u16string_view kCheckOn = u"check=\"on\"";
inline constexpr std::u16string_view kCheckMixed = u"check=\"mixed\"";
inline constexpr std::u16string_view kCheckOff = u"check=\"off\"";

class FolderList {
public:
    explicit FolderList(std::u16string filePath);

    // Replaces the list with the lines of the file; a missing or unreadable file leaves it
    // empty and gives false.
    bool Load();

    // Sorts the list and writes the file; false when writing failed (the old file stays).
    [[nodiscard]] bool Save();

    // True when `path` lies at or below some entry.
    bool Covers(std::u16string_view path) const;

    // The tree node attribute for `path`: on when covered, mixed when some entry lies below it,
    // off otherwise.
    std::u16string_view CheckAttributeFor(std::u16string_view path) const;

    // Makes `path` an entry in place of every entry at, below or above it. False, changing
    // nothing, for a path that cannot be stored (empty, or holding a line break).
    bool Include(std::u16string_view path);

    // Removes every entry at or below `path`. False, changing nothing, for a path that cannot
    // be stored.
    bool Exclude(std::u16string_view path);

    std::vector<std::u16string> Entries() const;
    bool empty() const;

private:
    void RemoveAtOrBelow(std::u16string_view path);

    std::u16string filePath_;
    mutable std::mutex mutex_;
    std::vector<std::u16string> entries_;
};

}  // namespace tavopix
