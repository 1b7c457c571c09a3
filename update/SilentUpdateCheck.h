// The main window's update checks: the silent one at start (when "auto_check_update" reads
// "true") and the one its menu asks for. Either opens the update dialog over the main window,
// and a dialog that ends with a complete package closes the main window so that start-up can
// install it.
#pragma once

#include "platform/WinTypes.h"
#include "platform/WindowHandle.h"
#include "update/VersionCheckWorker.h"

namespace tavopix {

class SilentUpdateCheck {
public:
    SilentUpdateCheck();

    // Starts the silent check for `mainWindow` when the settings ask for it. UI thread.
    void StartIfWanted(HWND mainWindow);
    // Stops the check, waiting for its worker, and drops its queued line. UI thread.
    void Stop();
    bool IsRunning() const { return worker_.IsRunning(); }

    // WM_SILENT_VERSION_LINE: offers a newer version the line names. Takes the line record.
    void OnVersionLine(HWND mainWindow, WPARAM line);
    // The menu's "check for updates": stops the silent check and runs the dialog's own check.
    void CheckFromMenu(HWND mainWindow);

private:
    VersionCheckWorker worker_;
};

}  // namespace tavopix
