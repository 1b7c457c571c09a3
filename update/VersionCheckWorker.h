// The version check: downloads the service's version file into the program folder as
// "version.txt" and posts its first line to the window that started the check.
//
// The update dialog hears of every check that was not stopped (WM_VERSION_LINE, the line
// possibly empty); the main window's silent check only of one whose download succeeded
// (WM_SILENT_VERSION_LINE).
#pragma once

#include <string>

#include "platform/WinTypes.h"
#include "platform/WindowHandle.h"
#include "update/DownloadWorker.h"

namespace tavopix {

class VersionCheckWorker : public DownloadWorker {
public:
    enum class Report { EveryEnd, SuccessOnly };

    // `message` is the line message posted to the window; `report` says when it is posted.
    VersionCheckWorker(UINT message, Report report);
    ~VersionCheckWorker();

    // Stops a running check, then starts a new one for `owner`. UI thread.
    void Start(HWND owner);
    // Stops the check and drops its queued line messages. UI thread.
    void Stop();

private:
    void Check(HWND owner);
    void PostLine(HWND owner, std::u16string line);

    const UINT message_;
    const Report report_;
};

}  // namespace tavopix
