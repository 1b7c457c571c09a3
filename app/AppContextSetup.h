// Fills the start-up part of AppContext: the program folder, the user's special folders, the
// viewer cursor styles and the error picture (percent-escaped, ready for a page), and the
// thumbnail cache folder, created when missing. Kept apart from the rest of start-up so that
// the context can be resolved for any folder, not only the running program's.
#pragma once

#include <string>

namespace tavopix {

// The folder of the running program with a trailing '/', or "./" when it cannot be found.
std::u16string ProgramFolder();

// Fills AppContext from `programDir` (trailing '/'). The thumbnail cache is `programDir`
// iconsdb/ or, when that can neither be created nor found as a folder, the user's cache folder's
// tavopix/iconsdb/ (a fresh private temporary folder when even that fails); nothing is reported.
void ResolveAppContext(const std::u16string& programDir);

}  // namespace tavopix
