#include "WebPages.h"

#include "Html.h"
#include "Secrets.h"

namespace albumd {

namespace {

constexpr const char* kSessionCookie = "albumd_session";
constexpr const char* kFormCookie = "albumd_form";

const char* PrivacyLabel(int privacy) {
    switch (privacy) {
        case kPrivacyFriends:
            return "好友可见";
        case kPrivacyQuestion:
            return "问答可见";
        case kPrivacyPrivate:
            return "仅自己可见";
        default:
            return "所有人可见";
    }
}

bool IsFormToken(std::string_view token) {
    if (token.size() != 32)
        return false;
    for (char c : token) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    }
    return true;
}

std::string Field(const std::map<std::string, std::string>& form, const char* key) {
    auto it = form.find(key);
    return it == form.end() ? std::string() : it->second;
}

std::string HiddenInput(const char* name, const std::string& value) {
    return std::string("<input type=\"hidden\" name=\"") + name + "\" value=\"" +
           HtmlEscape(value) + "\">";
}

std::string SessionCookie(const IssuedTicket& ticket, std::int64_t now) {
    return std::string(kSessionCookie) + "=" + ticket.ticket +
           "; Path=/; HttpOnly; SameSite=Lax; Max-Age=" + std::to_string(ticket.expires - now);
}

// The way back after registering, when it is an address on this site: a path, or this site's own
// address, as the path a browser would go to. Browsers drop tabs and line breaks from a link and
// read a backslash as a slash, so "/\t/evil.example" or "/\\evil.example" would lead off-site:
// the check is made on what the browser will read, and any white space or control character
// refuses the address.
std::optional<std::string> SameSitePath(std::string back, const std::string& host) {
    for (char& c : back) {
        if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F)
            return std::nullopt;
        if (c == '\\')
            c = '/';
    }
    const std::string self = "http://" + host + "/";
    if (back.compare(0, self.size(), self) == 0)
        back.erase(0, self.size() - 1);
    if (back.empty() || back[0] != '/' || (back.size() > 1 && back[1] == '/'))
        return std::nullopt;
    return back;
}

std::string ErrorBox(const std::string& message) {
    return message.empty() ? std::string() : "<p class=\"error\">" + HtmlEscape(message) + "</p>";
}

}  // namespace

struct WebPages::Visit {
    const HttpRequest& request;
    const ParsedTarget& target;
    std::int64_t now;
    std::optional<UserRecord> user;  // the logged-in user, from the session cookie
    std::string sessionTicket;
    std::string formToken;
    bool formTokenIsNew = false;
    std::vector<std::string> setCookies;

    std::string Host() const { return std::string(request.Header("host")); }
};

std::optional<HttpResponse> WebPages::Handle(const HttpRequest& request, const ParsedTarget& target,
                                             std::int64_t now) {
    Visit visit{request, target, now, std::nullopt, {}, {}, false, {}};
    visit.sessionTicket = CookieValue(request, kSessionCookie);
    if (!visit.sessionTicket.empty() && visit.sessionTicket.size() <= 128) {
        UserRecord user;
        std::int64_t expires = 0;
        if (data_.accounts.FindTicket(visit.sessionTicket, now, user, expires) == StoreResult::Ok) {
            visit.user = user;
        }
    }
    visit.formToken = CookieValue(request, kFormCookie);
    if (!IsFormToken(visit.formToken)) {
        visit.formToken = RandomHex(16);
        visit.formTokenIsNew = true;
    }

    const auto& s = target.segments;
    const bool get = request.method == "GET" || request.method == "HEAD";
    const bool post = request.method == "POST";
    if (s.empty())
        return get ? Home(visit) : ErrorPage(visit, 405, "不支持的请求", "");
    if (s.size() == 2 && s[0] == "static" && s[1] == "albumd.css") {
        HttpResponse css = TextResponse(200, StyleSheet());
        css.contentType = "text/css; charset=utf-8";
        css.headers.emplace_back("Cache-Control", "max-age=3600");
        return css;
    }
    if (s.size() == 1 && s[0] == "login") {
        if (post)
            return LoginPost(visit);
        return LoginForm(visit, 200, "", "");
    }
    if (s.size() == 1 && s[0] == "logout" && post)
        return LogoutPost(visit);
    if (s.size() == 2 && s[0] == "ovklogin" && s[1] == "register.php") {
        if (post)
            return RegisterPost(visit);
        return RegisterForm(visit, 200, "", "");
    }
    if (s.size() == 2 && s[0] == "WebStaticPage" && s[1] == "aq_LostPassword.html") {
        return LostPassword(visit);
    }
    if (s.size() == 2 && s[0] == "u" && get)
        return UserAlbums(visit, s[1]);
    if (s.size() == 3 && s[0] == "u" && get)
        return AlbumPhotos(visit, s[1], s[2]);
    return std::nullopt;
}

