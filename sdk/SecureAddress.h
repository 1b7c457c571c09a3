// Where a download that the program will run or trust may come from: an HTTPS address, or a
// plain HTTP one on this machine's loopback interface, never with user credentials. The SDK
// holds every redirect of a download to this rule; the self-update holds the package address
// itself to it as well.
#pragma once

#include <string_view>

namespace tavopix {

// True when the absolute address `url` (as its text, UTF-8) passes the rule. The check is made
// on the text as written: a host spelled other than "localhost", "[::1]" or four dotted decimal
// numbers starting with 127 is not taken for loopback, and characters that URL parsers read
// differently (controls, spaces, backslashes) refuse the address.
[[nodiscard]] bool IsSecureDownloadAddress(std::string_view url);

}  // namespace tavopix
