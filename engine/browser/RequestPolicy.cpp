#include "engine/browser/RequestPolicy.h"

#include <algorithm>
#include <cctype>
#include <system_error>

#include "platform/HexDigit.h"

namespace tavopix {
namespace {

// Constant-time comparison, so the token cannot be guessed byte by byte from response times.
bool SameSecret(std::string_view a, std::string_view b) {
    if (a.size() != b.size() || a.empty())
        return false;
    unsigned char diff = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    }
    return diff == 0;
}

std::string_view QueryValue(std::string_view query, std::string_view key) {
    while (!query.empty()) {
        const auto amp = query.find('&');
        const auto pair = query.substr(0, amp);
        const auto eq = pair.find('=');
        if (eq != std::string_view::npos && pair.substr(0, eq) == key)
            return pair.substr(eq + 1);
        if (amp == std::string_view::npos)
            break;
        query.remove_prefix(amp + 1);
    }
    return {};
}

bool IsOwnHost(std::string_view host, unsigned short port) {
    const auto colon = host.rfind(':');
    if (colon == std::string_view::npos || host.substr(colon + 1) != std::to_string(port))
        return false;
    const std::string_view name = host.substr(0, colon);
    return name == "127.0.0.1" || name == "localhost";
}

bool IsOwnOrigin(std::string_view origin, unsigned short port) {
    if (origin.empty())
        return true;  // same-origin GETs carry none
    constexpr std::string_view scheme = "http://";
    return origin.starts_with(scheme) && IsOwnHost(origin.substr(scheme.size()), port);
}

// The canonical form of `path` when it lies inside one of `roots`; empty otherwise.
std::filesystem::path InsideRoots(const std::filesystem::path& path,
                                  const std::vector<std::filesystem::path>& roots) {
    std::error_code ec;
    const auto real = std::filesystem::canonical(path, ec);
    if (ec || !std::filesystem::is_regular_file(real, ec))
        return {};
    for (const auto& root : roots) {
        auto r = real.begin();
        auto q = root.begin();
        for (; q != root.end() && r != real.end() && !q->empty(); ++q, ++r) {
            if (*q != *r)
                break;
        }
        if (q == root.end() || q->empty())
            return real;
    }
    return {};
}

}  // namespace

bool PercentDecode(std::string_view in, std::string& out, BadEscape badEscape) {
    out.clear();
    out.reserve(in.size());
    for (std::size_t i = 0; i < in.size(); ++i) {
        const int hi = in[i] == '%' && i + 2 < in.size()
                           ? HexDigitValue(static_cast<unsigned char>(in[i + 1]))
                           : -1;
        const int lo = hi >= 0 ? HexDigitValue(static_cast<unsigned char>(in[i + 2])) : -1;
        if (in[i] == '%' && (lo < 0 || (hi == 0 && lo == 0))) {
            if (badEscape == BadEscape::Refuse)
                return false;
            out.push_back('%');
            continue;
        }
        if (in[i] != '%') {
            out.push_back(in[i]);
            continue;
        }
        out.push_back(static_cast<char>(hi * 16 + lo));
        i += 2;
    }
    return true;
}

std::string CapabilityPath(const ServerIdentity& server) {
    return "/" + server.secret + "/";
}

RequestDecision DecideRequest(const RequestFacts& request, const ServerIdentity& server) {
    RequestDecision decision;
    if (!IsOwnHost(request.host, server.port) || !IsOwnOrigin(request.origin, server.port)) {
        return decision;
    }
    const auto question = request.target.find('?');
    std::string_view path = request.target.substr(0, question);
    const std::string_view query = question == std::string_view::npos
                                       ? std::string_view{}
                                       : request.target.substr(question + 1);

    if (path == "/" && SameSecret(QueryValue(query, "t"), server.launchToken)) {
        if (request.method != "GET")
            return {RequestAnswer::BadMethod, {}};
        return {RequestAnswer::Launch, {}};
    }
    // The first segment is the capability; the rest is the address within it.
    if (path.size() < 2 || path.front() != '/')
        return decision;
    const auto slash = path.find('/', 1);
    if (slash == std::string_view::npos || !SameSecret(path.substr(1, slash - 1), server.secret))
        return decision;
    path.remove_prefix(slash);
    if (request.method != "GET")
        return {RequestAnswer::BadMethod, {}};

    if (path == "/")
        return {RequestAnswer::ShellPage, server.webDir / "index.html"};
    if (path == "/ws")
        return {request.websocketUpgrade ? RequestAnswer::WebSocket : RequestAnswer::NotFound, {}};
    if (path.starts_with("/web/")) {
        const std::string_view name = path.substr(5);
        const bool plain = !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
            return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_';
        });
        if (!plain || name.find("..") != std::string_view::npos)
            return {RequestAnswer::NotFound, {}};
        auto file = InsideRoots(server.webDir / std::string(name), {server.webDir});
        if (file.empty())
            return {RequestAnswer::NotFound, {}};
        return {RequestAnswer::WebFile, std::move(file)};
    }
    if (path.starts_with(std::string(kFilePrefix) + "/")) {
        std::string decoded;
        if (!PercentDecode(path.substr(kFilePrefix.size()), decoded))
            return decision;
        const std::filesystem::path file(decoded);
        for (const auto& part : file) {
            if (part == "..")
                return decision;
        }
        if (server.placedFiles.contains(decoded)) {
            std::error_code ec;
            auto real = std::filesystem::canonical(file, ec);
            if (ec || !std::filesystem::is_regular_file(real, ec))
                return {RequestAnswer::NotFound, {}};
            return {RequestAnswer::File, std::move(real)};
        }
        auto real = InsideRoots(file, server.allowedRoots);
        if (real.empty())
            return decision;
        return {RequestAnswer::File, std::move(real)};
    }
    return {RequestAnswer::NotFound, {}};
}

std::string_view ContentTypeFor(const std::filesystem::path& file) {
    std::string ext = file.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (ext == ".html" || ext == ".htm")
        return "text/html; charset=utf-8";
    if (ext == ".css")
        return "text/css; charset=utf-8";
    if (ext == ".js" || ext == ".mjs")
        return "text/javascript; charset=utf-8";
    if (ext == ".jpg" || ext == ".jpeg")
        return "image/jpeg";
    if (ext == ".png")
        return "image/png";
    if (ext == ".gif")
        return "image/gif";
    if (ext == ".bmp")
        return "image/bmp";
    if (ext == ".tif" || ext == ".tiff")
        return "image/tiff";
    if (ext == ".svg")
        return "image/svg+xml";
    if (ext == ".webp")
        return "image/webp";
    if (ext == ".ico" || ext == ".cur")
        return "image/x-icon";
    // The stepping cursors are kept under their historic names; their bytes are PNG.
    if (ext == ".ani")
        return "image/png";
    if (ext == ".woff2")
        return "font/woff2";
    return "application/octet-stream";
}

}  // namespace tavopix
