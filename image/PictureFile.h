// Internal to image/: whole picture files in and out. Pictures are written beside their final
// name and then renamed over it, so a reader never sees half a picture and a failed write
// leaves the old file as it was.
#pragma once

#include <string>

#include "image/PictureCodecs.h"

namespace tavopix {

// Files above this size are not pictures this program reads.
inline constexpr std::uint64_t kMaxPictureFileBytes = 1ull << 30;

// The whole file (UTF-8 path); false when it cannot be read, is empty or too large, or is not a
// regular file (a pipe, socket or device is refused without being waited on).
[[nodiscard]] bool ReadWholeFile(const std::string& path, Bytes& bytes);

// Replaces (or creates) the file with `bytes` through a temporary file in the same folder; an
// existing file's permissions are kept.
[[nodiscard]] bool ReplaceFile(const std::string& path, ByteSpan bytes);

}  // namespace tavopix
