#include "library/data/FolderList.h"

#include <algorithm>
#include <utility>

#include "app/TextFile.h"
#include "library/data/LineSafe.h"

namespace tavopix {

FolderList::FolderList(std::u16string filePath) : filePath_(std::move(filePath)) {}

bool FolderList::Load() {
    std::vector<std::u16string> loaded;
    std::u16string text;
    const bool read = ReadTextFile(filePath_, text);
    if (read) {
        std::u16string line;
        for (int next = ReadLine(text, line, 0); next >= 0; next = ReadLine(text, line, next)) {
            loaded.push_back(line);
        }
    }
    const std::lock_guard lock(mutex_);
    entries_ = std::move(loaded);
    return read;
}

bool FolderList::Save() {
    std::u16string text;
    {
        const std::lock_guard lock(mutex_);
        std::sort(entries_.begin(), entries_.end());
        for (const std::u16string& entry : entries_) {
            text += entry;
            text += u'\n';
        }
    }
    return WriteTextFile(filePath_, text);
}

bool FolderList::Covers(std::u16string_view path) const {
    const std::lock_guard lock(mutex_);
    return std::any_of(entries_.begin(), entries_.end(),
                       [path](const std::u16string& entry) { return path.starts_with(entry); });
}

std::u16string_view FolderList::CheckAttributeFor(std::u16string_view path) const {
    const std::lock_guard lock(mutex_);
    bool below = false;
    for (const std::u16string& entry : entries_) {
        if (path.starts_with(entry)) {
            return kCheckOn;
        }
        below = below || entry.starts_with(path);
    }
    return below ? kCheckMixed : kCheckOff;
}

bool FolderList::Include(std::u16string_view path) {
    if (!IsLineSafe(path)) {
        return false;
    }
    const std::lock_guard lock(mutex_);
    RemoveAtOrBelow(path);
    std::erase_if(entries_,
                  [path](const std::u16string& entry) { return path.starts_with(entry); });
    entries_.emplace_back(path);
    return true;
}

bool FolderList::Exclude(std::u16string_view path) {
    if (!IsLineSafe(path)) {
        return false;
    }
    const std::lock_guard lock(mutex_);
    RemoveAtOrBelow(path);
    return true;
}

std::vector<std::u16string> FolderList::Entries() const {
    const std::lock_guard lock(mutex_);
    return entries_;
}

bool FolderList::empty() const {
    const std::lock_guard lock(mutex_);
    return entries_.empty();
}

void FolderList::RemoveAtOrBelow(std::u16string_view path) {
    std::erase_if(entries_,
                  [path](const std::u16string& entry) { return entry.starts_with(path); });
}

}  // namespace tavopix
