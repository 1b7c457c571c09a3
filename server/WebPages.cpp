#include "WebPages.h"

#include <algorithm>

#include "Html.h"
#include "Secrets.h"
#include "WebPagesInternal.h"

namespace albumd {

std::string Field(const std::map<std::string, std::string>& form, const char* key) {
    auto it = form.find(key);
    return it == form.end() ? std::string() : it->second;
}

std::string HiddenInput(const char* name, const std::string& value) {
    return std::string("<input type=\"hidden\" name=\"") + name + "\" value=\"" +
           HtmlEscape(value) + "\">";
}

std::optional<std::string> SameSitePath(std::string back, const std::string& origin) {
    for (char& c : back) {
        if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F)
            return std::nullopt;
        if (c == '\\')
            c = '/';
    }
    const std::string self = origin + "/";
    if (back.compare(0, self.size(), self) == 0)
        back.erase(0, self.size() - 1);
    if (back.empty() || back[0] != '/' || (back.size() > 1 && back[1] == '/'))
        return std::nullopt;
    return back;
}

std::string ErrorBox(const std::string& message) {
    return message.empty() ? std::string() : "<p class=\"error\">" + HtmlEscape(message) + "</p>";
}

namespace {

// Where the login form returns to: the page that sent the visitor there, when it is on this site.
std::string BackTarget(const std::map<std::string, std::string>& query, const std::string& origin) {
    auto it = query.find("back");
    return it == query.end() ? std::string() : SameSitePath(it->second, origin).value_or("");
}

}  // namespace

Viewer WebPages::ViewerOf(const HttpRequest& request, std::int64_t now, std::string* visitToken,
                          TicketOpens ticketOpens) {
    Viewer viewer;
    UserRecord user;
    const std::string session = CookieValue(request, kSessionCookie);
    std::string_view header = request.Header("authorization");
    constexpr std::string_view kScheme = "Ticket ";
    std::int64_t expires = 0;
    if (!session.empty() && session.size() <= 128 &&
        data_.sessions.Find(session, now, user) == StoreResult::Ok) {
        viewer.user = user;
    } else if (ticketOpens == TicketOpens::Yes && header.substr(0, kScheme.size()) == kScheme &&
               header.size() <= 128 + kScheme.size() &&
               data_.accounts.FindTicket(header.substr(kScheme.size()), now, user, expires) ==
                   StoreResult::Ok) {
        // The client's ticket opens the picture files, as the owner's pages do.
        viewer.user = user;
    }
    const std::string token = CookieValue(request, kVisitCookie);
    if (IsHexToken(token)) {
        viewer.answeredAlbums = passes_.Opened(token, now);
        if (visitToken)
            *visitToken = token;
    }
    return viewer;
}

std::optional<HttpResponse> WebPages::Handle(const HttpRequest& request, const ParsedTarget& target,
                                             std::int64_t now, const std::string& origin) {
    Visit visit{request, target, now, origin, {}, {}, {}, {}, false, {}, {}};
    // The pages go by their own session alone.
    visit.viewer = ViewerOf(request, now, &visit.visitToken, TicketOpens::No);
    visit.sessionToken = CookieValue(request, kSessionCookie);
    visit.formToken = CookieValue(request, kFormCookie);
    if (!IsHexToken(visit.formToken)) {
        visit.formToken = RandomHex(16);
        visit.formTokenIsNew = true;
    }

    const auto& s = target.segments;
    const bool get = request.method == "GET" || request.method == "HEAD";
    const bool post = request.method == "POST";
    if (s.empty())
        return get ? Index(visit) : ErrorPage(visit, 405, "不支持的请求", "");
    if (s.size() == 2 && s[0] == "static" && (s[1] == "albumd.css" || s[1] == "albumd.js")) {
        const bool css = s[1] == "albumd.css";
        HttpResponse file = TextResponse(200, css ? StyleSheet() : PageScript());
        file.contentType = css ? "text/css; charset=utf-8" : "text/javascript; charset=utf-8";
        file.headers.emplace_back("Cache-Control", "max-age=3600");
        return file;
    }
    if (s.size() == 4 && s[0] == "thumbs" && get)
        return PictureFile(request, target, now);
    if (s.size() == 1 && s[0] == "login") {
        if (post)
            return LoginPost(visit);
        return LoginForm(visit, 200, "", "");
    }
    if (s.size() == 1 && s[0] == "logout" && post)
        return LogoutPost(visit);
    if (s.size() == 1 && s[0] == "friends") {
        if (post)
            return FriendsPost(visit);
        return FriendsPage(visit, 200, "");
    }
    if (s.size() == 2 && s[0] == "ovklogin" && s[1] == "register.php") {
        if (post)
            return RegisterPost(visit);
        return RegisterForm(visit, 200, "", "");
    }
    if (s.size() == 2 && s[0] == "WebStaticPage" && s[1] == "aq_LostPassword.html") {
        return LostPassword(visit);
    }
    if (s.size() >= 2 && s[0] == "u")
        return AlbumRoutes(visit);
    return std::nullopt;
}

