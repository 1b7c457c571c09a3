#include "HttpMessage.h"

#include <algorithm>
#include <limits>

namespace albumd {

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

}  // namespace

std::string_view HttpRequest::Header(std::string_view name) const {
    for (const auto& [key, value] : headers) {
        if (key == name)
            return value;
    }
    return {};
}

bool HttpRequest::HasHeader(std::string_view name) const {
    return std::any_of(headers.begin(), headers.end(),
                       [&](const auto& header) { return header.first == name; });
}

std::optional<std::string> PercentDecode(std::string_view text, bool plusIsSpace) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '%') {
            if (i + 2 >= text.size())
                return std::nullopt;
            int high = HexValue(text[i + 1]);
            int low = HexValue(text[i + 2]);
            if (high < 0 || low < 0)
                return std::nullopt;
            out.push_back(static_cast<char>(high * 16 + low));
            i += 2;
        } else if (c == '+' && plusIsSpace) {
            out.push_back(' ');
        } else {
            out.push_back(c);
        }
    }
    return out;
}

std::string PercentEncode(std::string_view text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        bool unreserved = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                          (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~';
        if (unreserved) {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back('%');
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 15]);
        }
    }
    return out;
}

std::optional<std::map<std::string, std::string>> ParseForm(std::string_view text) {
    std::map<std::string, std::string> fields;
    while (!text.empty()) {
        std::size_t amp = text.find('&');
        std::string_view pair = text.substr(0, amp);
        text = amp == std::string_view::npos ? std::string_view{} : text.substr(amp + 1);
        if (pair.empty())
            continue;
        std::size_t eq = pair.find('=');
        auto key = PercentDecode(pair.substr(0, eq), true);
        auto value = PercentDecode(
            eq == std::string_view::npos ? std::string_view{} : pair.substr(eq + 1), true);
        if (!key || !value)
            return std::nullopt;
        fields.emplace(std::move(*key), std::move(*value));
    }
    return fields;
}

std::optional<ParsedTarget> ParseTarget(std::string_view target) {
    if (target.empty() || target.front() != '/')
        return std::nullopt;
    ParsedTarget parsed;
    std::size_t question = target.find('?');
    parsed.path = std::string(target.substr(0, question));
    if (question != std::string_view::npos) {
        auto query = ParseForm(target.substr(question + 1));
        if (!query)
            return std::nullopt;
        parsed.query = std::move(*query);
    }
    std::string_view rest = parsed.path;
    while (!rest.empty()) {
        std::size_t slash = rest.find('/');
        std::string_view raw = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view{} : rest.substr(slash + 1);
        if (raw.empty())
            continue;
        auto segment = PercentDecode(raw, false);
        if (!segment)
            return std::nullopt;
        // A decoded segment must not smuggle a separator, a parent step or a NUL past the router.
        if (*segment == ".." || *segment == "." ||
            segment->find_first_of(std::string_view("/\\\0", 3)) != std::string::npos) {
            return std::nullopt;
        }
        parsed.segments.push_back(std::move(*segment));
    }
    for (const auto& [key, value] : parsed.query) {
        if (key.find('\0') != std::string::npos || value.find('\0') != std::string::npos) {
            return std::nullopt;
        }
    }
    return parsed;
}

std::optional<std::uint64_t> ParseContentLength(std::string_view text) {
    constexpr std::uint64_t kLargest = std::numeric_limits<std::uint64_t>::max();
    std::optional<std::uint64_t> agreed;
    for (;;) {
        const std::size_t comma = text.find(',');
        const std::string_view item = Trim(text.substr(0, comma));
        if (item.empty())
            return std::nullopt;
        std::uint64_t value = 0;
        for (char c : item) {
            if (c < '0' || c > '9')
                return std::nullopt;
            const auto digit = static_cast<std::uint64_t>(c - '0');
            value = value > (kLargest - digit) / 10 ? kLargest : value * 10 + digit;
        }
        if (agreed && *agreed != value)
            return std::nullopt;
        agreed = value;
        if (comma == std::string_view::npos)
            return agreed;
        text.remove_prefix(comma + 1);
    }
}

std::string CookieValue(const HttpRequest& request, std::string_view name) {
    for (const auto& [key, value] : request.headers) {
        if (key != "cookie")
            continue;
        std::string_view rest = value;
        while (!rest.empty()) {
            std::size_t semi = rest.find(';');
            std::string_view pair = Trim(rest.substr(0, semi));
            rest = semi == std::string_view::npos ? std::string_view{} : rest.substr(semi + 1);
            std::size_t eq = pair.find('=');
            if (eq != std::string_view::npos && Trim(pair.substr(0, eq)) == name) {
                return std::string(Trim(pair.substr(eq + 1)));
            }
        }
    }
    return {};
}

bool IsValidUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        auto c = static_cast<unsigned char>(text[i]);
        std::size_t extra;
        std::uint32_t point;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            extra = 1;
            point = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2;
            point = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3;
            point = c & 0x07;
        } else {
            return false;
        }
        if (i + extra >= text.size())
            return false;
        for (std::size_t k = 1; k <= extra; ++k) {
            auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            point = (point << 6) | (next & 0x3F);
        }
        static const std::uint32_t kMinimum[] = {0, 0x80, 0x800, 0x10000};
        if (point < kMinimum[extra] || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) {
            return false;
        }
        i += extra + 1;
    }
    return true;
}

std::size_t Utf8Length(std::string_view text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

HttpResponse TextResponse(int status, std::string text) {
    HttpResponse response;
    response.status = status;
    response.contentType = "text/plain; charset=utf-8";
    response.body = std::move(text);
    return response;
}

HttpResponse HtmlResponse(int status, std::string html) {
    HttpResponse response;
    response.status = status;
    response.contentType = "text/html; charset=utf-8";
    response.body = std::move(html);
    // The pages load nothing from elsewhere and run no script but albumd's own file (the photo
    // page's arrow keys); nothing inline, so a value that slipped through escaping runs nothing.
    response.headers.emplace_back("Content-Security-Policy",
                                  "default-src 'self'; script-src 'self'; form-action 'self'; "
                                  "frame-ancestors 'none'");
    response.headers.emplace_back("X-Content-Type-Options", "nosniff");
    return response;
}

HttpResponse JsonResponse(int status, std::string json) {
    HttpResponse response;
    response.status = status;
    response.contentType = "application/json; charset=utf-8";
    response.body = std::move(json);
    return response;
}

HttpResponse RedirectResponse(std::string location) {
    HttpResponse response = TextResponse(303, "See Other");
    response.headers.emplace_back("Location", std::move(location));
    return response;
}

const char* ReasonPhrase(int status) {
    switch (status) {
        case 100:
            return "Continue";
        case 200:
            return "OK";
        case 303:
            return "See Other";
        case 400:
            return "Bad Request";
        case 401:
            return "Unauthorized";
        case 403:
            return "Forbidden";
        case 404:
            return "Not Found";
        case 405:
            return "Method Not Allowed";
        case 411:
            return "Length Required";
        case 413:
            return "Payload Too Large";
        case 414:
            return "URI Too Long";
        case 415:
            return "Unsupported Media Type";
        case 423:
            return "Locked";
        case 500:
            return "Internal Server Error";
        case 503:
            return "Service Unavailable";
        default:
            return "Unknown";
    }
}

}  // namespace albumd
