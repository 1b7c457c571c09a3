#include "sdk/internal/DownloadName.h"

#include <strings.h>

#include "sdk/internal/UrlText.h"

namespace tavopix::sdk {

namespace {

constexpr std::size_t kMaxNameBytes = 255;

// The value of the "filename" parameter: a quoted string (with backslash escapes) or a token.
std::optional<std::string> DispositionFileName(std::string_view header) {
    std::size_t pos = 0;
    while ((pos = header.find(';', pos)) != std::string_view::npos) {
        ++pos;
        while (pos < header.size() && (header[pos] == ' ' || header[pos] == '\t')) {
            ++pos;
        }
        constexpr std::string_view kKey = "filename=";
        if (header.size() - pos < kKey.size() ||
            strncasecmp(header.data() + pos, kKey.data(), kKey.size()) != 0) {
            continue;
        }
        std::string_view value = header.substr(pos + kKey.size());
        std::string name;
        if (!value.empty() && value.front() == '"') {
            for (std::size_t i = 1; i < value.size() && value[i] != '"'; ++i) {
                if (value[i] == '\\' && i + 1 < value.size()) {
                    ++i;
                }
                name += value[i];
            }
        } else {
            name = value.substr(0, value.find_first_of("; \t"));
        }
        return name;
    }
    return std::nullopt;
}

std::string AddressFileName(std::string_view address) {
    address = address.substr(0, address.find_first_of("?#"));
    std::size_t scheme = address.find("://");
    if (scheme != std::string_view::npos) {
        address.remove_prefix(scheme + 3);
        std::size_t path = address.find('/');
        address = path == std::string_view::npos ? std::string_view() : address.substr(path);
    }
    return PercentDecode(address.substr(address.rfind('/') + 1));
}

}  // namespace

std::optional<std::string> SafeFileName(std::string_view name) {
    std::size_t lastSeparator = name.find_last_of("/\\");
    if (lastSeparator != std::string_view::npos) {
        name.remove_prefix(lastSeparator + 1);
    }
    if (name.empty() || name == "." || name == ".." || name.size() > kMaxNameBytes) {
        return std::nullopt;
    }
    for (char c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            return std::nullopt;
        }
    }
    return std::string(name);
}

std::optional<std::string> DownloadFileName(std::string_view contentDisposition,
                                            std::string_view address) {
    if (std::optional<std::string> given = DispositionFileName(contentDisposition)) {
        return SafeFileName(*given);
    }
    return SafeFileName(AddressFileName(address));
}

}  // namespace tavopix::sdk
