#include "RequestGuard.h"

#include "Service.h"

namespace albumd {

namespace {

bool IsLoopback(const std::string& address) {
    return address.rfind("127.", 0) == 0 || address == "::1" || address == "::ffff:127.0.0.1";
}

// The media type of a Content-Type value, in lower case, without its parameters.
std::string MediaType(std::string_view value) {
    std::string type(value.substr(0, value.find(';')));
    while (!type.empty() && (type.back() == ' ' || type.back() == '\t'))
        type.pop_back();
    for (char& c : type)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return type;
}

bool HasBody(const HttpRequest& request) {
    const auto length = ParseContentLength(request.Header("content-length"));
    return (length && *length > 0) || !request.Header("transfer-encoding").empty() ||
           !request.body.empty();
}

}  // namespace

std::optional<HttpResponse> GuardRequest(HttpRequest& request, const ParsedTarget& target,
                                         const GuardRules& rules, const std::string& ownOrigin) {
    if (!IsOwnHost(request.Header("host"), rules.publicAddresses)) {
        HttpResponse misdirected = TextResponse(421, "Misdirected Request");
        misdirected.closeConnection = true;
        return misdirected;
    }
    if (rules.behindProxy && IsLoopback(request.peerAddress)) {
        std::string_view forwarded = request.Header("x-forwarded-for");
        forwarded = forwarded.substr(
            forwarded.rfind(',') == std::string_view::npos ? 0 : forwarded.rfind(',') + 1);
        while (!forwarded.empty() && forwarded.front() == ' ')
            forwarded.remove_prefix(1);
        if (!forwarded.empty() && forwarded.size() <= 64)
            request.peerAddress = std::string(forwarded);
    }
    const auto& segments = target.segments;
    if (segments.size() < 2 || segments[0] != "api")
        return std::nullopt;
    const bool openApi = segments[1] == "openapi";
    const auto refuse = [&](int status, const std::string& text) {
        return openApi ? TextResponse(status, text) : MessageResponse(status, text);
    };
    const std::string_view origin = request.Header("origin");
    const std::string_view site = request.Header("sec-fetch-site");
    if ((!origin.empty() && origin != ownOrigin) ||
        (!site.empty() && site != "same-origin" && site != "none")) {
        return refuse(403, "不接受其他网站发来的请求");
    }
    const bool json = openApi || segments[1] == "login" || segments[1] == "ticket-login" ||
                      segments[1] == "logout";
    if (json && HasBody(request) &&
        MediaType(request.Header("content-type")) != "application/json") {
        return refuse(415, "请求内容须为 application/json");
    }
    return std::nullopt;
}

}  // namespace albumd
