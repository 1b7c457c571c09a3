#include "service/LoginDlg.h"

#include "app/AppContext.h"
#include "engine/Element.h"
#include "engine/controls/Control.h"
#include "platform/MessageQueue.h"
#include "sdk/OvkSdk.h"
#include "service/AccountLinks.h"
#include "service/MachineKey.h"
#include "service/PostedCompletion.h"
#include "service/UserInfoFile.h"
#include "ui/DialogKeys.h"
#include "ui/MsgBox.h"
#include "ui/PageHost.h"

namespace tavopix {
namespace {

constexpr std::uint32_t kLoginTimeoutMs = 30000;
constexpr std::u16string_view kAppId = u"2";
// What the password field shows while the stored ticket stands in for the password.
constexpr std::u16string_view kTicketPlaceholder = u"ticket_login";
constexpr std::size_t kTicketBufferUnits = 64;

std::u16string_view FailureText(std::uint32_t status) {
    switch (status) {
        case 0:
            return u"连接服务器失败";
        case 404:
            return u"登录失败,用户名错误";
        case 403:
            return u"登录失败,密码错误";
        case 423:
            return u"登录受限,稍后再登录";
        case 500:
            return u"登录失败,服务器异常";
        default:
            return u"登录失败";
    }
}

std::u16string ValueOf(const ElementRef& input) {
    ControlValue value;
    if (!input || !ControlGetValue(*input, &value)) {
        return {};
    }
    return value.ToString();
}

}  // namespace

CLoginDlg::CLoginDlg(HWND owner, bool suppressAutoLogin)
    : CHskFrame(owner), noAutoLogin(suppressAutoLogin) {
    skinPage = appContext.programDir + u"skin/loginDlg.htm";
    flags = HSK_CLOSE | HSK_MIN;
    width = 320;
    height = 240;
    title = u"用户登入";
}

int CLoginDlg::Create() {
    if (const int error = CHskFrame::Create(); error != 0) {
        return error;
    }
    Element* root = Page()->Root();
    const auto bind = [root](std::u16string_view id) { return ElementRef(root->FindById(id)); };
    btnLogin = bind(u"btn_login");
    btnCancel = bind(u"btn_cancel");
    nameInput = bind(u"username");
    passwordInput = bind(u"pswd");
    rememberBox = bind(u"rcd_pswd");
    autoLoginBox = bind(u"auto_login");
    info = bind(u"info");
    ReadRememberedLogin();
    return 0;
}

void CLoginDlg::ReadRememberedLogin() {
    std::u16string text;
    if (!ReadUserInfoText(text)) {
        return;
    }
    const UserInfo remembered = ParseUserInfo(text);
    userName = remembered.userName;
    storedTicket = remembered.ticket;
    if (nameInput) {
        ControlSetValue(*nameInput, ControlValue(userName));
    }
    if (!remembered.remember || storedTicket.empty()) {
        SetChecked(rememberBox, false);
        return;
    }
    ticketMode = true;
    SetChecked(rememberBox, true);
    if (passwordInput) {
        ControlSetValue(*passwordInput, ControlValue(std::u16string(kTicketPlaceholder)));
    }
    if (remembered.autoLogin && !noAutoLogin) {
        SetChecked(autoLoginBox, true);
        ShowRunning();
        TicketLogin();
    } else {
        SetChecked(autoLoginBox, false);
    }
}

bool CLoginDlg::OnBehaviorEvent(Element* element, Element* target, std::uint32_t code,
                                std::uintptr_t reason) {
    if (CHskFrame::OnBehaviorEvent(element, target, code, reason)) {
        return true;
    }
    if (code == BUTTON_CLICK && target != nullptr) {
        if (target == btnLogin.get()) {
            OnLoginClicked();
            return true;
        }
        if (target == btnCancel.get()) {
            resultCode = FRAME_RESULT_CLOSED;
            PostMessage(hwnd, WM_CLOSE, 0, 0);
            return true;
        }
        return false;
    }
    if (code == EDIT_VALUE_CHANGED && target != nullptr && target == passwordInput.get()) {
        // The user types a password of their own: the next login uses it, not the ticket.
        ticketMode = false;
        return false;
    }
    if (code == HYPERLINK_CLICK) {
        if (HasId(target, u"link_reg")) {
            OpenInUserBrowser(RegisterPageAddress());
            return true;
        }
        if (HasId(target, u"link_pswd")) {
            OpenInUserBrowser(LostPasswordPageAddress());
            return true;
        }
    }
    return false;
}

bool CLoginDlg::OnKey(Element&, KeyParams& params) {
    return HandleDialogKey(params, btnLogin.get(), btnCancel.get());
}

void CLoginDlg::OnLoginClicked() {
    if (loginRunning) {
        return;
    }
    if (ticketMode) {
        ShowRunning();
        TicketLogin();
        return;
    }
    userName = ValueOf(nameInput);
    const std::u16string password = ValueOf(passwordInput);
    const std::u16string machineKey = MachineKey();
    if (userName.empty() || password.empty()) {
        HskMessageBox(u"请输入用户名,密码!", u"提示", MB_HSK_OK, nullptr);
        return;
    }
    loginRunning = true;
    ShowRunning();
    OvkLoginParams params;
    params.userName = userName.c_str();
    params.password = password.c_str();
    params.appId = kAppId.data();
    params.machineKey = machineKey.c_str();
    params.completion = &PostCompletion<WM_LOGIN_RESULT>;
    params.context = CompletionContext(hwnd);
    if (!ovkLoginStart(appContext.serviceSession, &params, kLoginTimeoutMs)) {
        loginRunning = false;
        ShowFailed();
    }
}

void CLoginDlg::TicketLogin() {
    const std::u16string machineKey = MachineKey();
    ticketMode = true;
    loginRunning = true;
    OvkTicketParams params;
    params.appId = kAppId.data();
    params.machineKey = machineKey.c_str();
    params.ticket = storedTicket.c_str();
    params.completion = &PostCompletion<WM_LOGIN_RESULT>;
    params.context = CompletionContext(hwnd);
    if (!ovkTicketLoginStart(appContext.serviceSession, &params, kLoginTimeoutMs)) {
        loginRunning = false;
        ShowFailed();
    }
}

LRESULT CLoginDlg::OnWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                   bool& handled) {
    const LRESULT result = CHskFrame::OnWindowMessage(window, message, wParam, lParam, handled);
    if (handled) {
        return result;
    }
    if (message == WM_LOGIN_RESULT) {
        handled = true;
        OnLoginResult(wParam);
    } else if (message == WM_CLOSE) {
        StopLogin();
    }
    return 0;
}

