// Any text split into tokens: every call moves forward, and a token is never empty and holds
// no blank unless it was quoted.
#include <cstdint>
#include <string>

#include "FuzzUnits.h"
#include "app/TextFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::u16string text = tavopix::fuzzing::Utf16Units(data, size);
    std::u16string token;
    int at = 0;
    while (true) {
        int next = tavopix::ReadToken(text, token, at);
        if (next == -1) {
            break;
        }
        bool quoted = token.find_first_of(u" \t\r\n") != std::u16string::npos;
        if (next <= at || next > static_cast<int>(text.size()) + 1 || token.empty() ||
            (quoted && text.find(u'"', static_cast<size_t>(at)) == std::u16string::npos)) {
            __builtin_trap();
        }
        at = next;
    }
    return 0;
}
