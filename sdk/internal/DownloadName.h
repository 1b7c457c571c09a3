// The name a downloaded file is stored under inside its folder. Names come from the service
// (its Content-Disposition answer header, else the address), so they are treated as hostile:
// whatever they say, the result names a file directly inside the folder, or nothing.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tavopix::sdk {

// The last part of `name` after any '/' or '\'; nothing when that is empty, "." or "..", holds a
// control character (below 0x20, or 0x7F), or is longer than 255 bytes.
std::optional<std::string> SafeFileName(std::string_view name);

// The file name a download is stored under: the "filename" of the Content-Disposition header
// when it has one, else the last segment of the address's path, percent-decoded; then made safe
// as above.
std::optional<std::string> DownloadFileName(std::string_view contentDisposition,
                                            std::string_view address);

}  // namespace tavopix::sdk