HttpResponse WebPages::NotFound() const {
    return HtmlResponse(404, RenderPage("页面不存在",
                                        "<div class=\"card\"><h1>页面不存在</h1>"
                                        "<p><a href=\"/\">返回首页</a></p></div>",
                                        "", ""));
}

HttpResponse WebPages::Finish(Visit& visit, int status, const std::string& title,
                              const std::string& mainHtml) {
    std::string userName = visit.user ? visit.user->name : std::string();
    HttpResponse response =
        HtmlResponse(status, RenderPage(title, mainHtml, userName, visit.formToken));
    response.headers.emplace_back("Cache-Control", "no-store");
    if (visit.formTokenIsNew) {
        visit.setCookies.push_back(std::string(kFormCookie) + "=" + visit.formToken +
                                   "; Path=/; HttpOnly; SameSite=Strict");
    }
    for (const std::string& cookie : visit.setCookies) {
        response.headers.emplace_back("Set-Cookie", cookie);
    }
    return response;
}

HttpResponse WebPages::ErrorPage(Visit& visit, int status, const std::string& title,
                                 const std::string& text) {
    return Finish(visit, status, title,
                  "<div class=\"card\"><h1>" + HtmlEscape(title) + "</h1><p>" + HtmlEscape(text) +
                      "</p><p><a href=\"/\">返回首页</a></p></div>");
}

