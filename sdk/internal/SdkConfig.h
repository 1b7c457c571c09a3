// The SDK's configuration, read from "ovkCfg.ini": where the album service and its pages live,
// and how long connecting may take. The file format is described in sdk/README.md.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tavopix::sdk {

struct SdkConfig {
    std::string albumService;  // absolute http(s) address ending with '/'
    std::string homePage;
    std::string registerPage;
    std::string lostPasswordPage;
    std::uint32_t connectTimeoutMs = 10000;
    // Pictures of at least this many bytes are sent as resumable uploads, in pieces.
    std::uint64_t resumableFromBytes = 1024 * 1024;
};

// Parses the bytes of a configuration file (UTF-8, or UTF-16 with its byte-order mark). Nothing
// when the file is malformed: undecodable text, a line that is neither a comment, a section nor
// a key, an unknown section or key, a key given twice, an address that is not an absolute
// http(s) address, a time-out that is not a whole number of 1 to 600000 ms, a size that is not a
// whole number of bytes, or no album service.
std::optional<SdkConfig> ParseSdkConfig(std::string_view bytes);

}  // namespace tavopix::sdk
