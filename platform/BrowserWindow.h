// Opens the program's user interface address in a browser: a Chromium window in app mode
// (no tabs, no address bar) with a profile of its own when Chromium is installed, otherwise
// the desktop's default browser.
#pragma once

#include <string>

namespace tavopix {

// `profileDir` holds the app window's browser profile. True when a browser was started.
bool OpenBrowserWindow(const std::string& url, const std::string& profileDir);

}  // namespace tavopix
