// The process-wide values that start-up resolves once and every other part of the program
// reads: the program folder, the special folders, the thumbnail cache, the viewer cursors, the
// error picture, the service session and the path of a downloaded update.
//
// Folder values end with the native separator. Written on the UI thread during start-up; the
// one exception, updateFilePath, is written by the update download thread before it posts its
// completion and read only after every window has closed.
#pragma once

#include <cstdint>
#include <string>

namespace tavopix {

struct AppContext {
    std::u16string programDir = u"./";
    std::u16string iconCacheDir = u"./";
    std::u16string desktopDir;
    std::u16string myPicturesDir;
    std::u16string myDocumentsDir;
    std::u16string prevCursorStyle;  // CSS "url(...)" of the step-back cursor, percent-escaped
    std::u16string nextCursorStyle;  // CSS "url(...)" of the step-on cursor, percent-escaped
    std::u16string errorImagePath;   // percent-escaped, ready for an image source
    std::uint32_t serviceSession = 0;
    std::u16string updateFilePath;
};

inline AppContext appContext;

}  // namespace tavopix
