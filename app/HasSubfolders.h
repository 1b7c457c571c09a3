// Whether a folder of the library has folders inside it, which decides whether the folder
// trees show it as a branch that can be opened or as a leaf.
#pragma once

#include <string_view>

namespace tavopix {

// True when the stored folder path (app/PathTokens.h) names a folder holding at least one
// folder. False when it cannot be expanded or listed.
[[nodiscard]] bool HasSubfolders(std::u16string_view storedFolder);

}  // namespace tavopix