HttpResponse WebPages::NotFound() const {
    return HtmlResponse(404, RenderPage("页面不存在",
                                        "<div class=\"card\"><h1>页面不存在</h1>"
                                        "<p><a href=\"/\">返回首页</a></p></div>",
                                        "", ""));
}

std::string WebPages::Cookie(const Visit& visit, const std::string& nameValue,
                             const std::string& lifetime) const {
    std::string cookie = nameValue + "; Path=/; HttpOnly; SameSite=Strict";
    if (!lifetime.empty())
        cookie += "; Max-Age=" + lifetime;
    if (visit.Secure())
        cookie += "; Secure";
    return cookie;
}

HttpResponse WebPages::Finish(Visit& visit, int status, const std::string& title,
                              const std::string& mainHtml) {
    std::string userName = visit.User() ? visit.User()->name : std::string();
    HttpResponse response =
        HtmlResponse(status, RenderPage(title, mainHtml, userName, visit.formToken));
    response.headers.emplace_back("Cache-Control", "no-store");
    if (visit.formTokenIsNew) {
        visit.setCookies.push_back(
            Cookie(visit, std::string(kFormCookie) + "=" + visit.formToken, ""));
    }
    for (const std::string& cookie : visit.setCookies) {
        response.headers.emplace_back("Set-Cookie", cookie);
    }
    return response;
}

HttpResponse WebPages::ErrorPage(Visit& visit, int status, const std::string& title,
                                 const std::string& text) {
    return Finish(visit, status, title,
                  "<div class=\"card narrow\"><h1>" + HtmlEscape(title) + "</h1><p>" +
                      HtmlEscape(text) + "</p><p><a href=\"/\">返回首页</a></p></div>");
}

std::optional<std::map<std::string, std::string>> WebPages::AcceptForm(Visit& visit) {
    const std::string& self = visit.origin;
    std::string_view origin = visit.request.Header("origin");
    std::string_view referer = visit.request.Header("referer");
    if (!origin.empty()) {
        if (origin != self)
            return std::nullopt;
    } else if (!referer.empty()) {
        if (referer.substr(0, self.size() + 1) != self + "/")
            return std::nullopt;
    }
    auto form = ParseForm(visit.request.body);
    if (!form || visit.formTokenIsNew || Field(*form, "form_token") != visit.formToken) {
        return std::nullopt;
    }
    for (const auto& [key, value] : *form) {
        if (!IsValidUtf8(value))
            return std::nullopt;
    }
    return form;
}

HttpResponse WebPages::LoginForm(Visit& visit, int status, const std::string& message,
                                 const std::string& userName) {
    std::string token = HiddenInput("form_token", visit.formToken);
    std::string back = HiddenInput("back", BackTarget(visit.target.query, visit.origin));
    std::string html =
        "<div class=\"card narrow\"><h1>登录</h1>" + ErrorBox(message) +
        "<form method=\"post\" action=\"/login\">" + token + back +
        "<label for=\"username\">用户名</label><input type=\"text\" id=\"username\" "
        "name=\"username\" autocomplete=\"username\" value=\"" +
        HtmlEscape(userName) +
        "\"><label for=\"password\">密码</label><input type=\"password\" id=\"password\" "
        "name=\"password\" autocomplete=\"current-password\">"
        "<button class=\"primary\" type=\"submit\">登录</button></form>"
        "<h2>用客户端的登录凭证</h2><form method=\"post\" action=\"/login\">" +
        token +
        "<label for=\"ticket\">凭证</label><input type=\"text\" id=\"ticket\" name=\"ticket\" "
        "autocomplete=\"off\"><button class=\"primary\" type=\"submit\">用凭证登录</button>"
        "</form><p class=\"hint\">还没有账号? <a href=\"/ovklogin/register.php\">注册</a> · "
        "<a href=\"/WebStaticPage/aq_LostPassword.html\">忘记密码</a></p></div>";
    return Finish(visit, status, "登录", html);
}

