#include "platform/BrowserWindow.h"

#include <unistd.h>

#include <vector>

#include "platform/Shell.h"

namespace tavopix {

bool OpenBrowserWindow(const std::string& url, const std::string& profileDir) {
    static const char* const kChromium[] = {"/usr/bin/chromium", "/usr/bin/chromium-browser",
                                            "/usr/bin/google-chrome"};
    for (const char* browser : kChromium) {
        if (access(browser, X_OK) != 0)
            continue;
        std::vector<std::string> argv = {browser,
                                         "--app=" + url,
                                         "--user-data-dir=" + profileDir,
                                         "--no-first-run",
                                         "--no-default-browser-check",
                                         "--disable-background-networking",
                                         "--disable-component-update",
                                         "--disable-sync"};
        // Chromium refuses to run as root with its sandbox on.
        if (geteuid() == 0)
            argv.push_back("--no-sandbox");
        if (LaunchDetached(argv))
            return true;
    }
    return ShellOpen(url);
}

}  // namespace tavopix
