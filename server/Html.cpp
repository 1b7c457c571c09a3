#include "Html.h"

#include <cstdio>
#include <ctime>

namespace albumd {

std::string HtmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out.push_back(c);
        }
    }
    return out;
}

std::string RenderPage(std::string_view title, std::string_view mainHtml, std::string_view userName,
                       std::string_view formToken) {
    std::string page =
        "<!DOCTYPE html>\n<html lang=\"zh-CN\"><head><meta charset=\"utf-8\">"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
        "<title>" +
        HtmlEscape(title) +
        " · Tavopix 相册</title><link rel=\"stylesheet\" href=\"/static/albumd.css\"></head>"
        "<body><header class=\"top\"><a class=\"brand\" href=\"/\">Tavopix 相册</a><nav>";
    if (userName.empty()) {
        page += "<a href=\"/login\">登录</a><a href=\"/ovklogin/register.php\">注册</a>";
    } else {
        std::string name = HtmlEscape(userName);
        page += "<a href=\"/u/" + name + "\">" + name +
                " 的相册</a><form method=\"post\" action=\"/logout\" class=\"inline\">"
                "<input type=\"hidden\" name=\"form_token\" value=\"" +
                HtmlEscape(formToken) +
                "\"><button type=\"submit\" class=\"link\">退出</button></form>";
    }
    page += "</nav></header><main>";
    page += mainHtml;
    page += "</main><footer>Tavopix 相册服务 · albumd</footer></body></html>\n";
    return page;
}

const std::string& StyleSheet() {
    static const std::string kCss = R"css(
:root { --ink: #1f2933; --muted: #616e7c; --line: #d9e2ec; --accent: #2f6fde; --bg: #f5f7fa; }
* { box-sizing: border-box; }
body { margin: 0; font: 15px/1.6 "Noto Sans CJK SC", "Noto Sans", system-ui, sans-serif;
       color: var(--ink); background: var(--bg); }
header.top { display: flex; align-items: center; justify-content: space-between;
             padding: 12px 28px; background: #fff; border-bottom: 1px solid var(--line); }
.brand { font-weight: 700; font-size: 18px; color: var(--ink); text-decoration: none; }
nav a, nav button.link { margin-left: 18px; color: var(--accent); text-decoration: none;
                         font: inherit; background: none; border: 0; cursor: pointer; padding: 0; }
form.inline { display: inline; }
main { max-width: 960px; margin: 28px auto; padding: 0 20px; }
main a { color: var(--accent); text-decoration: none; }
main a:hover { text-decoration: underline; }
a.album, a.album:hover { text-decoration: none; }
h1 { font-size: 24px; margin: 0 0 16px; }
h2 { font-size: 18px; margin: 24px 0 10px; }
.card { background: #fff; border: 1px solid var(--line); border-radius: 8px; padding: 24px; }
.narrow { max-width: 420px; margin: 0 auto; }
label { display: block; margin: 12px 0 4px; color: var(--muted); }
input[type=text], input[type=password] { width: 100%; padding: 8px 10px; font: inherit;
    border: 1px solid var(--line); border-radius: 6px; }
button.primary { margin-top: 18px; padding: 8px 22px; font: inherit; color: #fff;
    background: var(--accent); border: 0; border-radius: 6px; cursor: pointer; }
.error { color: #b42318; background: #fef3f2; border: 1px solid #fecdca; border-radius: 6px;
         padding: 8px 12px; }
.ok { color: #05603a; background: #ecfdf3; border: 1px solid #abefc6; border-radius: 6px;
      padding: 8px 12px; }
.hint { color: var(--muted); font-size: 13px; }
.albums { display: grid; grid-template-columns: repeat(auto-fill, minmax(200px, 1fr)); gap: 16px; }
.album { background: #fff; border: 1px solid var(--line); border-radius: 8px; overflow: hidden;
         color: var(--ink); text-decoration: none; }
.album .cover { height: 140px; background: #e4e7eb center / cover no-repeat;
                display: flex; align-items: center; justify-content: center; color: var(--muted); }
.album .cover img { width: 100%; height: 100%; object-fit: cover; }
.album .meta { padding: 10px 12px; }
.album .name { font-weight: 600; }
.photos { display: grid; grid-template-columns: repeat(auto-fill, minmax(150px, 1fr)); gap: 12px; }
.photo { margin: 0; background: #fff; border: 1px solid var(--line); border-radius: 6px; overflow: hidden; }
.photo img { display: block; width: 100%; height: 150px; object-fit: cover; }
.photo .caption { padding: 4px 8px; font-size: 13px; color: var(--muted); white-space: nowrap;
                  overflow: hidden; text-overflow: ellipsis; }
.empty { color: var(--muted); padding: 24px 0; }
code { background: #e4e7eb; padding: 1px 5px; border-radius: 4px; }
footer { text-align: center; color: var(--muted); font-size: 13px; padding: 28px 0; }
)css";
    return kCss;
}

std::string FormatDate(std::int64_t seconds) {
    std::time_t time = static_cast<std::time_t>(seconds);
    std::tm parts{};
    gmtime_r(&time, &parts);
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", parts.tm_year + 1900, parts.tm_mon + 1,
                  parts.tm_mday);
    return text;
}

std::string FormatBytes(std::int64_t bytes) {
    const char* units[] = {"B", "KB", "MB", "GB", "TB"};
    double value = static_cast<double>(bytes);
    int unit = 0;
    while (value >= 1024 && unit < 4) {
        value /= 1024;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, unit == 0 ? "%.0f %s" : "%.1f %s", value, units[unit]);
    return text;
}

}  // namespace albumd
