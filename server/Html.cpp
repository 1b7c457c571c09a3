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
        " · Tavopix 相册</title><link rel=\"stylesheet\" href=\"/static/albumd.css\">"
        "<script src=\"/static/albumd.js\" defer></script></head>"
        "<body><header class=\"top\"><a class=\"brand\" href=\"/\">Tavopix 相册</a><nav>";
    if (userName.empty()) {
        page += "<a href=\"/login\">登录</a><a href=\"/ovklogin/register.php\">注册</a>";
    } else {
        std::string name = HtmlEscape(userName);
        page += "<a href=\"/u/" + name + "\">" + name +
                " 的相册</a><a href=\"/friends\">好友</a>"
                "<form method=\"post\" action=\"/logout\" class=\"inline\">"
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
:root { --ink: #1f2933; --muted: #616e7c; --line: #d9e2ec; --accent: #2f6fde; --bg: #f5f7fa;
        --focus: 0 0 0 3px rgba(47, 111, 222, .35); }
* { box-sizing: border-box; }
body { margin: 0; font: 15px/1.7 "Noto Sans CJK SC", "Noto Sans SC", "Noto Sans", system-ui,
       sans-serif; color: var(--ink); background: var(--bg); }
header.top { display: flex; align-items: center; justify-content: space-between;
             padding: 12px 28px; background: #fff; border-bottom: 1px solid var(--line); }
.brand { font-weight: 700; font-size: 18px; color: var(--ink); text-decoration: none; }
nav a, nav button.link { margin-left: 18px; color: var(--accent); text-decoration: none;
                         font: inherit; background: none; border: 0; cursor: pointer; padding: 0; }
form.inline { display: inline; }
main { max-width: 1040px; margin: 28px auto; padding: 0 20px; }
main a { color: var(--accent); text-decoration: none; }
main a:hover, nav a:hover, button.link:hover { text-decoration: underline; }
a:focus-visible, button:focus-visible, input:focus-visible, textarea:focus-visible,
summary:focus-visible { outline: none; box-shadow: var(--focus); border-radius: 6px; }
a.album, a.album:hover { text-decoration: none; }
h1 { font-size: 24px; margin: 0 0 12px; font-weight: 600; }
h2 { font-size: 18px; margin: 24px 0 10px; }
.intro { margin-bottom: 20px; }
.crumbs { margin: 0 0 6px; color: var(--muted); }
.description { margin: 0 0 6px; white-space: pre-line; }
.card { background: #fff; border: 1px solid var(--line); border-radius: 10px; padding: 28px; }
.narrow { max-width: 460px; margin: 0 auto; }
.gate h1 { font-size: 21px; }
.gate .question { font-size: 17px; background: var(--bg); border-radius: 8px; padding: 10px 14px; }
label { display: block; margin: 12px 0 4px; color: var(--muted); }
label.choice { display: flex; gap: 8px; align-items: center; margin: 6px 0; color: var(--ink); }
input[type=text], input[type=password], textarea { width: 100%; padding: 8px 10px; font: inherit;
    border: 1px solid var(--line); border-radius: 6px; background: #fff; }
input[type=text]:focus, input[type=password]:focus, textarea:focus { border-color: var(--accent); }
button { font: inherit; cursor: pointer; }
button.primary, a.button { display: inline-block; margin-top: 18px; padding: 8px 22px; color: #fff;
    background: var(--accent); border: 0; border-radius: 6px; text-decoration: none; }
button.primary:hover, a.button:hover { background: #2559b8; text-decoration: none; }
.error { color: #b42318; background: #fef3f2; border: 1px solid #fecdca; border-radius: 6px;
         padding: 8px 12px; }
.ok { color: #05603a; background: #ecfdf3; border: 1px solid #abefc6; border-radius: 6px;
      padding: 8px 12px; }
.hint { color: var(--muted); font-size: 13px; }
.albums { display: grid; grid-template-columns: repeat(auto-fill, minmax(210px, 1fr)); gap: 18px; }
.album { background: #fff; border: 1px solid var(--line); border-radius: 10px; overflow: hidden;
         color: var(--ink); text-decoration: none; transition: box-shadow .15s, border-color .15s; }
.album:hover, .album:focus-visible { border-color: #b6c6e3; box-shadow: 0 4px 14px rgba(31, 41, 51, .08); }
.album .cover { height: 150px; background: #e4e7eb; display: flex; align-items: center;
                justify-content: center; color: var(--muted); }
.album .cover img { width: 100%; height: 100%; object-fit: cover; }
.album .meta { padding: 10px 14px 12px; }
.album .name { font-weight: 600; overflow: hidden; text-overflow: ellipsis; white-space: nowrap; }
.photos { display: grid; grid-template-columns: repeat(auto-fill, minmax(160px, 1fr)); gap: 12px;
          margin-top: 16px; }
.photo { margin: 0; background: #fff; border: 1px solid var(--line); border-radius: 8px; overflow: hidden; }
.photo a { display: block; }
.photo img { display: block; width: 100%; height: 160px; object-fit: cover; transition: opacity .15s; }
.photo a:hover img { opacity: .88; }
.photo .caption { padding: 4px 10px; font-size: 13px; color: var(--muted); white-space: nowrap;
                  overflow: hidden; text-overflow: ellipsis; }
.viewer { display: flex; align-items: center; gap: 12px; margin-top: 10px; }
.viewer .frame { flex: 1; display: flex; justify-content: center; align-items: center;
                 background: #1f2933; border-radius: 10px; min-height: 320px; padding: 12px; }
.viewer .frame img { max-width: 100%; max-height: 72vh; display: block; cursor: zoom-in; }
.step { flex: none; width: 84px; text-align: center; padding: 8px 0; border-radius: 6px;
        color: var(--accent); }
a.step:hover { background: #e8effc; text-decoration: none; }
.step.off { color: #b8c2cc; }
.photo-meta { display: flex; gap: 16px; align-items: baseline; justify-content: center;
              margin: 12px 0; flex-wrap: wrap; }
.photo-meta .title { font-weight: 600; }
details.settings { margin-top: 28px; background: #fff; border: 1px solid var(--line);
                   border-radius: 10px; padding: 14px 20px; max-width: 560px; }
details.settings summary { cursor: pointer; color: var(--accent); }
fieldset.privacy { border: 0; padding: 0; margin: 14px 0 0; }
fieldset.privacy legend { color: var(--muted); padding: 0; }
form.danger { margin-top: 22px; padding-top: 14px; border-top: 1px solid var(--line); }
form.danger button { margin-top: 8px; padding: 6px 16px; color: #b42318; background: #fff;
                     border: 1px solid #fecdca; border-radius: 6px; }
form.danger button:hover { background: #fef3f2; }
form.row { display: flex; gap: 10px; align-items: center; margin: 16px 0; }
form.row button.primary { margin-top: 0; white-space: nowrap; }
ul.friends { list-style: none; padding: 0; margin: 0; }
ul.friends li { display: flex; justify-content: space-between; align-items: center;
                padding: 8px 0; border-bottom: 1px solid var(--line); }
button.link { background: none; border: 0; color: var(--accent); padding: 0; }
.empty { color: var(--muted); padding: 24px 0; }
code { background: #e4e7eb; padding: 1px 5px; border-radius: 4px; }
footer { text-align: center; color: var(--muted); font-size: 13px; padding: 28px 0; }
)css";
    return kCss;
}

const std::string& PageScript() {
    static const std::string kScript = R"js(
document.addEventListener('keydown', (event) => {
  if (event.altKey || event.ctrlKey || event.metaKey || event.shiftKey) return;
  const target = event.target;
  if (target && (target.isContentEditable || /^(INPUT|TEXTAREA|SELECT)$/.test(target.tagName))) return;
  const rel = { ArrowLeft: 'prev', ArrowRight: 'next' }[event.key];
  const link = rel && document.querySelector(`a[rel="${rel}"]`);
  if (link) {
    event.preventDefault();
    location.href = link.href;
  }
});
)js";
    return kScript;
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
