#include "image/PictureDetails.h"

#include "app/TextConvert.h"
#include "image/FileNameRules.h"
#include "image/PictureHeader.h"
#include "platform/FileSystem.h"

namespace tavopix {

bool ReadPictureDetails(PictureDetails& details) {
    const std::string path = Utf8(details.realPath);
    FileAttributes attributes;
    if (!ReadFileAttributes(path, attributes)) {
        return false;
    }
    details.lastWriteTime = attributes.lastWriteTime;
    details.size = static_cast<std::uint32_t>(attributes.size & 0xFFFFFFFF);
    details.name = FileNameOf(details.realPath);
    details.width = 0;
    details.height = 0;
    // Sizes the decoders would refuse count as undecodable.
    const std::optional<PictureHeader> header = ReadPictureHeaderOfFile(path);
    if (header && FitsPixelLimit(header->width, header->height)) {
        // The size the picture is seen at, as the viewer shows it.
        details.width = static_cast<std::int32_t>(header->UprightWidth());
        details.height = static_cast<std::int32_t>(header->UprightHeight());
    }
    return true;
}

}  // namespace tavopix
