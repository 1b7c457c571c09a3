#include "sdk/internal/SdkConfig.h"

#include <curl/curl.h>

#include <charconv>
#include <map>
#include <memory>

#include "platform/Utf8.h"

namespace tavopix::sdk {

namespace {

constexpr std::uint32_t kMaxTimeoutMs = 600000;

// The file's text as UTF-8: a UTF-16 file (either byte order, by its mark) is converted, a
// UTF-8 file loses its optional mark and must be well-formed.
std::optional<std::string> DecodeFileText(std::string_view bytes) {
    auto startsWith = [&](std::string_view mark) { return bytes.substr(0, mark.size()) == mark; };
    if (startsWith("\xFF\xFE") || startsWith("\xFE\xFF")) {
        bool littleEndian = bytes[0] == '\xFF';
        bytes.remove_prefix(2);
        if (bytes.size() % 2 != 0) {
            return std::nullopt;
        }
        std::u16string text;
        text.reserve(bytes.size() / 2);
        for (std::size_t i = 0; i < bytes.size(); i += 2) {
            auto low = static_cast<unsigned char>(bytes[littleEndian ? i : i + 1]);
            auto high = static_cast<unsigned char>(bytes[littleEndian ? i + 1 : i]);
            text += static_cast<char16_t>(low | (high << 8));
        }
        return StrictUtf16ToUtf8(text);  // nothing for an unpaired surrogate
    }
    if (startsWith("\xEF\xBB\xBF")) {
        bytes.remove_prefix(3);
    }
    if (!StrictUtf8ToUtf16(bytes)) {
        return std::nullopt;
    }
    return std::string(bytes);
}

std::string_view Trim(std::string_view text) {
    auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f'; };
    while (!text.empty() && isSpace(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isSpace(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// The address normalised, when it is an absolute http or https address with a host.
std::optional<std::string> ParseAddress(const std::string& text) {
    struct UrlDeleter {
        void operator()(CURLU* url) const { curl_url_cleanup(url); }
    };
    std::unique_ptr<CURLU, UrlDeleter> url(curl_url());
    if (!url || text.find_first_of(" \t\"<>\\") != std::string::npos ||
        curl_url_set(url.get(), CURLUPART_URL, text.c_str(), 0) != CURLUE_OK) {
        return std::nullopt;
    }
    auto part = [&](CURLUPart which) -> std::optional<std::string> {
        char* value = nullptr;
        if (curl_url_get(url.get(), which, &value, 0) != CURLUE_OK) {
            return std::nullopt;
        }
        std::string result(value);
        curl_free(value);
        return result;
    };
    std::optional<std::string> scheme = part(CURLUPART_SCHEME);
    std::optional<std::string> host = part(CURLUPART_HOST);
    if (!scheme || (*scheme != "http" && *scheme != "https") || !host || host->empty()) {
        return std::nullopt;
    }
    return part(CURLUPART_URL);
}

std::optional<std::uint32_t> ParseTimeout(std::string_view text) {
    std::uint32_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 1 ||
        value > kMaxTimeoutMs) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::optional<SdkConfig> ParseSdkConfig(std::string_view bytes) {
    std::optional<std::string> text = DecodeFileText(bytes);
    if (!text) {
        return std::nullopt;
    }
    // Every key the file may hold, as "section.key", with its value once seen.
    std::map<std::string, std::optional<std::string>> keys = {
        {"service.album_service", std::nullopt}, {"service.home_page", std::nullopt},
        {"service.register_page", std::nullopt}, {"service.lost_password_page", std::nullopt},
        {"timeouts.connect_ms", std::nullopt},   {"uploads.resumable_from", std::nullopt},
    };
    std::string section;
    std::string_view rest = *text;
    while (!rest.empty()) {
        std::size_t end = rest.find('\n');
        std::string_view line = Trim(rest.substr(0, end));
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (line.empty() || line.front() == ';' || line.front() == '#') {
            continue;
        }
        if (line.front() == '[') {
            if (line.back() != ']') {
                return std::nullopt;
            }
            section = Trim(line.substr(1, line.size() - 2));
            continue;
        }
        std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) {
            return std::nullopt;
        }
        std::string key = section + "." + std::string(Trim(line.substr(0, equals)));
        auto known = keys.find(key);
        if (known == keys.end() || known->second) {
            return std::nullopt;
        }
        known->second = std::string(Trim(line.substr(equals + 1)));
    }

    SdkConfig config;
    const std::optional<std::string>& albumService = keys["service.album_service"];
    std::optional<std::string> base = albumService ? ParseAddress(*albumService) : std::nullopt;
    if (!base) {
        return std::nullopt;
    }
    if (base->back() != '/') {
        *base += '/';
    }
    config.albumService = *base;
    auto address = [&](const char* key, std::string& field, const std::string& fallback) {
        const std::optional<std::string>& given = keys[key];
        std::optional<std::string> parsed = given ? ParseAddress(*given) : fallback;
        if (parsed) {
            field = *parsed;
        }
        return parsed.has_value();
    };
    if (!address("service.home_page", config.homePage, config.albumService) ||
        !address("service.register_page", config.registerPage,
                 config.albumService + "ovklogin/register.php") ||
        !address("service.lost_password_page", config.lostPasswordPage,
                 config.albumService + "WebStaticPage/aq_LostPassword.html")) {
        return std::nullopt;
    }
    if (const std::optional<std::string>& connect = keys["timeouts.connect_ms"]) {
        std::optional<std::uint32_t> value = ParseTimeout(*connect);
        if (!value) {
            return std::nullopt;
        }
        config.connectTimeoutMs = *value;
    }
    if (const std::optional<std::string>& resumable = keys["uploads.resumable_from"]) {
        std::uint64_t threshold = 0;
        const char* end = resumable->data() + resumable->size();
        auto [at, error] = std::from_chars(resumable->data(), end, threshold);
        if (resumable->empty() || error != std::errc() || at != end) {
            return std::nullopt;
        }
        config.resumableFromBytes = threshold;
    }
    return config;
}

}  // namespace tavopix::sdk
