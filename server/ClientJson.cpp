#include "ClientJson.h"

namespace albumd {

namespace {

void AppendEscape(std::string& out, unsigned char c) {
    switch (c) {
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        default: {
            static const char kHex[] = "0123456789abcdef";
            out += "\\u00";
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 15]);
        }
    }
}

}  // namespace

std::string NormaliseClientJson(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 16);
    bool inString = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto c = static_cast<unsigned char>(text[i]);
        if (!inString) {
            if (c == '"')
                inString = true;
            out.push_back(static_cast<char>(c));
            continue;
        }
        if (c == '"') {
            inString = false;
            out.push_back('"');
        } else if (c == '\\' && i + 1 < text.size()) {
            auto next = static_cast<unsigned char>(text[i + 1]);
            if (next < 0x20) {
                AppendEscape(out, next);  // backslash + raw control character
            } else {
                out.push_back('\\');
                out.push_back(static_cast<char>(next));
            }
            ++i;
        } else if (c < 0x20) {
            AppendEscape(out, c);
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    return out;
}

std::optional<nlohmann::json> ParseClientObject(std::string_view text) {
    if (text.find_first_not_of(" \t\r\n") == std::string_view::npos) {
        return nlohmann::json::object();
    }
    nlohmann::json parsed =
        nlohmann::json::parse(NormaliseClientJson(text), nullptr, /*allow_exceptions=*/false);
    if (!parsed.is_object())
        return std::nullopt;
    return parsed;
}

std::optional<std::string> MemberText(const nlohmann::json& object, const char* key) {
    auto it = object.find(key);
    if (it == object.end())
        return std::nullopt;
    if (it->is_string())
        return it->get<std::string>();
    if (it->is_number_integer())
        return std::to_string(it->get<std::int64_t>());
    return std::nullopt;
}

std::string DumpJson(const nlohmann::json& value) {
    return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace albumd
