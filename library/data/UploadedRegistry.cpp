#include "library/data/UploadedRegistry.h"

#include <string>
#include <utility>
#include <vector>

#include "app/PathTokens.h"
#include "app/TextConvert.h"
#include "app/TextFile.h"
#include "library/data/LineSafe.h"
#include "platform/FileSystem.h"

namespace tavopix {
namespace {

// Whether the stored path still names something on disk; a path that cannot be expanded names
// nothing.
bool StoredPathExists(const std::u16string& stored) {
    const std::u16string real = ExpandPath(stored);
    std::string narrow;
    return !real.empty() && ToUtf8(real, narrow) > 0 && PathExists(narrow);
}

}  // namespace

UploadedRegistry::UploadedRegistry(std::u16string filePath, CountDisplay countDisplay)
    : filePath_(std::move(filePath)),
      countDisplay_(std::move(countDisplay)),
      content_(filePath_.find(u'/') == std::u16string::npos
                   ? std::u16string()
                   : filePath_.substr(0, filePath_.find_last_of(u'/') + 1) +
                         std::u16string(kUploadedContentFileName)) {}

bool UploadedRegistry::Load() {
    (void)content_.Load();
    std::u16string text;
    if (!ReadTextFile(filePath_, text)) {
        return false;
    }
    {
        const std::lock_guard lock(mutex_);
        std::u16string line;
        for (int next = ReadLine(text, line, 0); next >= 0; next = ReadLine(text, line, next)) {
            entries_.insert(line);
        }
    }
    return Save(Write::Off);
}

bool UploadedRegistry::Save(Write write) {
    std::u16string text;
    unsigned count;
    {
        const std::lock_guard lock(mutex_);
        count = static_cast<unsigned>(entries_.size());
        if (write == Write::On) {
            text = BuildText();
        }
    }
    ShowCount(count);
    if (write == Write::Off) {
        return true;
    }
    const bool contentSaved = content_.Save();
    return WriteTextFile(filePath_, text) && contentSaved;
}

bool UploadedRegistry::Contains(std::u16string_view path,
                                std::optional<std::uint64_t> knownSize) const {
    {
        const std::lock_guard lock(mutex_);
        if (entries_.find(path) != entries_.end())
            return true;
    }
    return content_.ContainsFile(ExpandPath(path), knownSize);
}

void UploadedRegistry::AddContent(std::u16string_view path, std::u16string_view contentHash) {
    (void)content_.Add(ExpandPath(path), contentHash);
}

bool UploadedRegistry::Add(std::u16string_view path) {
    if (!IsLineSafe(path)) {
        return false;
    }
    const std::lock_guard lock(mutex_);
    entries_.emplace(path);
    return true;
}

bool UploadedRegistry::Remove(std::u16string_view path) {
    {
        const std::lock_guard lock(mutex_);
        if (const auto found = entries_.find(path); found != entries_.end()) {
            entries_.erase(found);
        }
    }
    return Save(Write::On);
}

void UploadedRegistry::PruneMissing(const Visitor& visitor) {
    std::vector<std::u16string> snapshot;
    {
        const std::lock_guard lock(mutex_);
        snapshot.assign(entries_.begin(), entries_.end());
    }
    // The files are looked at without the lock, so the listing worker's lookups never wait for
    // the disk.
    std::vector<std::u16string> missing;
    std::vector<const std::u16string*> present;
    for (const std::u16string& path : snapshot) {
        if (StoredPathExists(path)) {
            present.push_back(&path);
        } else {
            missing.push_back(path);
        }
    }
    if (!missing.empty()) {
        const std::lock_guard lock(mutex_);
        for (const std::u16string& path : missing) {
            entries_.erase(path);
        }
    }
    for (const std::u16string* path : present) {
        visitor(*path);
    }
    if (!missing.empty()) {
        Save(Write::On);
    }
}

unsigned UploadedRegistry::Count() const {
    const std::lock_guard lock(mutex_);
    return static_cast<unsigned>(entries_.size());
}

std::u16string UploadedRegistry::BuildText() const {
    std::u16string text;
    for (const std::u16string& entry : entries_) {
        text += entry;
        text += u"\r\n";
    }
    return text;
}

void UploadedRegistry::ShowCount(unsigned count) const {
    if (countDisplay_) {
        countDisplay_(u"(" + FromUtf8(std::to_string(count)) + u")");
    }
}

}  // namespace tavopix