HttpResponse WebPages::StartSession(Visit& visit, const UserRecord& user,
                                    const std::string& location) {
    auto session = data_.sessions.Start(user.id, visit.now);
    if (!session)
        return ErrorPage(visit, 500, "服务器异常", "请稍后再试。");
    HttpResponse response = RedirectResponse(location);
    response.headers.emplace_back("Set-Cookie",
                                  Cookie(visit, std::string(kSessionCookie) + "=" + session->ticket,
                                         std::to_string(session->expires - visit.now)));
    return response;
}

HttpResponse WebPages::LoginPost(Visit& visit) {
    auto form = AcceptForm(visit);
    if (!form)
        return ErrorPage(visit, 403, "请求被拒绝", "请从本站的登录页提交表单。");
    const std::string back = SameSitePath(Field(*form, "back"), visit.origin).value_or("");
    std::string ticket = Field(*form, "ticket");
    if (!ticket.empty()) {
        auto result = authenticator_.TicketLogin(ticket, visit.now);
        if (result.outcome == Authenticator::Outcome::Ok) {
            return StartSession(visit, result.user, back.empty() ? "/u/" + result.user.name : back);
        }
        if (result.outcome == Authenticator::Outcome::BadTicket) {
            return LoginForm(visit, 403, "凭证无效或已过期", "");
        }
        return LoginForm(visit, 500, "登录失败,服务器异常", "");
    }
    std::string name = Field(*form, "username");
    std::string password = Field(*form, "password");
    if (name.empty() || password.empty())
        return LoginForm(visit, 400, "请输入用户名和密码", name);
    auto result = authenticator_.CheckLogin(name, password, visit.request.peerAddress, visit.now);
    switch (result.outcome) {
        case Authenticator::Outcome::Ok:
            return StartSession(visit, result.user, back.empty() ? "/u/" + result.user.name : back);
        case Authenticator::Outcome::UnknownUser:
            return LoginForm(visit, 404, "登录失败,用户名错误", name);
        case Authenticator::Outcome::WrongPassword:
            return LoginForm(visit, 403, "登录失败,密码错误", name);
        case Authenticator::Outcome::Locked:
            return LoginForm(visit, 423, "登录受限,请稍后再登录", name);
        default:
            return LoginForm(visit, 500, "登录失败,服务器异常", name);
    }
}

HttpResponse WebPages::LogoutPost(Visit& visit) {
    if (!AcceptForm(visit))
        return ErrorPage(visit, 403, "请求被拒绝", "请从本站页面退出。");
    if (!visit.sessionToken.empty())
        data_.sessions.End(visit.sessionToken);
    HttpResponse response = RedirectResponse("/");
    response.headers.emplace_back("Set-Cookie",
                                  Cookie(visit, std::string(kSessionCookie) + "=", "0"));
    return response;
}

