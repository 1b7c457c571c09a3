#include "update/VersionFile.h"

#include "app/TextFile.h"

namespace tavopix {

std::u16string ReadFirstVersionLine(const std::u16string& path) {
    std::u16string text;
    std::u16string line;
    if (!ReadTextFile(path, text) || ReadLine(text, line, 0) < 0)
        return {};
    return line;
}

}  // namespace tavopix
