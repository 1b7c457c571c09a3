// The SDK's configuration file: any bytes, as UTF-8 or (with its mark) UTF-16 text. A file that
// parses names an absolute http(s) service address ending with '/'.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "sdk/internal/SdkConfig.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (std::optional<tavopix::sdk::SdkConfig> config = tavopix::sdk::ParseSdkConfig(bytes)) {
        const std::string& base = config->albumService;
        bool http = base.rfind("http://", 0) == 0 || base.rfind("https://", 0) == 0;
        if (!http || base.back() != '/' || config->connectTimeoutMs == 0) {
            std::abort();
        }
    }
    return 0;
}
