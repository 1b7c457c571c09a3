// Where the program and the user's folders are: the program's own folder, and the Desktop,
// Documents and Pictures folders of the desktop's user-folder configuration. Every folder path
// returned ends with the separator '/'.
#pragma once

#include <string>

namespace tavopix {

enum class SpecialFolder { Desktop, Documents, Pictures };

// The folder holding the running program, or empty when it cannot be found.
std::string ProgramDirectory();

// The user's folder of that kind from the desktop's user-folder settings, or the customary
// folder in the home folder (Desktop, Documents, Pictures) when none is configured. Empty when
// no home folder is known. The folder need not exist.
std::string GetSpecialFolder(SpecialFolder folder);

// The user's cache folder: $XDG_CACHE_HOME when it is absolute, else ~/.cache/. Empty when no
// home folder is known. The folder need not exist.
std::string UserCacheFolder();

}  // namespace tavopix
