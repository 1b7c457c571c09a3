#include "service/SessionHelper.h"

#include "app/AppContext.h"
#include "platform/Window.h"
#include "sdk/OvkSdk.h"
#include "service/LoginDlg.h"
#include "service/UserInfoFile.h"

namespace tavopix {
namespace {

constexpr std::uint32_t kLogoutTimeoutMs = 6000;

// Revokes the ticket at the service; when the service cannot be reached the login still ends
// here.
void LogoutAtService() {
    if (!ovkLogout(appContext.serviceSession, kLogoutTimeoutMs)) {
        ovkSetLogout(appContext.serviceSession);
    }
}

}  // namespace

bool SessionHelper::IsLoggedIn() const {
    return ovkIsLog(appContext.serviceSession);
}

bool SessionHelper::EnsureLoggedIn(HWND owner) {
    if (IsLoggedIn()) {
        return true;
    }
    return RunLogin(owner, false);
}

bool SessionHelper::ChangeUser(HWND owner) {
    if (IsLoggedIn()) {
        Logout();
    }
    return RunLogin(owner, true);
}

bool SessionHelper::RunLogin(HWND owner, bool noAutoLogin) {
    if (!owner) {
        owner = GetActiveWindow();
    }
    CLoginDlg dialog(owner, noAutoLogin);
    if (dialog.Run(SW_SHOWNORMAL) != FRAME_RESULT_OK) {
        return false;
    }
    userName = dialog.UserName();
    return true;
}

bool SessionHelper::Logout() {
    std::u16string text;
    if (!ReadUserInfoText(text) || text.size() < 2) {
        // Nothing remembered (the ticket could not be fetched, or the file went): the login
        // still ends, and nothing is written.
        if (!IsLoggedIn()) {
            return false;
        }
        LogoutAtService();
        userName.clear();
        return true;
    }
    if (text[0] == u'1') {
        ovkSetLogout(appContext.serviceSession);
    } else {
        LogoutAtService();
        if (!WriteUserInfoText(u"00" + UserInfoName(text) + u"\r\n")) {
            return false;
        }
    }
    userName.clear();
    return true;
}

}  // namespace tavopix
