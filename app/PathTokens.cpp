#include "app/PathTokens.h"

#include <algorithm>
#include <cstdint>

#include "app/AppContext.h"
#include "app/TextConvert.h"
#include "platform/Drives.h"
#include "platform/Shell.h"

namespace tavopix {

namespace {

constexpr char16_t kSeparator = u'/';

struct SpecialToken {
    std::u16string_view token;
    std::u16string_view displayName;
};

// The order in which paths are tested for a leading token.
constexpr SpecialToken kTokensInOrder[] = {
    {kDesktopToken, u"桌面"},
    {kMyDocumentsToken, u"我的文档"},
    {kMyPicturesToken, u"图片收藏"},
};

// Replaces every `token` in `text` by `value`; returns how many there were.
int ReplaceAll(std::u16string& text, std::u16string_view token, std::u16string_view value) {
    int count = 0;
    size_t at = 0;
    while ((at = text.find(token, at)) != std::u16string::npos) {
        text.replace(at, token.size(), value);
        at += value.size();
        ++count;
    }
    return count;
}

std::u16string_view WithoutTrailingSeparators(std::u16string_view path) {
    while (!path.empty() && path.back() == kSeparator) {
        path.remove_suffix(1);
    }
    return path;
}

}  // namespace

std::u16string ExpandPath(std::u16string_view stored) {
    std::u16string path(stored);
    if (path.empty() || path.front() != u'%') {
        return path;
    }
    // Each step works on the text the previous ones left, and one token must occur exactly once.
    if (ReplaceAll(path, kDesktopToken, appContext.desktopDir) == 1 ||
        ReplaceAll(path, kMyPicturesToken, appContext.myPicturesDir) == 1 ||
        ReplaceAll(path, kMyDocumentsToken, appContext.myDocumentsDir) == 1) {
        return path;
    }
    return std::u16string();
}

int PathHead(std::u16string_view path, int start, std::u16string& head) {
    if (path.empty() || start < 0) {
        return -1;
    }
    if (start > 0) {
        size_t separator = path.find(kSeparator, static_cast<size_t>(start));
        if (separator == std::u16string_view::npos) {
            return -1;
        }
        head.assign(path.substr(0, separator + 1));
        return static_cast<int>(head.size());
    }
    for (const SpecialToken& special : kTokensInOrder) {
        if (path.starts_with(special.token)) {
            head.assign(special.token);
            return static_cast<int>(head.size());
        }
    }
    size_t separator = path.find(kSeparator);
    head.assign(separator == std::u16string_view::npos ? path : path.substr(0, separator + 1));
    return static_cast<int>(head.size());
}

PathClass ClassifyPath(std::u16string_view path) {
    if (path.empty()) {
        return {std::u16string(kFolderKind), std::u16string()};
    }
    for (const SpecialToken& special : kTokensInOrder) {
        if (!path.starts_with(special.token)) {
            continue;
        }
        if (path == special.token) {
            return {std::u16string(special.token), std::u16string(special.displayName)};
        }
        std::u16string_view trimmed = WithoutTrailingSeparators(path);
        size_t separator = trimmed.rfind(kSeparator);
        size_t nameStart =
            separator == std::u16string_view::npos ? special.token.size() : separator + 1;
        // A path of the token and separators only leaves nothing after the token.
        nameStart = std::min(nameStart, trimmed.size());
        return {std::u16string(kFolderKind), std::u16string(trimmed.substr(nameStart))};
    }
    // Drives are mount points; the root "/" trims to nothing and is shown as itself.
    std::u16string_view trimmed = WithoutTrailingSeparators(path);
    if (trimmed.empty()) {
        return {std::u16string(kDiskKind), std::u16string(1, kSeparator)};
    }
    if (trimmed.front() == kSeparator && IsDriveRoot(Utf8(trimmed))) {
        return {std::u16string(kDiskKind), std::u16string(trimmed)};
    }
    size_t separator = trimmed.rfind(kSeparator);
    return {std::u16string(kFolderKind),
            std::u16string(separator == std::u16string_view::npos ? trimmed
                                                                  : trimmed.substr(separator + 1))};
}

bool OpenWithShell(std::u16string_view target) {
    // Like the desktop's own open, a handler that cannot start is not reported.
    static_cast<void>(ShellOpen(Utf8(target)));
    return true;
}

bool ShowInExplorer(std::u16string_view stored) {
    if (stored.empty()) {
        return false;
    }
    std::u16string path = ExpandPath(stored);
    if (path.empty()) {
        return false;
    }
    if (path.back() == kSeparator) {
        static_cast<void>(ShellOpen(Utf8(path)));
    } else {
        static_cast<void>(ShowInFolder(Utf8(path)));
    }
    return true;
}

void FitInBox(int& width, int& height, int side) {
    constexpr int kMinimumEdge = 40;
    if (width <= 0) {
        width = side;
    }
    if (height <= 0) {
        height = side;
    }
    // 64-bit products: picture headers may claim sizes whose product with the edge would
    // overflow 32 bits.
    std::int64_t w = width;
    std::int64_t h = height;
    if (std::max(w, h) <= 0) {
        width = side;
        height = side;
    } else if (w >= h) {
        width = side;
        height = static_cast<int>(static_cast<std::int64_t>(side) * h / w);
    } else {
        width = static_cast<int>(static_cast<std::int64_t>(side) * w / h);
        height = side;
    }
    width = std::max(width, kMinimumEdge);
    height = std::max(height, kMinimumEdge);
}

}  // namespace tavopix
