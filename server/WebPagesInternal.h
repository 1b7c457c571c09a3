// What WebPages.cpp and AlbumPages.cpp share: the visit record every page is made from, the
// cookie names, and the small helpers for forms and addresses. Not for use outside the pages.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "TextChecks.h"
#include "WebPages.h"

namespace albumd {

inline constexpr const char* kSessionCookie = "albumd_session";
inline constexpr const char* kFormCookie = "albumd_form";
// The question albums this browser session opened.
inline constexpr const char* kVisitCookie = "albumd_visit";

struct WebPages::Visit {
    const HttpRequest& request;
    const ParsedTarget& target;
    std::int64_t now;
    std::string origin;  // "http://127.0.0.1:8080", as the request reached albumd
    Viewer viewer;
    std::string sessionToken;
    std::string visitToken;  // empty when the browser has none yet
    std::string formToken;
    bool formTokenIsNew = false;
    std::vector<std::string> setCookies;
    std::string returnTo;  // where a refused answer's form returns to; the request's page if empty

    const std::optional<UserRecord>& User() const { return viewer.user; }
    bool Secure() const { return origin.rfind("https://", 0) == 0; }
};

// A form field; empty when absent.
[[nodiscard]] std::string Field(const std::map<std::string, std::string>& form, const char* key);
[[nodiscard]] std::string HiddenInput(const char* name, const std::string& value);
// A way back on this site: a path, or this site's own address, as the path a browser would go
// to. Browsers drop tabs and line breaks from a link and read a backslash as a slash, so
// "/\t/evil.example" or "/\\evil.example" would lead off-site: the check is made on what the
// browser will read, and any white space or control character refuses the address.
[[nodiscard]] std::optional<std::string> SameSitePath(std::string back, const std::string& origin);
// The error paragraph of a form; empty for no message.
[[nodiscard]] std::string ErrorBox(const std::string& message);

}  // namespace albumd
