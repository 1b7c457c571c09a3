// The key that accompanies every login to tell the service which computer the user logs in
// from: the host name, percent-encoded, repeated to at least 16 characters.
#pragma once

#include <string>
#include <string_view>

namespace tavopix {

// The key of this computer, from its host name.
std::u16string MachineKey();

// The key for the given host name bytes: "0"-"9", "a"-"z", "A"-"Z", "." and "/" stay, every
// other byte becomes "%" and two upper-case hexadecimal digits; an empty name gives a fixed
// fallback text; the result is doubled until it holds at least 16 characters.
std::u16string MachineKeyFromHostName(std::string_view hostName);

}  // namespace tavopix
