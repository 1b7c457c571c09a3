#include "platform/HostName.h"

#include <unistd.h>

namespace tavopix {

std::string GetHostName() {
    char buffer[260] = {};
    // The terminator is not guaranteed when the name is cut, so one byte stays zero.
    if (::gethostname(buffer, sizeof buffer - 1) != 0) {
        return std::string();
    }
    return std::string(buffer);
}

}  // namespace tavopix
