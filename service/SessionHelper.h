// SessionHelper: the main window's way to the login state. It asks the SDK whether a user is
// logged in, runs the login dialog when one must be, changes the user and logs out, and keeps
// the logged-in user's name for the caption. UI thread only.
#pragma once

#include <string>

#include "platform/WindowHandle.h"

namespace tavopix {

class SessionHelper {
public:
    // The SDK's answer; the only source of truth about the login.
    bool IsLoggedIn() const;
    // True at once when logged in; otherwise runs the login dialog over `owner` (the active
    // window when null) and tells whether it ended with a login.
    bool EnsureLoggedIn(HWND owner);
    // Logs the present user out (when there is one) and runs the login dialog without its
    // automatic ticket login.
    bool ChangeUser(HWND owner);
    // Ends the login. With "remember" on, the ticket stays valid at the service and in
    // UserInfo.dat for the next login; otherwise it is revoked and the file keeps only the name.
    bool Logout();

    // The name of the user logged in through this helper; empty when none.
    const std::u16string& UserName() const { return userName; }

private:
    bool RunLogin(HWND owner, bool noAutoLogin);

    std::u16string userName;
};

}  // namespace tavopix
