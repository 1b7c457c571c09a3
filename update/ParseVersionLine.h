// Reading the first line of the version file that the album service publishes:
// the word "version", the newest version in dotted form and the address of the update package,
// separated by blanks (a token that begins with a double quote runs to the next one).
#pragma once

#include <string>
#include <string_view>

namespace tavopix {

struct VersionLine {
    bool newer = false;      // the line is well formed and names a version above this program's
    std::u16string version;  // token 2, when the line is newer
    std::u16string address;  // token 3, when the line is newer
};

VersionLine ParseVersionLine(std::u16string_view line);

}  // namespace tavopix
