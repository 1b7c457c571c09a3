// CUpdateConfirmDlg: the update dialog. It checks the album service's version file (unless it
// is given a newer version and its package address), offers a newer version, downloads its
// package with a percentage, and ends with result 1 once the package is complete and
// AppContext::updateFilePath names it; the caller then closes the main window, and start-up
// installs the package after everything has shut down.
#pragma once

#include <memory>
#include <string>

#include "engine/ElementRef.h"
#include "ui/HskFrame.h"
#include "update/PackageWorker.h"
#include "update/UpdateMessages.h"
#include "update/VersionCheckWorker.h"

namespace tavopix {

class CUpdateConfirmDlg : public CHskFrame {
public:
    // An empty `newVersion` or `packageAddress` makes the dialog check the service first.
    CUpdateConfirmDlg(std::u16string newVersion, std::u16string packageAddress, HWND owner);

    int Create() override;
    LRESULT OnWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                            bool& handled) override;
    bool OnBehaviorEvent(Element* element, Element* target, std::uint32_t code,
                         std::uintptr_t reason) override;
    bool OnKey(Element& element, KeyParams& params) override;

private:
    enum class Status { Checking, UpToDate, NewVersion, Downloading };

    void ShowStatus(Status status);
    void ShowInfo(std::u16string_view text);
    void OnVersionLine(std::unique_ptr<std::u16string> line);
    void OnProgress(std::uint64_t received, std::uint64_t total);
    void OnDone();

    std::u16string newVersion_;
    std::u16string packageAddress_;
    ElementRef info_;
    ElementRef startButton_;
    ElementRef cancelButton_;
    ElementRef closeButton_;
    ElementRef autoUpdateCheck_;
    VersionCheckWorker check_{WM_VERSION_LINE, VersionCheckWorker::Report::EveryEnd};
    PackageWorker package_;
};

}  // namespace tavopix
