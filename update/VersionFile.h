// The version file that the album service publishes at "/tavopix/update.dat" and the program
// keeps as "version.txt" beside itself.
#pragma once

#include <string>
#include <string_view>

namespace tavopix {

// The service's path of the version file.
inline constexpr char16_t kVersionFileAddress[] = u"/tavopix/update.dat";
// Its name in the program folder.
inline constexpr char16_t kVersionFileName[] = u"version.txt";

// The first non-empty line of the UTF-16 file at `path` (without its CR LF); empty when the file
// cannot be read or holds no complete line.
std::u16string ReadFirstVersionLine(const std::u16string& path);

}  // namespace tavopix
