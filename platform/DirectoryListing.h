// Lists the entries of one folder, the "." and ".." entries left out, in name order: names
// compared as UTF-16 code units after folding to upper case, as a case-insensitive file system
// orders its folders (so "a" comes before "B", "Day1" before "Day2"), the same at every listing
// whatever order the directory keeps; names that fold alike keep their byte order. The whole
// folder is read when the listing opens.
//
// Names and the folder flag come from the directory itself; the file system is asked for more
// (size, last-write time, or the kind of an entry the directory does not type) only when the
// listing was opened with EntryDetails::Full or the kind is unknown. Symbolic links report
// their target: a link to a folder is a folder, with isSymlink set so that walkers that descend
// can refuse to follow it (a link may point to one of its own parents). A dangling link is
// listed as a file of size 0.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace tavopix {

struct DirectoryEntry {
    std::string name;  // native 8-bit name, no separator
    bool isDirectory = false;
    bool isSymlink = false;
    std::uint64_t size = 0;           // only with EntryDetails::Full
    std::uint64_t lastWriteTime = 0;  // only with EntryDetails::Full; platform/FileTime.h ticks
    std::uint64_t device = 0;         // only with EntryDetails::Full; see FileAttributes
    std::uint64_t inode = 0;
};

enum class EntryDetails { NameAndKind, Full };

class DirectoryListing {
public:
    // Opens `folder` (with or without a trailing separator). On failure IsOpen() is false and
    // the last error says why (ERROR_PATH_NOT_FOUND, ERROR_ACCESS_DENIED, ...).
    explicit DirectoryListing(const std::string& folder,
                              EntryDetails details = EntryDetails::NameAndKind);
    ~DirectoryListing();
    DirectoryListing(const DirectoryListing&) = delete;
    DirectoryListing& operator=(const DirectoryListing&) = delete;

    [[nodiscard]] bool IsOpen() const;

    // Fills `entry` with the next entry. False at the end (last error ERROR_NO_MORE_FILES) or
    // when reading fails (another last error).
    [[nodiscard]] bool Next(DirectoryEntry& entry);

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace tavopix
