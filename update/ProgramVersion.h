// The version this program was released as, in the dotted form that the update check compares
// with the version named by the album service.
#pragma once

#include <string_view>

namespace tavopix {

inline constexpr std::u16string_view kProgramVersion = u"0.1.1.0";

}  // namespace tavopix
