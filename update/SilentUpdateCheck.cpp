#include "update/SilentUpdateCheck.h"

#include <memory>
#include <string>

#include "app/AppContext.h"
#include "app/SettingsFile.h"
#include "app/SettingsStore.h"
#include "platform/MessageQueue.h"
#include "platform/OwnedRecord.h"
#include "platform/Window.h"
#include "update/ParseVersionLine.h"
#include "update/UpdateConfirmDlg.h"
#include "update/UpdateMessages.h"

namespace tavopix {
namespace {

// Runs the dialog; a complete package closes the main window.
void OfferUpdate(HWND mainWindow, std::u16string version, std::u16string address) {
    CUpdateConfirmDlg dialog(std::move(version), std::move(address), mainWindow);
    if (dialog.Run(SW_SHOWNORMAL) == FRAME_RESULT_OK)
        PostMessage(mainWindow, WM_CLOSE, 0, 0);
}

}  // namespace

SilentUpdateCheck::SilentUpdateCheck()
    : worker_(WM_SILENT_VERSION_LINE, VersionCheckWorker::Report::SuccessOnly) {}

void SilentUpdateCheck::StartIfWanted(HWND mainWindow) {
    std::u16string autoCheck;
    if (SettingsStore::Get(SettingsFilePath(), u"auto_check_update", autoCheck) &&
        autoCheck == u"true")
        worker_.Start(mainWindow);
}

void SilentUpdateCheck::Stop() {
    worker_.Stop();
}

void SilentUpdateCheck::OnVersionLine(HWND mainWindow, WPARAM line) {
    const std::unique_ptr<std::u16string> owned = TakeOwned<std::u16string>(line);
    VersionLine parsed = ParseVersionLine(owned ? *owned : std::u16string());
    if (parsed.newer)
        OfferUpdate(mainWindow, std::move(parsed.version), std::move(parsed.address));
}

void SilentUpdateCheck::CheckFromMenu(HWND mainWindow) {
    worker_.Stop();
    OfferUpdate(mainWindow, {}, {});
}

}  // namespace tavopix