void CLoginDlg::OnLoginResult(WPARAM result) {
    if (!loginRunning) {
        // Left over from a login stopped since.
        return;
    }
    loginRunning = false;
    if (result == 1) {
        char16_t ticket[kTicketBufferUnits] = {};
        if (ovkGetTicket(appContext.serviceSession, ticket, sizeof ticket)) {
            WriteUserInfo({IsChecked(rememberBox), IsChecked(autoLoginBox), userName,
                           ticketMode ? storedTicket : std::u16string(ticket)});
        }
        resultCode = FRAME_RESULT_OK;
        PostMessage(hwnd, WM_CLOSE, 0, 0);
        return;
    }
    std::u16string text;
    if (ReadUserInfoText(text)) {
        text[0] = u'0';
        WriteUserInfoText(text);
    }
    ShowFailed();
}

void CLoginDlg::StopLogin() {
    if (!loginRunning) {
        return;
    }
    if (ticketMode) {
        ovkTicketLoginStop(appContext.serviceSession);
    } else {
        ovkLoginStop(appContext.serviceSession);
    }
    loginRunning = false;
    DiscardQueuedMessages(hwnd, WM_LOGIN_RESULT, WM_LOGIN_RESULT);
}

void CLoginDlg::ShowRunning() {
    if (info) {
        info->SetInnerText(u"登录中请稍候...");
        info->SetAttribute("state", u"busy");
    }
    if (btnLogin) {
        btnLogin->SetState(STATE_DISABLED, 0);
    }
}

void CLoginDlg::ShowFailed() {
    std::uint32_t status = 0;
    char16_t* reply = nullptr;
    ovkSessionHttpInfo(appContext.serviceSession, &status, &reply);
    ovkReleaseBuffer(&reply);
    if (info) {
        info->SetInnerText(FailureText(status));
        info->SetAttribute("state", u"error");
    }
    if (btnLogin) {
        btnLogin->SetState(0, STATE_DISABLED);
    }
}

bool CLoginDlg::IsChecked(const ElementRef& box) const {
    return box && box->HasState(STATE_CHECKED);
}

void CLoginDlg::SetChecked(const ElementRef& box, bool checked) {
    if (box) {
        box->SetState(checked ? STATE_CHECKED : 0, checked ? 0 : STATE_CHECKED);
    }
}

}  // namespace tavopix
