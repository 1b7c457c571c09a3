#include "update/ParseVersionLine.h"

#include "app/TextFile.h"
#include "update/CompareVersions.h"
#include "update/ProgramVersion.h"

#include <utility>

namespace tavopix {

VersionLine ParseVersionLine(std::u16string_view line) {
    VersionLine result;
    std::u16string keyword;
    std::u16string version;
    std::u16string address;
    int next = ReadToken(line, keyword, 0);
    if (next < 0 || keyword != u"version") {
        return result;
    }
    next = ReadToken(line, version, next);
    if (next < 0 || CompareVersions(version, kProgramVersion) <= 0) {
        return result;
    }
    if (ReadToken(line, address, next) < 0) {
        return result;
    }
    result.newer = true;
    result.version = std::move(version);
    result.address = std::move(address);
    return result;
}

}  // namespace tavopix
