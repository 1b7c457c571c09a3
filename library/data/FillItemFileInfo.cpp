#include "library/data/FillItemFileInfo.h"

#include <string>

#include "app/PathTokens.h"
#include "app/TextConvert.h"
#include "platform/FileSystem.h"

namespace tavopix {

bool FillItemFileInfo(PictureItem& item) {
    const std::u16string real = ExpandPath(item.path);
    // The name is set even when the file is gone, so that a view of remembered pictures can
    // still list and sort them by name.
    const std::u16string& named = real.empty() ? item.path : real;
    const std::size_t separator = named.rfind(u'/');
    item.name = separator == std::u16string::npos ? named : named.substr(separator + 1);

    std::string narrow;
    FileAttributes attributes;
    if (real.empty() || ToUtf8(real, narrow) == 0 || !ReadFileAttributes(narrow, attributes)) {
        return false;
    }
    item.size = static_cast<std::uint32_t>(attributes.size);
    item.time = static_cast<std::uint32_t>(attributes.lastWriteTime >> 32);
    return true;
}

}  // namespace tavopix
