#include "platform/UserFolders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string_view>
#include <vector>

namespace tavopix {

namespace {

std::string WithTrailingSeparator(std::string folder) {
    if (!folder.empty() && folder.back() != '/') {
        folder += '/';
    }
    return folder;
}

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
        return home;
    }
    std::vector<char> buffer(16384);
    passwd record{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &record, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr && found->pw_dir[0] == '/') {
        return found->pw_dir;
    }
    return std::string();
}

std::string UserDirsFile(const std::string& home) {
    if (const char* config = std::getenv("XDG_CONFIG_HOME");
        config != nullptr && config[0] == '/') {
        return WithTrailingSeparator(config) + "user-dirs.dirs";
    }
    return home + "/.config/user-dirs.dirs";
}

// One value of the user-dirs file: a line `KEY="$HOME/relative"` or `KEY="/absolute"`, the
// quoted text with shell-style backslash escapes. Anything else is ignored, as the desktop
// ignores it.
std::string ParseUserDir(std::string_view line, std::string_view key, const std::string& home) {
    size_t at = line.find_first_not_of(" \t");
    if (at == std::string_view::npos || line.substr(at, key.size()) != key) {
        return std::string();
    }
    at += key.size();
    if (line.substr(at, 2) != "=\"") {
        return std::string();
    }
    at += 2;
    std::string value;
    bool closed = false;
    for (; at < line.size(); ++at) {
        char c = line[at];
        if (c == '"') {
            closed = true;
            break;
        }
        if (c == '\\' && at + 1 < line.size()) {
            c = line[++at];
        }
        value += c;
    }
    if (!closed) {
        return std::string();
    }
    constexpr std::string_view kHome = "$HOME";
    if (value.compare(0, kHome.size(), kHome) == 0 &&
        (value.size() == kHome.size() || value[kHome.size()] == '/')) {
        return home + value.substr(kHome.size());
    }
    return value.starts_with('/') ? value : std::string();
}

}  // namespace

std::string ProgramDirectory() {
    std::vector<char> buffer(4096);
    for (;;) {
        ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) {
            return std::string();
        }
        if (static_cast<size_t>(length) < buffer.size()) {
            std::string path(buffer.data(), static_cast<size_t>(length));
            size_t slash = path.rfind('/');
            return slash == std::string::npos ? path : path.substr(0, slash + 1);
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::string GetSpecialFolder(SpecialFolder folder) {
    std::string home = HomeFolder();
    if (home.empty()) {
        return std::string();
    }
    std::string_view key;
    std::string fallback;
    switch (folder) {
        case SpecialFolder::Desktop:
            key = "XDG_DESKTOP_DIR";
            fallback = "Desktop";
            break;
        case SpecialFolder::Documents:
            key = "XDG_DOCUMENTS_DIR";
            fallback = "Documents";
            break;
        case SpecialFolder::Pictures:
            key = "XDG_PICTURES_DIR";
            fallback = "Pictures";
            break;
    }
    std::ifstream file(UserDirsFile(home));
    std::string line;
    std::string configured;
    // The last assignment wins, as when the file is sourced by a shell.
    while (std::getline(file, line)) {
        if (std::string value = ParseUserDir(line, key, home); !value.empty()) {
            configured = std::move(value);
        }
    }
    if (configured.empty()) {
        configured = WithTrailingSeparator(home) + fallback;
    }
    return WithTrailingSeparator(std::move(configured));
}

std::string UserCacheFolder() {
    if (const char* cache = std::getenv("XDG_CACHE_HOME"); cache != nullptr && cache[0] == '/') {
        return WithTrailingSeparator(cache);
    }
    const std::string home = HomeFolder();
    return home.empty() ? std::string() : WithTrailingSeparator(home) + ".cache/";
}

}  // namespace tavopix
