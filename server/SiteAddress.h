// albumd's own names and addresses. A request is answered only when its Host header names albumd:
// an IP address (what a browser sends when it was pointed at an address, never what a rebinding
// page's name resolves through), "localhost", or the host of a public address the operator gave
// (`--public-url https://photos.example.org` behind a TLS proxy). The address a request reached
// albumd by is the base of the addresses albumd hands out and the origin its pages accept forms
// from; a public https address also marks the pages' cookies Secure.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace albumd {

struct PublicAddress {
    std::string origin;  // "https://photos.example.org" or with a port, no trailing slash
    std::string host;    // lower case, without the port
    bool secure = false;

    // "http(s)://name[:port]" with an optional trailing "/"; nullopt for anything else.
    [[nodiscard]] static std::optional<PublicAddress> Parse(std::string_view url);
};

// The host of a Host header in lower case, without its port; nullopt when malformed.
[[nodiscard]] std::optional<std::string> HostName(std::string_view hostHeader);

// Whether a request with this Host header is meant for albumd; an absent header (HTTP/1.0) is.
[[nodiscard]] bool IsOwnHost(std::string_view hostHeader,
                             const std::vector<PublicAddress>& publicAddresses);

// The public address whose host the Host header names; nullptr when none does.
[[nodiscard]] const PublicAddress* FindPublicAddress(
    std::string_view hostHeader, const std::vector<PublicAddress>& publicAddresses);

}  // namespace albumd
