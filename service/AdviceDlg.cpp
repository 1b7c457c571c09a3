#include "service/AdviceDlg.h"

#include <string>

#include "app/AppContext.h"
#include "app/TextConvert.h"
#include "engine/Element.h"
#include "engine/controls/Control.h"
#include "platform/Accelerator.h"
#include "platform/MessageQueue.h"
#include "platform/Window.h"
#include "service/JsonEscape.h"
#include "service/PostedCompletion.h"
#include "ui/DialogKeys.h"
#include "ui/PageHost.h"

namespace tavopix {
namespace {

constexpr std::u16string_view kBrokenSetup = u"发送错误,可能配置文件已损坏,请重新安装本软件!";

}  // namespace

CAdviceDlg::CAdviceDlg(HWND owner)
    : CHskFrame(owner), request(WM_FEEDBACK_RESULT, &PostCompletion<WM_FEEDBACK_RESULT>) {
    skinPage = appContext.programDir + u"skin/adviceDlg.htm";
    flags = HSK_CLOSE | HSK_MIN | HSK_CORNER;
    width = 300;
    height = 220;
    minWidth = 300;
    minHeight = 220;
    title = u"意见与反馈";
    accelId = IDR_FRAME_ACCELERATORS;
}

int CAdviceDlg::Create() {
    if (const int error = CHskFrame::Create(); error != 0) {
        return error;
    }
    request.SetWindow(hwnd);
    Element* root = Page()->Root();
    advMsg = ElementRef(root->FindById(u"adv_msg"));
    info = ElementRef(root->FindById(u"req_info"));
    btnSend = ElementRef(root->FindById(u"btn_send"));
    btnClose = ElementRef(root->FindById(u"btn_close"));
    // The window was sized before its page existed; the message box takes its height now.
    FitMessage(height);
    return 0;
}

bool CAdviceDlg::OnBehaviorEvent(Element* element, Element* target, std::uint32_t code,
                                 std::uintptr_t reason) {
    if (CHskFrame::OnBehaviorEvent(element, target, code, reason)) {
        return true;
    }
    if (code != BUTTON_CLICK || target == nullptr) {
        return false;
    }
    if (target == btnSend.get()) {
        Send();
        return true;
    }
    if (target == btnClose.get()) {
        PostMessage(hwnd, WM_CLOSE, 0, 0);
        return true;
    }
    return false;
}

bool CAdviceDlg::OnKey(Element&, KeyParams& params) {
    return HandleDialogKey(params, btnSend.get(), btnClose.get());
}

void CAdviceDlg::Send() {
    // One request at a time: a second press (or Enter) while one runs would store the message
    // twice. The send button is disabled for exactly that time.
    if (btnSend && btnSend->HasState(STATE_DISABLED)) {
        return;
    }
    ControlValue value;
    std::u16string text;
    if (advMsg && ControlGetValue(*advMsg, &value)) {
        text = value.ToString();
    }
    if (text.empty()) {
        ShowInfo(kBrokenSetup, false);
        return;
    }
    JsonEscape(text);
    const std::u16string second = u"{\"contact\":\"\",\"feed_content\":\"" + text + u"\"}";
    if (!request.Prepare(OVK_API_FEEDBACK, u"", second.c_str())) {
        ShowInfo(kBrokenSetup, false);
        return;
    }
    ShowInfo(u"正在发送,请稍侯...", true);
    if (!request.Send()) {
        ShowInfo(u"发送失败,请检查网络是否正常!", false);
    }
}

LRESULT CAdviceDlg::OnWindowMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam,
                                    bool& handled) {
    const LRESULT result = CHskFrame::OnWindowMessage(window, msg, wParam, lParam, handled);
    if (handled) {
        return result;
    }
    switch (msg) {
        case WM_FEEDBACK_RESULT:
            handled = true;
            if (!request.Active()) {
                break;  // left over from a request closed since
            }
            if (wParam == 1) {
                ShowInfo(u"谢谢,已提交成功!", false);
            } else {
                ShowInfo(u"提交失败,错误码: " + FromUtf8(std::to_string(lParam)), false);
            }
            request.Close();
            break;
        case WM_SIZE:
            handled = true;
            FitMessage(HIWORD(lParam));
            break;
        case WM_CLOSE:
            request.Close();
            break;
        default:
            break;
    }
    return 0;
}

void CAdviceDlg::ShowInfo(std::u16string_view text, bool sending) {
    if (btnSend) {
        btnSend->SetEnabled(!sending);
    }
    if (info) {
        info->SetInnerText(text);
        info->SetEnabled(!sending);
    }
}

void CAdviceDlg::FitMessage(int clientHeight) {
    if (advMsg) {
        advMsg->SetStyleAttribute("height",
                                  FromUtf8(std::to_string(clientHeight - kMessageMargin) + "px"));
    }
}

}  // namespace tavopix
