#include "platform/BrowserWindow.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "platform/Shell.h"

namespace tavopix {

bool ConnectedDisplaySize(int& width, int& height) {
    // Each connector of each graphics card lists its modes, the preferred one first.
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/sys/class/drm", error)) {
        std::ifstream status(entry.path() / "status");
        std::string state;
        if (!std::getline(status, state) || state != "connected")
            continue;
        std::ifstream modes(entry.path() / "modes");
        std::string mode;
        int w = 0;
        int h = 0;
        if (std::getline(modes, mode) && std::sscanf(mode.c_str(), "%dx%d", &w, &h) == 2 && w > 0 &&
            h > 0) {
            width = w;
            height = h;
            return true;
        }
    }
    return false;
}

bool OpenBrowserWindow(const std::string& url, const std::string& profileDir, int width,
                       int height) {
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
        if (width > 0 && height > 0)
            argv.push_back("--window-size=" + std::to_string(width) + "," + std::to_string(height));
        // Chromium refuses to run as root with its sandbox on.
        if (geteuid() == 0)
            argv.push_back("--no-sandbox");
        if (LaunchDetached(argv))
            return true;
    }
    return ShellOpen(url);
}

}  // namespace tavopix
