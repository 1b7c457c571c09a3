// CLoginDlg: the login dialog ("loginDlg.htm"). The user logs in with a name and password, or,
// when the last successful login was remembered, with the stored ticket ("ticket mode": the
// password field then holds a placeholder until the user types a password). A remembered login
// with "auto login" starts its ticket login before the window first shows. A successful login
// writes UserInfo.dat and ends the run with 1; a failed one shows why in "info" and leaves the
// dialog usable. The links open the account service's registration and lost-password pages.
#pragma once

#include <string>

#include "engine/ElementRef.h"
#include "ui/HskFrame.h"

namespace tavopix {

// Posted by the login completion: wParam the SDK's result (1 = success), lParam its last error.
inline constexpr UINT WM_LOGIN_RESULT = WM_USER + 101;

class CLoginDlg : public CHskFrame {
public:
    // `noAutoLogin` keeps a remembered automatic login from starting by itself.
    CLoginDlg(HWND owner, bool noAutoLogin);

    int Create() override;
    bool OnBehaviorEvent(Element* element, Element* target, std::uint32_t code,
                         std::uintptr_t reason) override;
    bool OnKey(Element& he, KeyParams& params) override;
    LRESULT OnWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                            bool& handled) override;

    // The name the login used; the caller copies it after a run that returned 1.
    const std::u16string& UserName() const { return userName; }

private:
    void ReadRememberedLogin();
    void OnLoginClicked();
    void TicketLogin();
    void OnLoginResult(WPARAM result);
    void StopLogin();
    void ShowRunning();
    void ShowFailed();
    bool IsChecked(const ElementRef& box) const;
    void SetChecked(const ElementRef& box, bool checked);

    std::u16string userName;
    std::u16string storedTicket;
    ElementRef btnLogin;
    ElementRef btnCancel;
    ElementRef nameInput;
    ElementRef passwordInput;
    ElementRef rememberBox;
    ElementRef autoLoginBox;
    ElementRef info;
    bool ticketMode = false;
    bool loginRunning = false;
    bool noAutoLogin;
};

}  // namespace tavopix
