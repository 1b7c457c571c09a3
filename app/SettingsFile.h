// Where the user's preferences live: "tavopix.ini" in the program folder, read and written one
// key at a time through SettingsStore.
#pragma once

#include <string>

#include "app/AppContext.h"

namespace tavopix {

inline std::u16string SettingsFilePath() {
    return appContext.programDir + u"tavopix.ini";
}

}  // namespace tavopix
