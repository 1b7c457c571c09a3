// The plain request and reply records that albumd's request handling works on. The network code
// converts to and from them, so every route can be exercised without a socket; the helpers here
// split targets, decode query and form texts, and read cookies.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace albumd {

struct HttpRequest {
    std::string method;                                        // "GET", "POST", "HEAD", ...
    std::string target;                                        // as sent: path and query
    std::vector<std::pair<std::string, std::string>> headers;  // names in lower case
    std::string body;         // the body when it was read into memory
    std::string bodyFile;     // or the file the body was streamed into (uploads)
    std::string peerAddress;  // the client's IP address, for rate limits

    // The value of the first header called `name` (lower case); empty when absent.
    [[nodiscard]] std::string_view Header(std::string_view name) const;
    [[nodiscard]] bool HasHeader(std::string_view name) const;
};

struct HttpResponse {
    int status = 200;
    std::string contentType;
    std::string body;
    std::string filePath;  // when set, the reply's body is this file and `body` is unused
    std::vector<std::pair<std::string, std::string>> headers;
    bool closeConnection = false;
};

// A target split into its decoded path segments and query parameters.
struct ParsedTarget {
    std::string path;                   // raw path, without the query
    std::vector<std::string> segments;  // percent-decoded, empty segments dropped
    std::map<std::string, std::string> query;
};

// Splits `target`. Refuses (nullopt) targets that do not start with "/", that hold a ".."
// segment raw or encoded, a NUL or an invalid percent escape.
[[nodiscard]] std::optional<ParsedTarget> ParseTarget(std::string_view target);

// Decodes percent escapes; with `plusIsSpace` a "+" becomes a space (form bodies and queries).
// nullopt for a malformed escape.
[[nodiscard]] std::optional<std::string> PercentDecode(std::string_view text, bool plusIsSpace);

// Percent-encodes everything but unreserved characters.
[[nodiscard]] std::string PercentEncode(std::string_view text);

// Parses "a=1&b=2" (form bodies and queries); later keys do not replace earlier ones.
[[nodiscard]] std::optional<std::map<std::string, std::string>> ParseForm(std::string_view text);

// A Content-Length value as the parser that frames the body reads it: decimal digits, leading
// zeros and any number of them allowed, or a comma-separated list of equal values. A value beyond
// 64 bits comes back as the largest one, which every limit refuses; nullopt when it is no number.
[[nodiscard]] std::optional<std::uint64_t> ParseContentLength(std::string_view text);

// The value of cookie `name` in the request's Cookie headers; empty when absent.
[[nodiscard]] std::string CookieValue(const HttpRequest& request, std::string_view name);

// True when `text` is well-formed UTF-8 without overlong forms or surrogates.
[[nodiscard]] bool IsValidUtf8(std::string_view text);

// The number of code points in valid UTF-8 `text`.
[[nodiscard]] std::size_t Utf8Length(std::string_view text);

// Reply builders.
[[nodiscard]] HttpResponse TextResponse(int status, std::string text);
[[nodiscard]] HttpResponse HtmlResponse(int status, std::string html);
[[nodiscard]] HttpResponse JsonResponse(int status, std::string json);
[[nodiscard]] HttpResponse RedirectResponse(std::string location);

// The standard reason phrase of `status`.
[[nodiscard]] const char* ReasonPhrase(int status);

}  // namespace albumd
