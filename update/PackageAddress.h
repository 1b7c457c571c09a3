// Where an update package may come from. A package runs as the program itself, so it is taken
// only over HTTPS, or over plain HTTP from a service on this machine's loopback interface.
#pragma once

#include <string_view>

namespace tavopix {

// True when `address` (absolute, or a path beginning with "/" on the album service whose base
// address is `serviceBase`) may deliver an update package.
bool IsTrustedPackageAddress(std::u16string_view address, std::u16string_view serviceBase);

}  // namespace tavopix
