// Building albumd's HTML pages: escaping of every inserted value, the frame every page shares
// (header with navigation, main content, footer) and its style sheet.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace albumd {

// Escapes & < > " ' so a value is safe in element content and in quoted attributes.
[[nodiscard]] std::string HtmlEscape(std::string_view text);

// A complete page. `title` is escaped here; `mainHtml` is markup built by the caller from escaped
// values. `userName` (may be empty) shows who is logged in, with `formToken` for the logout form.
[[nodiscard]] std::string RenderPage(std::string_view title, std::string_view mainHtml,
                                     std::string_view userName, std::string_view formToken);

[[nodiscard]] const std::string& StyleSheet();
// The pages' one script: the arrow keys of a photo page follow its previous and next links.
[[nodiscard]] const std::string& PageScript();

// "2026-12-07" for Unix seconds, in UTC.
[[nodiscard]] std::string FormatDate(std::int64_t seconds);
// "1.5 MB" and the like.
[[nodiscard]] std::string FormatBytes(std::int64_t bytes);

}  // namespace albumd
