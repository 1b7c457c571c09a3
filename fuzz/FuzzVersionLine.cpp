// The first line of the version file, as UTF-16LE bytes from the album service.
#include <cstdint>
#include <string>

#include "update/CompareVersions.h"
#include "update/ParseVersionLine.h"
#include "update/ProgramVersion.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::u16string line;
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        line += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    }
    const tavopix::VersionLine parsed = tavopix::ParseVersionLine(line);
    if (parsed.newer && tavopix::CompareVersions(parsed.version, tavopix::kProgramVersion) <= 0) {
        __builtin_trap();
    }
    if (tavopix::CompareVersions(line, line) != 0) {
        __builtin_trap();
    }
    return 0;
}
