// The window messages of the update check and the package download. The line messages carry a
// std::u16string posted with PostOwned, which the receiver takes back with TakeOwned.
#pragma once

#include "platform/WindowMessages.h"

namespace tavopix {

// To the main window from its silent check: the version file's first line.
inline constexpr UINT WM_SILENT_VERSION_LINE = WM_USER + 9;
// To the update dialog from its check worker: the first line, possibly empty.
inline constexpr UINT WM_VERSION_LINE = WM_USER + 50;
// To the update dialog from the package download: wParam bytes received, lParam the total.
inline constexpr UINT WM_UPDATE_PROGRESS = WM_USER + 51;
// To the update dialog from the package worker as it ends.
inline constexpr UINT WM_UPDATE_DONE = WM_USER + 52;

}  // namespace tavopix
