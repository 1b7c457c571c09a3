// Ordering of dotted decimal version texts such as "0.1.10" and "0.1.9.0".
//
// Each component is the decimal number at its start (leading blanks and a sign allowed, digits
// up to the first non-digit, none at all reading as 0); a text that runs out of components
// counts its missing ones as 0, so "0.1.1" equals "0.1.1.0".
#pragma once

#include <string_view>

namespace tavopix {

// Negative when `a` is older than `b`, 0 when they name the same version, positive when `a` is
// newer.
int CompareVersions(std::u16string_view a, std::u16string_view b);

}  // namespace tavopix
