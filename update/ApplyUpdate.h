// The last step of the program's run after a downloaded update: install the package beside the
// program and start the program again, so the user comes back to the new version (or, when the
// package was refused, to the old one, untouched).
#pragma once

#include <string>

namespace tavopix {

// Installs the package at `packagePath` into `programDir` (ending with '/') and starts
// `programDir` + "tavopix" detached. A refused or failed install is told on stderr.
void ApplyUpdateAndRestart(const std::string& programDir, const std::string& packagePath);

}  // namespace tavopix
