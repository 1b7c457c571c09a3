// Whole-file reads and crash-safe whole-file writes of the program's small data files.
//
// Paths are native 8-bit paths. Failures set the thread's last error (platform/LastError.h).
#pragma once

#include <string>
#include <string_view>

namespace tavopix {

// Reads every byte of the regular file `path` into `bytes`. False (and `bytes` untouched) when
// it is missing, unreadable or not a regular file (a folder, a pipe or a device).
[[nodiscard]] bool ReadWholeFile(const std::string& path, std::string& bytes);

enum class FilePermissions { Shared, OwnerOnly };

// Replaces the file `path` by `bytes`: they are written to a new file beside it, flushed to the
// disk and then renamed over the old file, so a crash or a full disk leaves either the old or
// the new content, never a mix. A symbolic link is followed and its target replaced. Shared files
// get the usual permissions (0666 less the umask), OwnerOnly files 0600.
[[nodiscard]] bool WriteFileAtomically(const std::string& path, std::string_view bytes,
                                       FilePermissions permissions = FilePermissions::Shared);

}  // namespace tavopix
