// The name a download is stored under, from a hostile Content-Disposition header and address:
// whatever they hold, a name that is given is one plain file name inside the folder.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "sdk/internal/DownloadName.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::size_t split = bytes.find('\n');
    std::string_view header = bytes.substr(0, split);
    std::string_view address = split == std::string_view::npos ? "" : bytes.substr(split + 1);
    if (std::optional<std::string> name = tavopix::sdk::DownloadFileName(header, address)) {
        bool bad = name->empty() || *name == "." || *name == ".." || name->size() > 255 ||
                   name->find_first_of("/\\") != std::string::npos;
        for (char c : *name) {
            bad = bad || static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
        }
        if (bad) {
            std::abort();
        }
    }
    return 0;
}