std::optional<std::map<std::string, std::string>> WebPages::AcceptForm(Visit& visit) {
    const std::string self = "http://" + visit.Host();
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

HttpResponse WebPages::Home(Visit& visit) {
    std::string html = "<div class=\"card\"><h1>Tavopix 相册</h1>";
    if (visit.user) {
        std::string name = HtmlEscape(visit.user->name);
        html +=
            "<p>欢迎回来, " + name + "。</p><p><a href=\"/u/" + name + "\">查看我的相册</a></p>";
    } else {
        html +=
            "<p>在桌面客户端里选好照片, 一键上传到在线相册; 在这里随时浏览已上传的相册和图片。</p>"
            "<p><a href=\"/login\">登录</a> · <a href=\"/ovklogin/register.php\">注册新账号</a>"
            " · <a href=\"/WebStaticPage/aq_LostPassword.html\">忘记密码</a></p>";
    }
    html += "</div>";
    return Finish(visit, 200, "首页", html);
}

HttpResponse WebPages::LoginForm(Visit& visit, int status, const std::string& message,
                                 const std::string& userName) {
    std::string token = HiddenInput("form_token", visit.formToken);
    std::string html =
        "<div class=\"card narrow\"><h1>登录</h1>" + ErrorBox(message) +
        "<form method=\"post\" action=\"/login\">" + token +
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
    auto ticket = data_.accounts.IssueTicket(user.id, "web", visit.now);
    if (!ticket)
        return ErrorPage(visit, 500, "服务器异常", "请稍后再试。");
    HttpResponse response = RedirectResponse(location);
    response.headers.emplace_back("Set-Cookie", SessionCookie(*ticket, visit.now));
    return response;
}

HttpResponse WebPages::LoginPost(Visit& visit) {
    auto form = AcceptForm(visit);
    if (!form)
        return ErrorPage(visit, 403, "请求被拒绝", "请从本站的登录页提交表单。");
    std::string ticket = Field(*form, "ticket");
    if (!ticket.empty()) {
        auto result = authenticator_.TicketLogin(ticket, visit.now);
        if (result.outcome == Authenticator::Outcome::Ok) {
            return StartSession(visit, result.user, "/u/" + result.user.name);
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
    auto result =
        authenticator_.PasswordLogin(name, password, visit.request.peerAddress, "web", visit.now);
    switch (result.outcome) {
        case Authenticator::Outcome::Ok:
            // The password login issued a ticket for this session already: use it as the cookie.
            {
                HttpResponse response = RedirectResponse("/u/" + result.user.name);
                response.headers.emplace_back("Set-Cookie",
                                              SessionCookie(result.ticket, visit.now));
                return response;
            }
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
    if (!visit.sessionTicket.empty())
        (void)data_.accounts.RevokeTicket(visit.sessionTicket);
    HttpResponse response = RedirectResponse("/");
    response.headers.emplace_back(
        "Set-Cookie", std::string(kSessionCookie) + "=; Path=/; HttpOnly; SameSite=Lax; Max-Age=0");
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
    auto ticket = data_.accounts.IssueTicket(user.id, "web", visit.now);
    visit.user = user;
    if (ticket) {
        visit.setCookies.push_back(SessionCookie(*ticket, visit.now));
    }
    // Only an address on this site is offered as the way back.
    const std::string back =
        SameSitePath(Field(*form, "returnurl"), visit.Host()).value_or("/u/" + name);
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

HttpResponse WebPages::UserAlbums(Visit& visit, const std::string& userName) {
    if (!visit.user)
        return RedirectResponse("/login");
    if (visit.user->name != userName) {
        return ErrorPage(visit, 403, "无权访问", "只能查看自己的相册。");
    }
    std::vector<AlbumRecord> albums;
    std::int64_t used = 0;
    Limits limits;
    if (data_.albums.ListAlbums(visit.user->id, albums) != StoreResult::Ok ||
        data_.albums.UsedSpace(visit.user->id, used) != StoreResult::Ok ||
        data_.albums.EffectiveLimits(visit.user->id, limits) != StoreResult::Ok) {
        return ErrorPage(visit, 500, "服务器异常", "请稍后再试。");
    }
    std::string name = HtmlEscape(userName);
    std::string html = "<h1>" + name + " 的相册</h1><p class=\"hint\">已用空间 " +
                       FormatBytes(used) + " / " + FormatBytes(limits.spacePerUser) + "</p>";
    if (albums.empty()) {
        html += "<p class=\"empty\">还没有相册。在客户端上传图片时可以新建相册。</p>";
    }
    html += "<div class=\"albums\">";
    for (const AlbumRecord& album : albums) {
        std::vector<PhotoRecord> photos;
        std::string cover = "<div class=\"cover\">暂无图片</div>";
        if (data_.albums.ListPhotos(album.id, photos) == StoreResult::Ok && !photos.empty()) {
            cover = "<div class=\"cover\"><img loading=\"lazy\" alt=\"\" src=\"/photos/" +
                    HtmlEscape(photos.front().file) + "\"></div>";
        }
        html += "<a class=\"album\" href=\"/u/" + name + "/" + std::to_string(album.id) + "\">" +
                cover + "<div class=\"meta\"><div class=\"name\">" + HtmlEscape(album.name) +
                "</div><div class=\"hint\">" + std::to_string(album.photoCount) + " 张 · " +
                PrivacyLabel(album.privacy) + " · " + FormatDate(album.created) +
                "</div></div></a>";
    }
    html += "</div>";
    return Finish(visit, 200, userName + " 的相册", html);
}

HttpResponse WebPages::AlbumPhotos(Visit& visit, const std::string& userName,
                                   const std::string& albumText) {
    if (!visit.user)
        return RedirectResponse("/login");
    if (visit.user->name != userName) {
        return ErrorPage(visit, 403, "无权访问", "只能查看自己的相册。");
    }
    std::int64_t albumId = 0;
    bool numeric = !albumText.empty() && albumText.size() <= 18 &&
                   albumText.find_first_not_of("0123456789") == std::string::npos;
    if (numeric)
        albumId = std::stoll(albumText);
    AlbumRecord album;
    if (!numeric || data_.albums.FindAlbum(albumId, album) != StoreResult::Ok ||
        album.userId != visit.user->id) {
        return ErrorPage(visit, 404, "相册不存在", "没有找到这个相册。");
    }
    std::vector<PhotoRecord> photos;
    if (data_.albums.ListPhotos(album.id, photos) != StoreResult::Ok) {
        return ErrorPage(visit, 500, "服务器异常", "请稍后再试。");
    }
    std::string html = "<p><a href=\"/u/" + HtmlEscape(userName) + "\">← 全部相册</a></p><h1>" +
                       HtmlEscape(album.name) + "</h1>";
    if (!album.description.empty())
        html += "<p>" + HtmlEscape(album.description) + "</p>";
    html += "<p class=\"hint\">" + std::to_string(photos.size()) + " 张 · " +
            PrivacyLabel(album.privacy) + " · 创建于 " + FormatDate(album.created) + "</p>";
    if (photos.empty())
        html += "<p class=\"empty\">这个相册里还没有图片。</p>";
    html += "<div class=\"photos\">";
    for (const PhotoRecord& photo : photos) {
        std::string src = "/photos/" + HtmlEscape(photo.file);
        std::string title = HtmlEscape(photo.title.empty() ? "未命名" : photo.title);
        html += "<figure class=\"photo\"><a href=\"" + src + "\"><img loading=\"lazy\" src=\"" +
                src + "\" alt=\"" + title + "\"></a><figcaption class=\"caption\" title=\"" +
                title + "\">" + title + " · " + FormatBytes(photo.size) + "</figcaption></figure>";
    }
    html += "</div>";
    return Finish(visit, 200, album.name, html);
}

}  // namespace albumd
