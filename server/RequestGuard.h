// The checks every request passes before albumd plans its body or answers it:
// - its Host names albumd (SiteAddress.h), so a page whose name was rebound to this machine can
//   neither read albumd's replies nor act through them (421 otherwise);
// - behind a proxy on this machine, the client's address is the last one the proxy added to
//   X-Forwarded-For, so the limits per address count clients, not the proxy;
// - the client's JSON API takes no request a web page of another origin makes (an Origin or
//   Sec-Fetch-Site that is not albumd's own: 403) and reads only bodies declared
//   application/json (415): a page cannot post a "simple" cross-origin request to it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "HttpMessage.h"
#include "SiteAddress.h"

namespace albumd {

struct GuardRules {
    std::vector<PublicAddress> publicAddresses;
    bool behindProxy = false;
};

// nullopt when the request may go on; `request.peerAddress` may be replaced (behind a proxy).
// `ownOrigin(request)` is the origin the request reached albumd by.
[[nodiscard]] std::optional<HttpResponse> GuardRequest(HttpRequest& request,
                                                       const ParsedTarget& target,
                                                       const GuardRules& rules,
                                                       const std::string& ownOrigin);

}  // namespace albumd
