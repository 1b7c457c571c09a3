// Where the user's preferences live: kSettingsFileName in the program folder, read and written one
// key at a time through SettingsStore.
#pragma once

#include <string>

#include "app/AppContext.h"
#include "app/UserDataFiles.h"

namespace tavopix {

inline std::u16string SettingsFilePath() {
    return appContext.programDir + std::u16string(kSettingsFileName);
}

}  // namespace tavopix
