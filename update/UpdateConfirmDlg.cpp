#include "update/UpdateConfirmDlg.h"

#include <algorithm>
#include <memory>
#include <string>
#include <utility>

#include "app/AppContext.h"
#include "app/SettingsFile.h"
#include "app/SettingsStore.h"
#include "engine/Element.h"
#include "engine/EventCodes.h"
#include "engine/EventParams.h"
#include "platform/MessageQueue.h"
#include "platform/OwnedRecord.h"
#include "platform/Utf8.h"
#include "ui/DialogKeys.h"
#include "ui/PageHost.h"
#include "update/CompareVersions.h"
#include "update/ParseVersionLine.h"
#include "update/ProgramVersion.h"
#include "update/UpdateMessages.h"

namespace tavopix {
namespace {

constexpr int kWidth = 360;
constexpr int kHeight = 150;
constexpr std::u16string_view kAutoCheckKey = u"auto_check_update";

void SetDisplay(const ElementRef& element, bool shown) {
    if (element)
        element->SetStyleAttribute("display", shown ? u"block" : u"none");
}

}  // namespace

CUpdateConfirmDlg::CUpdateConfirmDlg(std::u16string newVersion, std::u16string packageAddress,
                                     HWND owner)
    : CHskFrame(owner),
      newVersion_(std::move(newVersion)),
      packageAddress_(std::move(packageAddress)) {
    skinPage = appContext.programDir + u"skin/updateConfirmDlg.htm";
    title = u"更新Tavopix";
    flags = HSK_CLOSE | HSK_MIN;
    width = kWidth;
    height = kHeight;
}

int CUpdateConfirmDlg::Create() {
    if (const int error = CHskFrame::Create(); error != 0)
        return error;
    Element* root = Page()->Root();
    info_ = ElementRef(root->FindById(u"info"));
    startButton_ = ElementRef(root->FindById(u"btn_start_update"));
    cancelButton_ = ElementRef(root->FindById(u"btn_cancel"));
    closeButton_ = ElementRef(root->FindById(u"btn_close"));
    autoUpdateCheck_ = ElementRef(root->FindById(u"ck_auto_update"));

    std::u16string autoCheck;
    if (autoUpdateCheck_ && SettingsStore::Get(SettingsFilePath(), kAutoCheckKey, autoCheck) &&
        autoCheck == u"true")
        autoUpdateCheck_->SetState(STATE_CHECKED, 0);

    if (newVersion_.empty() || packageAddress_.empty()) {
        ShowStatus(Status::Checking);
        check_.Start(hwnd);
    } else {
        ShowStatus(CompareVersions(newVersion_, kProgramVersion) > 0 ? Status::NewVersion
                                                                     : Status::UpToDate);
    }
    return 0;
}

void CUpdateConfirmDlg::ShowInfo(std::u16string_view text) {
    if (info_)
        info_->SetInnerText(text);
}

void CUpdateConfirmDlg::ShowStatus(Status status) {
    switch (status) {
        case Status::Checking:
            ShowInfo(u"正在检查更新...");
            break;
        case Status::UpToDate:
            ShowInfo(u"当前版本V" + std::u16string(kProgramVersion) + u",已是最新版本!");
            break;
        case Status::NewVersion:
            ShowInfo(u"发现新版本V" + newVersion_ + u",请确定开始更新!");
            break;
        case Status::Downloading:
            ShowInfo(u"正在下载更新(0%)...");
            break;
    }
    SetDisplay(startButton_, status == Status::NewVersion);
    SetDisplay(cancelButton_, status != Status::UpToDate);
    SetDisplay(closeButton_, status == Status::UpToDate);
}

LRESULT CUpdateConfirmDlg::OnWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                           bool& handled) {
    switch (message) {
        case WM_VERSION_LINE:
            handled = true;
            OnVersionLine(TakeOwned<std::u16string>(wParam));
            return 0;
        case WM_UPDATE_PROGRESS:
            handled = true;
            OnProgress(static_cast<std::uint64_t>(wParam), static_cast<std::uint64_t>(lParam));
            return 0;
        case WM_UPDATE_DONE:
            handled = true;
            OnDone();
            return 0;
        case WM_CLOSE:
            check_.Stop();
            package_.Stop();
            break;
        default:
            break;
    }
    return CHskFrame::OnWindowMessage(window, message, wParam, lParam, handled);
}

void CUpdateConfirmDlg::OnVersionLine(std::unique_ptr<std::u16string> line) {
    VersionLine parsed = ParseVersionLine(line ? *line : std::u16string());
    newVersion_ = std::move(parsed.version);
    packageAddress_ = std::move(parsed.address);
    ShowStatus(parsed.newer ? Status::NewVersion : Status::UpToDate);
}

void CUpdateConfirmDlg::OnProgress(std::uint64_t received, std::uint64_t total) {
    const std::uint64_t percent = total == 0 ? 0 : std::min(received, total) * 100 / total;
    ShowInfo(u"正在下载更新(" + Utf8ToUtf16(std::to_string(percent)) + u"%)...");
}

void CUpdateConfirmDlg::OnDone() {
    if (appContext.updateFilePath.empty()) {
        ShowStatus(Status::NewVersion);
        ShowInfo(u"下载更新失败,请稍后再试!");
        return;
    }
    resultCode = FRAME_RESULT_OK;
    PostMessage(hwnd, WM_CLOSE, 0, 0);
}

bool CUpdateConfirmDlg::OnBehaviorEvent(Element* element, Element* target, std::uint32_t code,
                                        std::uintptr_t reason) {
    if (CHskFrame::OnBehaviorEvent(element, target, code, reason))
        return true;
    if (!target)
        return false;
    if (code == BUTTON_CLICK && target == startButton_.get()) {
        ShowStatus(Status::Downloading);
        check_.Stop();
        package_.Start(hwnd, packageAddress_);
        return true;
    }
    if (code == BUTTON_CLICK && (target == cancelButton_.get() || target == closeButton_.get())) {
        PostMessage(hwnd, WM_CLOSE, 0, 0);
        return true;
    }
    if (code == BUTTON_STATE_CHANGED && target == autoUpdateCheck_.get()) {
        SettingsStore::Set(SettingsFilePath(), kAutoCheckKey,
                           target->HasState(STATE_CHECKED) ? u"true" : u"false");
        return true;
    }
    return false;
}

bool CUpdateConfirmDlg::OnKey(Element&, KeyParams& params) {
    // Enter starts the update when one is offered, else closes; Escape cancels or closes.
    return HandleDialogKey(params, startButton_.get(), cancelButton_.get()) ||
           HandleDialogKey(params, closeButton_.get(), closeButton_.get());
}

}  // namespace tavopix
