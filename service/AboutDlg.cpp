#include "service/AboutDlg.h"

#include "app/AppContext.h"
#include "engine/Element.h"
#include "platform/MessageQueue.h"
#include "platform/Window.h"
#include "service/AdviceDlg.h"
#include "ui/DialogKeys.h"
#include "ui/PageHost.h"

namespace tavopix {

CAboutDlg::CAboutDlg(HWND owner) : CHskFrame(owner) {
    skinPage = appContext.programDir + u"skin/aboutDlg.htm";
    flags = HSK_CLOSE | HSK_MIN;
    width = 330;
    height = 220;
    title = u"意见与反馈";
}

int CAboutDlg::Create() {
    if (const int error = CHskFrame::Create(); error != 0) {
        return error;
    }
    Element* root = Page()->Root();
    btnClose = ElementRef(root->FindById(u"btn_close"));
    if (Element* version = root->FindById(u"version")) {
        version->SetInnerText(kProgramVersion);
    }
    return 0;
}

bool CAboutDlg::OnBehaviorEvent(Element* element, Element* target, std::uint32_t code,
                                std::uintptr_t reason) {
    if (CHskFrame::OnBehaviorEvent(element, target, code, reason)) {
        return true;
    }
    if (code == HYPERLINK_CLICK && target != nullptr) {
        if (HasId(target, u"feedback")) {
            CAdviceDlg advice(hwnd);
            advice.Run(SW_SHOWNORMAL);
            return true;
        }
        return false;
    }
    if (code == BUTTON_CLICK && target != nullptr && target == btnClose.get()) {
        PostMessage(hwnd, WM_CLOSE, 0, 0);
        return true;
    }
    return false;
}

bool CAboutDlg::OnKey(Element&, KeyParams& params) {
    return HandleDialogKey(params, btnClose.get(), btnClose.get());
}

}  // namespace tavopix
