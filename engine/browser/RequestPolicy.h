// Which requests the browser view's local server answers, and with what. Only the page that was
// opened with the program's launch address may talk to it. That address carries a one-time
// launch token: its first use is answered with a redirect to the run's capability path, a
// random first path segment under which the shell, its socket and every file live; the launch
// token is dead from then on. The secret the browser keeps is thus part of this origin's
// addresses, which a browser sends nowhere else (a cookie would reach every port of 127.0.0.1),
// and the token that may be seen on a command line opens nothing once the page has used it.
// Every request also needs a Host naming the server itself and, where the browser sends one, an
// Origin of the server itself. Files are served only when the program placed them into a page
// (each picture and thumbnail by its own path, as FilePlacer tells of it) or lie in a folder the
// program opens whole (its skin), never as listings, and never through "..", symbolic-link or
// percent-encoding tricks; a file beside a shown picture is refused.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace tavopix {

struct RequestFacts {
    std::string_view method;  // "GET", …
    std::string_view target;  // as sent: path and query
    std::string_view host;    // Host header
    std::string_view origin;  // Origin header; empty when absent
    bool websocketUpgrade = false;
};

struct ServerIdentity {
    std::string launchToken;  // empty once used
    std::string secret;       // the capability path's segment
    unsigned short port = 0;
    std::filesystem::path webDir;                     // the shell's own files
    std::vector<std::filesystem::path> allowedRoots;  // canonical folders served whole (the skin)
    std::unordered_set<std::string> placedFiles;      // absolute paths the pages were given
};

enum class RequestAnswer {
    Refused,    // 403: no capability, foreign host or origin, or a file the pages were not given
    NotFound,   // 404
    BadMethod,  // 405
    Launch,     // the launch token: use it up and redirect to the capability path
    ShellPage,  // the desktop shell, `file`
    WebFile,    // a file of the shell: `file`
    File,       // a page, style sheet or picture: `file`
    WebSocket,  // accept the upgrade
};

struct RequestDecision {
    RequestAnswer answer = RequestAnswer::Refused;
    std::filesystem::path file;
};

// Files of the program are fetched under the capability path and this prefix, followed by their
// percent-escaped absolute path.
inline constexpr std::string_view kFilePrefix = "/f";

// The address of the shell under the capability path, where the launch redirects.
std::string CapabilityPath(const ServerIdentity& server);

[[nodiscard]] RequestDecision DecideRequest(const RequestFacts& request,
                                            const ServerIdentity& server);

// The MIME type the server states for a file, from its extension; pictures are sniffed by the
// browser anyway, so an unknown extension is served as application/octet-stream.
std::string_view ContentTypeFor(const std::filesystem::path& file);

// What PercentDecode does with a "%" that starts no valid escape (or an encoded NUL): refuse the
// whole text, or keep the "%" as it stands (paths in pages escape only non-ASCII bytes, so a
// file may well be called "50%off.jpg").
enum class BadEscape { Refuse, KeepLiteral };

// "%XX" sequences decoded; false for a bad escape when `badEscape` says to refuse.
bool PercentDecode(std::string_view in, std::string& out, BadEscape badEscape = BadEscape::Refuse);

}  // namespace tavopix
