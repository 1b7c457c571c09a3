#include "sdk/SecureAddress.h"

#include <strings.h>

namespace tavopix {
namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           strncasecmp(text.data(), prefix.data(), prefix.size()) == 0;
}

bool IsLoopbackHost(std::string_view host) {
    if (host == "[::1]" || (host.size() == 9 && StartsWithNoCase(host, "localhost")))
        return true;
    if (!host.starts_with("127."))
        return false;
    int dots = 0;
    for (char c : host) {
        if (c == '.')
            ++dots;
        else if (c < '0' || c > '9')
            return false;
    }
    return dots == 3 && !host.ends_with('.') && host.find("..") == std::string_view::npos;
}

}  // namespace

bool IsSecureDownloadAddress(std::string_view url) {
    for (char c : url) {
        if (static_cast<unsigned char>(c) <= 32 || c == '\\' || c == 0x7F)
            return false;
    }
    const bool https = StartsWithNoCase(url, "https://");
    if (!https && !StartsWithNoCase(url, "http://"))
        return false;
    const std::string_view rest = url.substr(https ? 8 : 7);
    const std::string_view authority = rest.substr(0, rest.find_first_of("/?#"));
    if (authority.empty() || authority.find('@') != std::string_view::npos)
        return false;
    if (https)
        return true;
    std::string_view host = authority;
    if (host.starts_with('[')) {
        const std::size_t close = host.find(']');
        if (close == std::string_view::npos)
            return false;
        host = host.substr(0, close + 1);
    } else {
        host = host.substr(0, host.find(':'));
    }
    return IsLoopbackHost(host);
}

}  // namespace tavopix
