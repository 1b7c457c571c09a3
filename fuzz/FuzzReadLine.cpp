// Any text split into lines: every call moves forward, stays inside the text, and gives a
// non-empty line without line ends that the text holds at that place.
#include <cstdint>
#include <string>

#include "FuzzUnits.h"
#include "app/TextFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::u16string text = tavopix::fuzzing::Utf16Units(data, size);
    std::u16string line;
    int at = 0;
    while (true) {
        int next = tavopix::ReadLine(text, line, at);
        if (next == -1) {
            break;
        }
        if (next <= at || next > static_cast<int>(text.size()) || text[next - 1] != u'\n' ||
            line.empty() || line.find(u'\n') != std::u16string::npos || line.back() == u'\r' ||
            text.find(line, static_cast<size_t>(at)) >= static_cast<size_t>(next)) {
            __builtin_trap();
        }
        at = next;
    }
    return 0;
}
