// The package download of the update dialog: fetches the update package named by the version
// file into the program folder's update area, sets AppContext::updateFilePath when it is
// complete and signed with the update key (a package that is not counts as a failed download),
// and posts WM_UPDATE_PROGRESS while it runs and WM_UPDATE_DONE as it ends.
#pragma once

#include <string>

#include "platform/WindowHandle.h"
#include "update/DownloadWorker.h"

namespace tavopix {

class PackageWorker : public DownloadWorker {
public:
    PackageWorker();
    ~PackageWorker();

    // Stops a running download, then starts one of `address` for `dialog`. UI thread.
    void Start(HWND dialog, std::u16string address);
    // Abandons the download and drops its queued progress and end messages. UI thread.
    void Stop();

private:
    void Download(HWND dialog, const std::u16string& address);
};

}  // namespace tavopix
