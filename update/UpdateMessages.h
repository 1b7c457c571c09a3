// The window messages of the update check and the package download. The line messages carry a
// heap std::u16string in wParam that the receiver deletes; the queue frees it when it drops one.
#pragma once

#include <string>

#include "platform/MessageQueue.h"
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

// Registers the line messages' record type with the queue. Harmless to call again.
inline void RegisterUpdateMessageRecords() {
    RegisterMessageRecord(WM_SILENT_VERSION_LINE, &DeleteWParamRecord<std::u16string>);
    RegisterMessageRecord(WM_VERSION_LINE, &DeleteWParamRecord<std::u16string>);
}

}  // namespace tavopix