HttpResponse WebPages::RegisterForm(Visit& visit, int status, const std::string& message,
                                    const std::string& userName) {
    const auto& query = visit.target.query;
    auto param = [&](const char* key) {
        auto it = query.find(key);
        return it == query.end() ? std::string() : it->second;
    };
    // A post carries the parameters in its body; a first visit in its query.
    std::string appid = param("appid"), returnUrl = param("returnurl"), style = param("style");
    if (visit.request.method == "POST") {
        if (auto form = ParseForm(visit.request.body)) {
            appid = Field(*form, "appid");
            returnUrl = Field(*form, "returnurl");
            style = Field(*form, "style");
        }
    }
    std::string html =
        "<div class=\"card narrow\"><h1>注册新账号</h1>" + ErrorBox(message) +
        "<form method=\"post\" action=\"/ovklogin/register.php\">" +
        HiddenInput("form_token", visit.formToken) + HiddenInput("appid", appid) +
        HiddenInput("returnurl", returnUrl) + HiddenInput("style", style) +
        "<label for=\"username\">用户名</label><input type=\"text\" id=\"username\" "
        "name=\"username\" autocomplete=\"username\" maxlength=\"32\" value=\"" +
        HtmlEscape(userName) +
        "\"><p class=\"hint\">3–32 个字符: 字母、数字、点、下划线或连字符。</p>"
        "<label for=\"password\">密码</label><input type=\"password\" id=\"password\" "
        "name=\"password\" autocomplete=\"new-password\">"
        "<p class=\"hint\">至少 8 个字符。</p>"
        "<label for=\"password2\">确认密码</label><input type=\"password\" id=\"password2\" "
        "name=\"password2\" autocomplete=\"new-password\">"
        "<button class=\"primary\" type=\"submit\">注册</button></form>"
        "<p class=\"hint\">已有账号? <a href=\"/login\">登录</a></p></div>";
    return Finish(visit, status, "注册", html);
}

HttpResponse WebPages::RegisterPost(Visit& visit) {
    auto form = AcceptForm(visit);
    if (!form)
        return ErrorPage(visit, 403, "请求被拒绝", "请从本站的注册页提交表单。");
    std::string name = Field(*form, "username");
    std::string password = Field(*form, "password");
    const std::string& address = visit.request.peerAddress;
    if (!Accounts::IsValidUserName(name)) {
        return RegisterForm(visit, 400, "用户名须为 3–32 个字母、数字、点、下划线或连字符", name);
    }
    if (!Accounts::IsValidPassword(password)) {
        return RegisterForm(visit, 400, "密码须为 8–128 个字符", name);
    }
    if (password != Field(*form, "password2")) {
        return RegisterForm(visit, 400, "两次输入的密码不一致", name);
    }
    if (authenticator_.BeginRegistration(address, visit.now) > 0) {
        return RegisterForm(visit, 423, "注册过于频繁,请稍后再试", name);
    }
    UserRecord user;
    const StoreResult created = data_.accounts.CreateUser(name, password, visit.now, &user);
    authenticator_.EndRegistration(address, visit.now, created == StoreResult::Ok);
    switch (created) {
        case StoreResult::Ok:
            break;
        case StoreResult::Exists:
            return RegisterForm(visit, 409, "用户名已被注册", name);
        default:
            return RegisterForm(visit, 500, "注册失败,服务器异常", name);
    }
    auto session = data_.sessions.Start(user.id, visit.now);
    visit.viewer.user = user;
    if (session) {
        visit.setCookies.push_back(Cookie(visit,
                                          std::string(kSessionCookie) + "=" + session->ticket,
                                          std::to_string(session->expires - visit.now)));
    }
    // Only an address on this site is offered as the way back.
    const std::string back =
        SameSitePath(Field(*form, "returnurl"), visit.origin).value_or("/u/" + name);
    std::string html = "<div class=\"card narrow\"><h1>注册成功</h1><p class=\"ok\">账号 " +
                       HtmlEscape(name) + " 已创建。现在可以在客户端用它登录了。</p><p><a href=\"" +
                       HtmlEscape(back) + "\">继续</a></p></div>";
    return Finish(visit, 200, "注册成功", html);
}

HttpResponse WebPages::LostPassword(Visit& visit) {
    std::string html =
        "<div class=\"card\"><h1>忘记密码</h1>"
        "<p>本相册服务不保存邮箱或手机号, 所以不能自助找回密码。密码由服务的管理员重设:</p>"
        "<ol><li>联系管理员, 告诉他你的用户名。</li>"
        "<li>管理员在服务器上运行 <code>albumd --data 数据目录 user passwd 用户名</code>, "
        "输入新密码。</li>"
        "<li>重设后, 该账号原有的所有登录凭证都会失效: 请在客户端和网页上用新密码重新登录。</li>"
        "</ol><p class=\"hint\">管理员看不到你的旧密码: 服务只保存密码的不可逆散列。</p>"
        "<p><a href=\"/login\">返回登录</a></p></div>";
    return Finish(visit, 200, "忘记密码", html);
}

}  // namespace albumd
