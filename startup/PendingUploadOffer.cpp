#include "startup/PendingUploadOffer.h"

#include <cstdio>

#include "app/TextConvert.h"
#include "mainframe/MainFrame.h"
#include "platform/MessageQueue.h"
#include "platform/Window.h"
#include "upload/ChoiceBox.h"
#include "upload/PendingUploadFile.h"
#include "upload/UploadDlg.h"

namespace tavopix {

namespace {

constexpr std::u16string_view kClassName = u"TavopixPendingUploadOffer";
constexpr UINT WM_OFFER_PENDING_UPLOAD = WM_USER + 1;

}  // namespace

PendingUploadOffer::PendingUploadOffer(CMainFrame& mainFrame) : mainFrame_(mainFrame) {
    if (!PendingUploadFile(PendingUploadFilePath()).Read())
        return;
    WNDCLASSEX windowClass;
    windowClass.lpszClassName = std::u16string(kClassName);
    windowClass.lpfnWndProc = [this](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message != WM_OFFER_PENDING_UPLOAD)
            return DefWindowProc(hwnd, message, wParam, lParam);
        Offer();
        return LRESULT{0};
    };
    if (RegisterClassEx(windowClass) == 0)
        return;
    window_ = CreateWindowEx(0, kClassName, u"", 0, 0, 0, 0, 0, nullptr, nullptr);
    if (window_)
        PostMessage(window_, WM_OFFER_PENDING_UPLOAD, 0, 0);
}

PendingUploadOffer::~PendingUploadOffer() {
    if (window_)
        DestroyWindow(window_);
    UnregisterClass(kClassName);
}

void PendingUploadOffer::Offer() {
    const HWND owner = mainFrame_.GetHwnd();
    const PendingUploadFile file(PendingUploadFilePath());
    const std::optional<PendingUpload> pending = file.Read();
    if (!owner || !pending)
        return;
    char text[200];
    std::snprintf(text, sizeof text, "上次的上传尚未完成,还有 %zu 张图片未上传到相册。",
                  pending->paths.size());
    switch (AskChoice(FromUtf8(text), u"继续上传", {u"继续上传", u"放弃"}, owner)) {
        case 0:
            break;
        case 1:
            (void)file.Remove();
            return;
        default:
            return;  // asked again at the next start
    }
    if (!mainFrame_.Menu().Session().EnsureLoggedIn(owner))
        return;
    mainFrame_.Menu().RefreshLoginHint();
    CUploadDlg upload(mainFrame_.Registry(), pending->albumId, pending->keepFullSize,
                      pending->paths, owner);
    if (upload.Run(SW_SHOWNORMAL) == FRAME_RESULT_OK)
        mainFrame_.Registry().Save(UploadedRegistry::Write::On);
}

}  // namespace tavopix
