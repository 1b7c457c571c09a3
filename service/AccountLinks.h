// The service's pages that the program opens in the user's web browser: the album service's
// home page (the main menu), registration and lost password (the login dialog's links). Addresses
// come from the SDK's configuration ("ovkCfg.ini").
#pragma once

#include <string>
#include <string_view>

namespace tavopix {

// The album service's home page; empty when none is configured.
std::u16string HomePageAddress();
// The registration page with the query keys "appid" (2), "returnurl" (the album service's home
// address followed by "login") and "style" ("album"), in this order; empty when the
// configuration names no registration page.
std::u16string RegisterPageAddress();
// The lost-password page; empty when none is configured.
std::u16string LostPasswordPageAddress();

// Opens an http(s) address that the program built in the user's browser: a new tab of the
// browser that shows the interface when one is connected, else the desktop's handler. False
// for any other address, or when neither could open it.
bool OpenInUserBrowser(std::u16string_view address);

}  // namespace tavopix
