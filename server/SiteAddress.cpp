#include "SiteAddress.h"

#include <arpa/inet.h>

#include <algorithm>

namespace albumd {

namespace {

bool IsNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '-';
}

bool IsPort(std::string_view text) {
    return !text.empty() && text.size() <= 5 &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool IsIpLiteral(const std::string& host) {
    unsigned char address[16];
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
        return inet_pton(AF_INET6, host.substr(1, host.size() - 2).c_str(), address) == 1;
    }
    return inet_pton(AF_INET, host.c_str(), address) == 1;
}

}  // namespace

std::optional<std::string> HostName(std::string_view header) {
    if (header.empty() || header.size() > 255)
        return std::nullopt;
    std::string host(header);
    std::transform(host.begin(), host.end(), host.begin(),
                   [](char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
    const std::size_t close = host.rfind(']');
    const std::size_t colon = host.rfind(':');
    if (colon != std::string::npos && (close == std::string::npos || colon > close)) {
        if (!IsPort(std::string_view(host).substr(colon + 1)))
            return std::nullopt;
        host.resize(colon);
    }
    if (host.empty())
        return std::nullopt;
    if (host.front() == '[')
        return IsIpLiteral(host) ? std::optional(host) : std::nullopt;
    if (!std::all_of(host.begin(), host.end(), IsNameCharacter))
        return std::nullopt;
    return host;
}

std::optional<PublicAddress> PublicAddress::Parse(std::string_view url) {
    PublicAddress address;
    constexpr std::string_view kHttps = "https://", kHttp = "http://";
    if (url.substr(0, kHttps.size()) == kHttps) {
        address.secure = true;
        url.remove_prefix(kHttps.size());
    } else if (url.substr(0, kHttp.size()) == kHttp) {
        url.remove_prefix(kHttp.size());
    } else {
        return std::nullopt;
    }
    if (!url.empty() && url.back() == '/')
        url.remove_suffix(1);
    auto host = HostName(url);
    if (!host || url.find('/') != std::string_view::npos)
        return std::nullopt;
    address.host = *host;
    address.origin = std::string(address.secure ? "https://" : "http://") + std::string(url);
    return address;
}

const PublicAddress* FindPublicAddress(std::string_view hostHeader,
                                       const std::vector<PublicAddress>& publicAddresses) {
    auto host = HostName(hostHeader);
    if (!host)
        return nullptr;
    for (const PublicAddress& address : publicAddresses) {
        if (address.host == *host)
            return &address;
    }
    return nullptr;
}

bool IsOwnHost(std::string_view hostHeader, const std::vector<PublicAddress>& publicAddresses) {
    if (hostHeader.empty())
        return true;
    auto host = HostName(hostHeader);
    if (!host)
        return false;
    return *host == "localhost" || IsIpLiteral(*host) ||
           FindPublicAddress(hostHeader, publicAddresses) != nullptr;
}

}  // namespace albumd
