// The computer's network host name.
#pragma once

#include <string>

namespace tavopix {

// The host name, or empty when the system does not give one.
std::string GetHostName();

}  // namespace tavopix
