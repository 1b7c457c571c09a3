// Percent-encoding for the values the SDK puts into addresses, and decoding for the names it
// takes out of them.
#pragma once

#include <string>
#include <string_view>

namespace tavopix::sdk {

// Every byte but the unreserved ones (letters, digits, "-", ".", "_", "~") as "%XX".
std::string PercentEncode(std::string_view text);

// "%XX" sequences as the bytes they stand for; a "%" without two hex digits stays as it is.
std::string PercentDecode(std::string_view text);

}  // namespace tavopix::sdk
