#include "library/data/PictureMatcher.h"

#include "platform/AsciiCase.h"

namespace tavopix {
namespace {

constexpr std::uint64_t kSecondsPerDay = 86400;
constexpr std::uint64_t kTicksPerSecond = kFileTimeTicksPerSecond;

struct SizeClass {
    std::uint32_t bit;
    std::uint32_t lowest;
    std::uint32_t highest;  // inclusive, like the lowest: the bounds belong to two classes
};

constexpr SizeClass kSizeClasses[] = {
    {kSizeSmall, 0, 20480},
    {kSizeMiddle, 20480, 1048576},
    {kSizeLarge, 1048576, 52428800},
};

struct Extension {
    std::u16string_view text;  // lower case, with its dot
    std::uint32_t typeBit;
};

constexpr Extension kExtensions[] = {
    {u".jpg", kTypeJpeg},
    {u".gif", kTypeGif},
    {u".png", kTypePng},
    {u".bmp", kTypeBmp},
};

// Compares the end of `name` with a lower-case ASCII `suffix`, ignoring the case of `name`.
bool EndsWithFolded(std::u16string_view name, std::u16string_view suffix) {
    if (name.size() < suffix.size()) {
        return false;
    }
    const std::u16string_view tail = name.substr(name.size() - suffix.size());
    for (std::size_t i = 0; i < tail.size(); ++i) {
        if (AsciiLower(tail[i]) != suffix[i]) {
            return false;
        }
    }
    return true;
}

}  // namespace

PictureMatcher::PictureMatcher(const PictureFilter& filter, std::uint64_t nowFileTime)
    : filter_(filter) {
    if (filter.dayCount != 0) {
        const std::uint64_t now = nowFileTime / kTicksPerSecond;
        const std::uint64_t span = std::uint64_t{filter.dayCount} * kSecondsPerDay;
        // A day count reaching back before 1601 lets every file pass instead of wrapping
        // around to a cut-off in the far future that no file could pass.
        cutoffSeconds_ = span < now ? now - span : 0;
    }
}

bool PictureMatcher::Matches(std::u16string_view name, bool isDirectory, std::uint32_t size,
                             std::uint64_t lastWriteFileTime) const {
    if (isDirectory || !TypeMatches(name) || !SizeMatches(size)) {
        return false;
    }
    return lastWriteFileTime / kTicksPerSecond >= cutoffSeconds_;
}

bool PictureMatcher::TypeMatches(std::u16string_view name) const {
    if (EndsWithFolded(name, u".jpeg") && (filter_.typeBits & kTypeJpeg) != 0) {
        return true;
    }
    for (const Extension& extension : kExtensions) {
        if (EndsWithFolded(name, extension.text)) {
            return (filter_.typeBits & extension.typeBit) != 0;
        }
    }
    return false;
}

bool PictureMatcher::SizeMatches(std::uint32_t size) const {
    for (const SizeClass& sizeClass : kSizeClasses) {
        if ((filter_.sizeBits & sizeClass.bit) != 0 && size >= sizeClass.lowest &&
            size <= sizeClass.highest) {
            return true;
        }
    }
    return false;
}

}  // namespace tavopix
