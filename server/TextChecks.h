// Small reads of request text shared by the JSON API, the web pages and the upload endpoint.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace albumd {

// 32 lowercase hex digits, the shape of every token and upload id albumd hands out.
[[nodiscard]] bool IsHexToken(std::string_view token);
// Decimal digits only, at most 18 of them so the value fits: anything else is no number at all.
[[nodiscard]] std::optional<std::int64_t> ParseDecimal(std::string_view text);
[[nodiscard]] std::string TrimSpace(const std::string& text);

}  // namespace albumd
