#include "library/data/UploadedContentRegistry.h"

#include <charconv>

#include "app/TextConvert.h"
#include "app/TextFile.h"
#include "platform/FileSystem.h"
#include "sdk/OvkSdk.h"

namespace tavopix {

namespace {

constexpr std::size_t kHashLength = 64;

bool IsHash(std::u16string_view text) {
    if (text.size() != kHashLength)
        return false;
    for (char16_t c : text) {
        if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f')))
            return false;
    }
    return true;
}

bool SizeOf(const std::u16string& realPath, std::uint64_t& size) {
    FileAttributes attributes;
    if (realPath.empty() || !ReadFileAttributes(Utf8(realPath), attributes) ||
        attributes.isDirectory) {
        return false;
    }
    size = attributes.size;
    return true;
}

}  // namespace

bool UploadedContentRegistry::Load() {
    std::u16string text;
    if (!ReadTextFile(filePath_, text))
        return false;
    const std::lock_guard lock(mutex_);
    std::u16string line;
    for (int next = ReadLine(text, line, 0); next >= 0; next = ReadLine(text, line, next)) {
        const std::string narrow = Utf8(line);
        std::uint64_t size = 0;
        const char* sizeText = narrow.data() + kHashLength + 1;
        const char* end = narrow.data() + narrow.size();
        if (narrow.size() <= kHashLength + 1 || narrow[kHashLength] != ' ' ||
            !IsHash(std::u16string_view(line).substr(0, kHashLength)) ||
            std::from_chars(sizeText, end, size).ptr != end) {
            continue;
        }
        if (entries_.emplace(line.substr(0, kHashLength), size).second)
            sizes_.insert(size);
    }
    return true;
}

bool UploadedContentRegistry::Save() {
    std::u16string text;
    {
        const std::lock_guard lock(mutex_);
        if (!changed_)
            return true;
        for (const auto& [hash, size] : entries_)
            text += hash + u" " + FromUtf8(std::to_string(size)) + u"\r\n";
        changed_ = false;
    }
    if (WriteTextFile(filePath_, text))
        return true;
    const std::lock_guard lock(mutex_);
    changed_ = true;
    return false;
}

bool UploadedContentRegistry::Add(const std::u16string& realPath, std::u16string_view contentHash) {
    std::uint64_t size = 0;
    if (!IsHash(contentHash) || !SizeOf(realPath, size))
        return false;
    const std::lock_guard lock(mutex_);
    if (entries_.emplace(std::u16string(contentHash), size).second) {
        sizes_.insert(size);
        changed_ = true;
    }
    return true;
}

bool UploadedContentRegistry::ContainsFile(const std::u16string& realPath,
                                           std::optional<std::uint64_t> knownSize) const {
    {
        const std::lock_guard lock(mutex_);
        if (entries_.empty())
            return false;
    }
    std::uint64_t size = knownSize.value_or(0);
    if (!knownSize && !SizeOf(realPath, size))
        return false;
    {
        const std::lock_guard lock(mutex_);
        if (sizes_.find(size) == sizes_.end())
            return false;
    }
    // Hashed without the lock: the UI thread's additions never wait for the disk.
    char16_t hash[kHashLength + 1];
    if (!ovkContentHash(realPath.c_str(), hash))
        return false;
    const std::lock_guard lock(mutex_);
    return entries_.count({hash, size}) > 0;
}

}  // namespace tavopix
