// Opens the program's user interface address in a browser: a Chromium window in app mode
// (no tabs, no address bar) with a profile of its own when Chromium is installed, otherwise
// the desktop's default browser.
#pragma once

#include <string>

namespace tavopix {

// The pixel size of the first connected display, as the kernel's mode list gives it; false
// when there is none to read (no display, or not a Linux kernel display).
bool ConnectedDisplaySize(int& width, int& height);

// `profileDir` holds the app window's browser profile. An app window opens `width` × `height`
// pixels large when both are above 0. True when a browser was started.
bool OpenBrowserWindow(const std::string& url, const std::string& profileDir, int width = 0,
                       int height = 0);

}  // namespace tavopix
