// albumd's readers of request text on any bytes: the first line is a target, the rest a body
// read as a form and as a client's JSON text. A target that is accepted never yields a segment
// that could step out of a folder, and percent-encoding always decodes back to its input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "ClientJson.h"
#include "HttpMessage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    std::size_t newline = input.find('\n');
    std::string_view target = input.substr(0, newline);
    std::string_view body = newline == std::string_view::npos ? "" : input.substr(newline + 1);

    if (auto parsed = albumd::ParseTarget(target)) {
        for (const std::string& segment : parsed->segments) {
            if (segment.empty() || segment == "." || segment == ".." ||
                segment.find_first_of(std::string_view("/\\\0", 3)) != std::string::npos) {
                std::abort();
            }
        }
    }
    (void)albumd::ParseForm(body);
    (void)albumd::ParseClientObject(body);
    if (albumd::PercentDecode(albumd::PercentEncode(body), false) != std::string(body)) {
        std::abort();
    }
    if (albumd::IsValidUtf8(body) && albumd::Utf8Length(body) > body.size()) {
        std::abort();
    }
    return 0;
}
