// The album side of WebPages: the index, a user's albums, an album, a picture, the refusals, the
// answer to a question, the owner's changes, the friends list and the picture files.
#include <algorithm>
#include <filesystem>

#include "Html.h"
#include "Secrets.h"
#include "WebPages.h"
#include "WebPagesInternal.h"

namespace albumd {

namespace {

constexpr std::size_t kIndexAlbums = 200;

const char* PrivacyLabel(int privacy) {
    switch (privacy) {
        case kPrivacyFriends:
            return "仅好友可见";
        case kPrivacyQuestion:
            return "回答问题可见";
        case kPrivacyPrivate:
            return "仅自己可见";
        default:
            return "所有人可见";
    }
}

std::string AlbumPath(const std::string& owner, std::int64_t albumId) {
    return "/u/" + owner + "/" + std::to_string(albumId);
}

std::string ThumbnailAddress(const PhotoRecord& photo) {
    return "/thumbs/" + photo.file.substr(0, photo.file.rfind('.')) + ".jpg";
}

std::string PhotoTitle(const PhotoRecord& photo) {
    return photo.title.empty() ? "未命名" : photo.title;
}

// The radio buttons and question fields of an album's privacy, as the owner's settings form
// shows them.
std::string PrivacyChoices(const AlbumRecord& album) {
    std::string html = "<fieldset class=\"privacy\"><legend>谁可以看</legend>";
    for (int level = kPrivacyEveryone; level <= kPrivacyPrivate; ++level) {
        html += "<label class=\"choice\"><input type=\"radio\" name=\"privacy\" value=\"" +
                std::to_string(level) + "\"" + (album.privacy == level ? " checked" : "") + "> " +
                PrivacyLabel(level) + "</label>";
    }
    html +=
        "</fieldset><label for=\"question\">问题(回答问题可见时)</label><input type=\"text\" "
        "id=\"question\" name=\"question\" maxlength=\"200\" value=\"" +
        HtmlEscape(album.question) +
        "\"><label for=\"answer\">答案</label><input type=\"text\" id=\"answer\" "
        "name=\"answer\" maxlength=\"200\" autocomplete=\"off\" placeholder=\"" +
        std::string(album.privacy == kPrivacyQuestion ? "留空则保留原答案" : "") + "\">";
    return html;
}

}  // namespace

struct WebPages::AlbumVisit {
    AlbumRecord album;
    UserRecord owner;
    Access access = Access::Granted;
    bool IsOwner(const Visit& visit) const {
        return visit.User() && visit.User()->id == album.userId;
    }
    std::string Path() const { return AlbumPath(owner.name, album.id); }
};

std::optional<HttpResponse> WebPages::AlbumRoutes(Visit& visit) {
    const auto& s = visit.target.segments;
    const bool get = visit.request.method == "GET" || visit.request.method == "HEAD";
    const bool post = visit.request.method == "POST";
    if (s.size() == 2 && get)
        return UserAlbums(visit, s[1]);
    HttpResponse failure;
    auto album = FindAlbum(visit, s[1], s[2], failure);
    if (!album)
        return failure;
    if (s.size() == 3 && get)
        return AlbumPage(visit, *album);
    if (s.size() == 4 && post && s[3] == "answer")
        return AnswerPost(visit, *album);
    if (s.size() == 4 && post && s[3] == "edit")
        return EditAlbumPost(visit, *album);
    if (s.size() == 4 && post && s[3] == "delete")
        return DeleteAlbumPost(visit, *album);
    if (s.size() == 4 && get)
        return PhotoPage(visit, *album, s[3]);
    if (s.size() == 5 && post && s[4] == "delete")
        return DeletePhotoPost(visit, *album, s[3]);
    return std::nullopt;
}

// The albums a visitor may see, newest first: the public index.
HttpResponse WebPages::Index(Visit& visit) {
    std::vector<AlbumRecord> albums;
    if (data_.albums.ListAllAlbums(kIndexAlbums, albums) != StoreResult::Ok)
        return ErrorPage(visit, 500, "服务器异常", "请稍后再试。");
    std::string html = "<section class=\"intro\"><h1>相册</h1>";
    if (visit.User()) {
        const std::string name = HtmlEscape(visit.User()->name);
        html += "<p class=\"hint\">你好, " + name + "。<a href=\"/u/" + name +
                "\">我的相册</a> · <a href=\"/friends\">好友</a></p>";
    } else {
        html +=
            "<p class=\"hint\">在桌面客户端里选好照片, "
            "一键上传到在线相册。这里列出你可以浏览的相册; "
            "<a href=\"/login\">登录</a>后还能看到好友分享给你的相册。</p>";
    }
    html += "</section><div class=\"albums\">";
    int shown = 0;
    for (const AlbumRecord& album : albums) {
        if (album.photoCount == 0 ||
            DecideAccess(album, visit.viewer, data_.friends) != Access::Granted)
            continue;
        std::vector<PhotoRecord> photos;
        std::string cover = "<div class=\"cover\"></div>";
        if (data_.albums.ListPhotos(album.id, photos) == StoreResult::Ok && !photos.empty()) {
            cover = "<div class=\"cover\"><img loading=\"lazy\" alt=\"\" src=\"" +
                    HtmlEscape(ThumbnailAddress(photos.front())) + "\"></div>";
        }
        html += "<a class=\"album\" href=\"" + HtmlEscape(AlbumPath(album.ownerName, album.id)) +
                "\">" + cover + "<div class=\"meta\"><div class=\"name\">" +
                HtmlEscape(album.name) + "</div><div class=\"hint\">" +
                HtmlEscape(album.ownerName) + " · " + std::to_string(album.photoCount) + " 张 · " +
                PrivacyLabel(album.privacy) + "</div></div></a>";
        ++shown;
    }
    html += "</div>";
    if (shown == 0)
        html += "<p class=\"empty\">还没有可以浏览的相册。</p>";
    return Finish(visit, 200, "首页", html);
}

HttpResponse WebPages::UserAlbums(Visit& visit, const std::string& userName) {
    UserRecord owner;
    std::vector<AlbumRecord> albums;
    if (data_.accounts.FindUser(userName, owner) != StoreResult::Ok)
        return ErrorPage(visit, 404, "用户不存在", "没有找到这个用户。");
    if (data_.albums.ListAlbums(owner.id, albums) != StoreResult::Ok)
        return ErrorPage(visit, 500, "服务器异常", "请稍后再试。");
    const bool isOwner = visit.User() && visit.User()->id == owner.id;
    const std::string name = HtmlEscape(owner.name);
    std::string html = "<h1>" + name + " 的相册</h1>";
    if (isOwner) {
        std::int64_t used = 0;
        Limits limits;
        if (data_.albums.UsedSpace(owner.id, used) == StoreResult::Ok &&
            data_.albums.EffectiveLimits(owner.id, limits) == StoreResult::Ok) {
            html += "<p class=\"hint\">已用空间 " + FormatBytes(used) + " / " +
                    FormatBytes(limits.spacePerUser) + " · <a href=\"/friends\">管理好友</a></p>";
        }
    }
    std::string cards;
    int hidden = 0;
    for (const AlbumRecord& album : albums) {
        const Access access = DecideAccess(album, visit.viewer, data_.friends);
        if (access != Access::Granted && access != Access::AnswerFirst) {
            ++hidden;
            continue;
        }
        std::vector<PhotoRecord> photos;
        std::string cover = "<div class=\"cover\">" +
                            std::string(access == Access::Granted ? "暂无图片" : "需回答问题") +
                            "</div>";
        if (access == Access::Granted &&
            data_.albums.ListPhotos(album.id, photos) == StoreResult::Ok && !photos.empty()) {
            cover = "<div class=\"cover\"><img loading=\"lazy\" alt=\"\" src=\"" +
                    HtmlEscape(ThumbnailAddress(photos.front())) + "\"></div>";
        }
        cards += "<a class=\"album\" href=\"" + HtmlEscape(AlbumPath(owner.name, album.id)) +
                 "\">" + cover + "<div class=\"meta\"><div class=\"name\">" +
                 HtmlEscape(album.name) + "</div><div class=\"hint\">" +
                 std::to_string(album.photoCount) + " 张 · " + PrivacyLabel(album.privacy) + " · " +
                 FormatDate(album.created) + "</div></div></a>";
    }
    if (cards.empty()) {
        html += isOwner ? "<p class=\"empty\">还没有相册。在客户端上传图片时可以新建相册。</p>"
                        : "<p class=\"empty\">这里没有你可以浏览的相册。</p>";
    }
    html += "<div class=\"albums\">" + cards + "</div>";
    if (hidden > 0 && !visit.User()) {
        html += "<p class=\"hint\">还有 " + std::to_string(hidden) +
                " 个相册只对好友或主人可见: <a href=\"/login?back=/u/" + name +
                "\">登录</a>后再看。</p>";
    }
    return Finish(visit, 200, owner.name + " 的相册", html);
}

std::optional<WebPages::AlbumVisit> WebPages::FindAlbum(Visit& visit, const std::string& userName,
                                                        const std::string& albumText,
                                                        HttpResponse& failure) {
    AlbumVisit found;
    const auto id = ParseDecimal(albumText);
    if (!id || data_.accounts.FindUser(userName, found.owner) != StoreResult::Ok ||
        data_.albums.FindAlbum(*id, found.album) != StoreResult::Ok ||
        found.album.userId != found.owner.id) {
        failure = ErrorPage(visit, 404, "相册不存在", "没有找到这个相册, 它可能已被主人删除。");
        return std::nullopt;
    }
    found.access = DecideAccess(found.album, visit.viewer, data_.friends);
    return found;
}

HttpResponse WebPages::Refusal(Visit& visit, const AlbumVisit& album, Access access,
                               const std::string& message) {
    const std::string owner = HtmlEscape(album.owner.name);
    const std::string name = "「" + HtmlEscape(album.album.name) + "」";
    const std::string login =
        "<p><a class=\"button\" href=\"/login?back=" + HtmlEscape(PercentEncode(album.Path())) +
        "\">登录</a></p>";
    std::string html = "<div class=\"card narrow gate\">";
    switch (access) {
        case Access::LogInFirst:
            html += album.album.privacy == kPrivacyFriends
                        ? "<h1>需要登录</h1><p>相册" + name + "仅 " + owner +
                              " 的好友可见。如果你是 " + owner + " 的好友, 请先登录。</p>" + login
                        : "<h1>需要登录</h1><p>相册" + name + "仅主人 " + owner +
                              " 自己可见。如果你就是 " + owner + ", 请先登录。</p>" + login;
            break;
        case Access::NotAFriend: {
            const std::string me = HtmlEscape(visit.User()->name);
            html += "<h1>仅好友可见</h1><p>相册" + name + "仅 " + owner + " 的好友可见, 而你(" +
                    me + ")还不在 " + owner + " 的好友列表中。</p><p>请联系 " + owner +
                    ", 请他在「好友」页面把用户名 <strong>" + me +
                    "</strong> 加为好友, 然后刷新本页。</p>";
            break;
        }
        case Access::OwnerOnly:
            html += "<h1>仅主人可见</h1><p>相册" + name + "仅 " + owner +
                    " 自己可见, 不能分享给其他人。</p>";
            break;
        case Access::AnswerFirst:
        case Access::Granted:
            html += "<h1>回答问题后查看</h1><p>" + owner + " 的相册" + name +
                    "需要回答一个问题才能查看。</p>" + ErrorBox(message) +
                    "<form method=\"post\" action=\"" + HtmlEscape(album.Path()) + "/answer\">" +
                    HiddenInput("form_token", visit.formToken) +
                    HiddenInput("back",
                                visit.returnTo.empty()
                                    ? SameSitePath(visit.request.target, visit.origin).value_or("")
                                    : visit.returnTo) +
                    "<p class=\"question\">" + HtmlEscape(album.album.question) +
                    "</p><label for=\"answer\">答案</label><input type=\"text\" id=\"answer\" "
                    "name=\"answer\" autocomplete=\"off\" autofocus required maxlength=\"200\">"
                    "<button class=\"primary\" type=\"submit\">查看相册</button></form>"
                    "<p class=\"hint\">答案不区分大小写。回答正确后, "
                    "在浏览器关闭前都可以查看这个相册。</p>";
            break;
    }
    html += "<p class=\"hint\"><a href=\"/\">浏览其他相册</a></p></div>";
    return Finish(visit, 403, album.album.name, html);
}

HttpResponse WebPages::AlbumPage(Visit& visit, AlbumVisit& album) {
    if (album.access != Access::Granted)
        return Refusal(visit, album, album.access, "");
    std::vector<PhotoRecord> photos;
    if (data_.albums.ListPhotos(album.album.id, photos) != StoreResult::Ok)
        return ErrorPage(visit, 500, "服务器异常", "请稍后再试。");
    const std::string owner = HtmlEscape(album.owner.name);
    std::string html = "<p class=\"crumbs\"><a href=\"/u/" + owner + "\">" + owner +
                       " 的相册</a></p><h1>" + HtmlEscape(album.album.name) + "</h1>";
    if (!album.album.description.empty())
        html += "<p class=\"description\">" + HtmlEscape(album.album.description) + "</p>";
    html += "<p class=\"hint\">" + std::to_string(photos.size()) + " 张 · " +
            PrivacyLabel(album.album.privacy) + " · 创建于 " + FormatDate(album.album.created) +
            "</p>";
    if (photos.empty())
        html += "<p class=\"empty\">这个相册里还没有图片。</p>";
    html += "<div class=\"photos\">";
    for (const PhotoRecord& photo : photos) {
        const std::string title = HtmlEscape(PhotoTitle(photo));
        html += "<figure class=\"photo\"><a href=\"" + HtmlEscape(album.Path()) + "/" +
                std::to_string(photo.id) + "\"><img loading=\"lazy\" src=\"" +
                HtmlEscape(ThumbnailAddress(photo)) + "\" alt=\"" + title +
                "\"></a><figcaption class=\"caption\" title=\"" + title + "\">" + title +
                "</figcaption></figure>";
    }
    html += "</div>";
    if (album.IsOwner(visit)) {
        const std::string path = HtmlEscape(album.Path());
        html +=
            "<details class=\"settings\"><summary>相册设置</summary><form method=\"post\" "
            "action=\"" +
            path + "/edit\">" + HiddenInput("form_token", visit.formToken) +
            "<label for=\"name\">相册名</label><input type=\"text\" id=\"name\" name=\"name\" "
            "required maxlength=\"100\" value=\"" +
            HtmlEscape(album.album.name) +
            "\"><label for=\"description\">描述</label><textarea id=\"description\" "
            "name=\"description\" maxlength=\"1000\" rows=\"3\">" +
            HtmlEscape(album.album.description) + "</textarea>" + PrivacyChoices(album.album) +
            "<button class=\"primary\" type=\"submit\">保存</button></form>"
            "<form method=\"post\" class=\"danger\" action=\"" +
            path + "/delete\">" + HiddenInput("form_token", visit.formToken) +
            "<label class=\"choice\"><input type=\"checkbox\" name=\"confirm\" value=\"1\" "
            "required> 删除这个相册和其中的 " +
            std::to_string(photos.size()) +
            " 张图片, 不能恢复</label><button type=\"submit\">删除相册</button></form></details>";
    }
    return Finish(visit, 200, album.album.name, html);
}

HttpResponse WebPages::PhotoPage(Visit& visit, AlbumVisit& album, const std::string& photoText) {
    if (album.access != Access::Granted)
        return Refusal(visit, album, album.access, "");
    std::vector<PhotoRecord> photos;
    if (data_.albums.ListPhotos(album.album.id, photos) != StoreResult::Ok)
        return ErrorPage(visit, 500, "服务器异常", "请稍后再试。");
    const auto id = ParseDecimal(photoText);
    auto it = std::find_if(photos.begin(), photos.end(),
                           [&](const PhotoRecord& photo) { return id && photo.id == *id; });
    if (it == photos.end())
        return ErrorPage(visit, 404, "图片不存在", "没有找到这张图片, 它可能已被主人删除。");
    const std::string path = HtmlEscape(album.Path());
    const std::string title = HtmlEscape(PhotoTitle(*it));
    const std::string original = "/photos/" + HtmlEscape(it->file);
    const auto index = static_cast<std::size_t>(it - photos.begin());
    auto step = [&](std::size_t to, const char* rel, const char* label) {
        return "<a class=\"step\" rel=\"" + std::string(rel) + "\" href=\"" + path + "/" +
               std::to_string(photos[to].id) + "\">" + label + "</a>";
    };
    std::string html = "<p class=\"crumbs\"><a href=\"/u/" + HtmlEscape(album.owner.name) + "\">" +
                       HtmlEscape(album.owner.name) + " 的相册</a> › <a href=\"" + path + "\">" +
                       HtmlEscape(album.album.name) + "</a></p><div class=\"viewer\">" +
                       (index > 0 ? step(index - 1, "prev", "‹ 上一张")
                                  : "<span class=\"step off\">‹ 上一张</span>") +
                       "<a class=\"frame\" href=\"" + original +
                       "\" title=\"查看原图\"><img src=\"" + original + "\" alt=\"" + title +
                       "\"></a>" +
                       (index + 1 < photos.size() ? step(index + 1, "next", "下一张 ›")
                                                  : "<span class=\"step off\">下一张 ›</span>") +
                       "</div><div class=\"photo-meta\"><span class=\"title\">" + title +
                       "</span><span class=\"hint\">" + std::to_string(index + 1) + " / " +
                       std::to_string(photos.size()) + " · " + FormatBytes(it->size) + " · " +
                       FormatDate(it->created) + " · ← → 键翻页</span><a href=\"" + original +
                       "\">查看原图</a></div>";
    if (album.IsOwner(visit)) {
        html += "<form method=\"post\" class=\"danger\" action=\"" + path + "/" +
                std::to_string(it->id) + "/delete\">" + HiddenInput("form_token", visit.formToken) +
                "<label class=\"choice\"><input type=\"checkbox\" name=\"confirm\" value=\"1\" "
                "required> 从相册中删除这张图片</label><button "
                "type=\"submit\">删除图片</button></form>";
    }
    return Finish(visit, 200, PhotoTitle(*it), html);
}

HttpResponse WebPages::AnswerPost(Visit& visit, AlbumVisit& album) {
    auto form = AcceptForm(visit);
    if (!form)
        return ErrorPage(visit, 403, "请求被拒绝", "请从本站的页面提交答案。");
    if (album.album.privacy != kPrivacyQuestion || album.access == Access::Granted)
        return RedirectResponse(album.Path());
    visit.returnTo = SameSitePath(Field(*form, "back"), visit.origin).value_or(album.Path());
    const std::string& address = visit.request.peerAddress;
    if (const std::int64_t wait = passes_.BeginAttempt(album.album.id, address, visit.now);
        wait > 0) {
        return Refusal(visit, album, Access::AnswerFirst,
                       "答错次数过多, 请 " + std::to_string((wait + 59) / 60) + " 分钟后再试。");
    }
    std::string hash;
    const StoreResult stored = data_.albums.AnswerHash(album.album.id, hash);
    const std::string answer = Field(*form, "answer");
    // Answers stored before they were normalised are also accepted as they were typed.
    const bool right =
        stored == StoreResult::Ok && !TrimSpace(answer).empty() &&
        (VerifyPassword(hash, NormaliseAnswer(answer)) || VerifyPassword(hash, TrimSpace(answer)));
    passes_.EndAttempt(album.album.id, address, visit.now, !right);
    if (!right)
        return Refusal(visit, album, Access::AnswerFirst, "答案不对, 请再试一次。");
    std::string token = visit.visitToken;
    HttpResponse response = RedirectResponse(visit.returnTo);
    if (token.empty()) {
        token = RandomHex(16);
        // No lifetime: the answer opens the album until the browser ends its session.
        response.headers.emplace_back("Set-Cookie",
                                      Cookie(visit, std::string(kVisitCookie) + "=" + token, ""));
    }
    passes_.Open(token, album.album.id, visit.now);
    return response;
}

HttpResponse WebPages::EditAlbumPost(Visit& visit, AlbumVisit& album) {
    auto form = AcceptForm(visit);
    if (!form || !album.IsOwner(visit))
        return ErrorPage(visit, 403, "请求被拒绝", "只有相册的主人可以修改它。");
    NewAlbum change;
    change.name = TrimSpace(Field(*form, "name"));
    change.description = Field(*form, "description");
    const auto privacy = ParseDecimal(Field(*form, "privacy"));
    change.privacy = privacy && *privacy >= kPrivacyEveryone && *privacy <= kPrivacyPrivate
                         ? static_cast<int>(*privacy)
                         : 0;
    change.question = TrimSpace(Field(*form, "question"));
    const std::string answer = Field(*form, "answer");
    auto refuse = [&](const std::string& text) {
        return ErrorPage(visit, 400, "没有保存", text + " 请返回修改后再保存。");
    };
    if (change.name.empty() || Utf8Length(change.name) > 100)
        return refuse("相册名须为 1–100 个字。");
    if (Utf8Length(change.description) > 1000)
        return refuse("描述不能超过 1000 个字。");
    if (change.privacy == 0)
        return refuse("请选择谁可以看。");
    if (change.privacy == kPrivacyQuestion) {
        if (change.question.empty() || Utf8Length(change.question) > 200 ||
            Utf8Length(answer) > 200)
            return refuse("回答问题可见的相册须有问题(最多 200 个字)。");
        if (!TrimSpace(answer).empty()) {
            auto hash = HashPassword(NormaliseAnswer(answer), data_.hashCost);
            if (!hash)
                return ErrorPage(visit, 500, "服务器异常", "请稍后再试。");
            change.answerHash = std::move(*hash);
        }
    }
    switch (data_.albums.UpdateAlbum(album.album.id, change)) {
        case StoreResult::Ok:
            break;
        case StoreResult::Invalid:
            return refuse("请填写答案。");
        default:
            return ErrorPage(visit, 500, "服务器异常", "请稍后再试。");
    }
    // A new question or answer asks everyone again.
    if (change.privacy != kPrivacyQuestion || !change.answerHash.empty() ||
        change.question != album.album.question) {
        passes_.CloseForAll(album.album.id);
    }
    return RedirectResponse(album.Path());
}

HttpResponse WebPages::DeleteAlbumPost(Visit& visit, AlbumVisit& album) {
    auto form = AcceptForm(visit);
    if (!form || !album.IsOwner(visit) || Field(*form, "confirm") != "1")
        return ErrorPage(visit, 403, "请求被拒绝", "只有相册的主人可以删除它, 且须勾选确认。");
    if (data_.albums.DeleteAlbum(album.album.id) != StoreResult::Ok)
        return ErrorPage(visit, 500, "服务器异常", "请稍后再试。");
    data_.files.RemoveAlbumFolder(album.album.userId, album.album.id);
    return RedirectResponse("/u/" + album.owner.name);
}

HttpResponse WebPages::DeletePhotoPost(Visit& visit, AlbumVisit& album,
                                       const std::string& photoText) {
    auto form = AcceptForm(visit);
    const auto id = ParseDecimal(photoText);
    PhotoRecord photo;
    if (!form || !album.IsOwner(visit) || Field(*form, "confirm") != "1" || !id ||
        data_.albums.FindPhotoById(*id, photo) != StoreResult::Ok ||
        photo.albumId != album.album.id) {
        return ErrorPage(visit, 403, "请求被拒绝", "只有相册的主人可以删除图片, 且须勾选确认。");
    }
    if (data_.albums.DeletePhoto(photo.id) != StoreResult::Ok)
        return ErrorPage(visit, 500, "服务器异常", "请稍后再试。");
    data_.files.Remove(photo.file);
    return RedirectResponse(album.Path());
}

HttpResponse WebPages::FriendsPage(Visit& visit, int status, const std::string& message) {
    if (!visit.User())
        return RedirectResponse("/login?back=/friends");
    std::vector<UserRecord> friends;
    if (data_.friends.List(visit.User()->id, friends) != StoreResult::Ok)
        return ErrorPage(visit, 500, "服务器异常", "请稍后再试。");
    const std::string token = HiddenInput("form_token", visit.formToken);
    std::string html =
        "<div class=\"card narrow\"><h1>好友</h1><p class=\"hint\">你的好友可以浏览你设为"
        "「仅好友可见」的相册。加好友只需对方的用户名, 不需要对方同意。</p>" +
        ErrorBox(message) + "<form method=\"post\" action=\"/friends\" class=\"row\">" + token +
        HiddenInput("action", "add") +
        "<input type=\"text\" name=\"name\" aria-label=\"用户名\" placeholder=\"好友的用户名\" "
        "required maxlength=\"32\" autocomplete=\"off\"><button class=\"primary\" "
        "type=\"submit\">添加</button></form><ul class=\"friends\">";
    for (const UserRecord& user : friends) {
        html += "<li><span>" + HtmlEscape(user.name) +
                "</span><form method=\"post\" action=\"/friends\">" + token +
                HiddenInput("action", "remove") + HiddenInput("name", user.name) +
                "<button type=\"submit\" class=\"link\">移除</button></form></li>";
    }
    html += "</ul>";
    if (friends.empty())
        html += "<p class=\"empty\">还没有好友。</p>";
    html += "</div>";
    return Finish(visit, status, "好友", html);
}

HttpResponse WebPages::FriendsPost(Visit& visit) {
    auto form = AcceptForm(visit);
    if (!form || !visit.User())
        return ErrorPage(visit, 403, "请求被拒绝", "请登录后在本站的好友页面操作。");
    const std::string name = TrimSpace(Field(*form, "name"));
    if (Field(*form, "action") == "remove") {
        if (data_.friends.Remove(visit.User()->id, name) == StoreResult::Fault)
            return ErrorPage(visit, 500, "服务器异常", "请稍后再试。");
        return RedirectResponse("/friends");
    }
    switch (data_.friends.Add(visit.User()->id, name, visit.now)) {
        case StoreResult::Ok:
        case StoreResult::Exists:
            return RedirectResponse("/friends");
        case StoreResult::NotFound:
            return FriendsPage(visit, 404, "没有名为 " + name + " 的用户");
        case StoreResult::Invalid:
            return FriendsPage(visit, 400, "不能把自己加为好友");
        default:
            return ErrorPage(visit, 500, "服务器异常", "请稍后再试。");
    }
}

HttpResponse WebPages::PictureFile(const HttpRequest& request, const ParsedTarget& target,
                                   std::int64_t now) {
    const auto& s = target.segments;
    const bool thumbnail = s.size() == 4 && s[0] == "thumbs";
    std::string name = s.size() == 4 ? s[3] : std::string();
    PhotoRecord photo;
    AlbumRecord album;
    bool found = s.size() == 4 && ParseDecimal(s[1]) && ParseDecimal(s[2]);
    if (found && thumbnail) {
        // The thumbnail names the picture by its stored name without the type: look for it.
        found = name.size() == 36 && name.substr(32) == ".jpg";
        std::vector<PhotoRecord> photos;
        const auto albumId = ParseDecimal(s[2]);
        found = found && data_.albums.ListPhotos(*albumId, photos) == StoreResult::Ok;
        auto it = std::find_if(photos.begin(), photos.end(), [&](const PhotoRecord& p) {
            return p.file.compare(0, s[1].size() + s[2].size() + 34,
                                  s[1] + "/" + s[2] + "/" + name.substr(0, 32)) == 0;
        });
        found = found && it != photos.end();
        if (found)
            photo = *it;
    } else if (found) {
        found = PhotoFiles::IsStoredName(name) &&
                data_.albums.FindPhoto(s[1] + "/" + s[2] + "/" + name, photo) == StoreResult::Ok;
    }
    if (!found || data_.albums.FindAlbum(photo.albumId, album) != StoreResult::Ok)
        return TextResponse(404, "Not Found");
    if (DecideAccess(album, ViewerOf(request, now, nullptr, TicketOpens::Yes), data_.friends) !=
        Access::Granted)
        return TextResponse(403, "Forbidden");
    HttpResponse response;
    response.contentType = photo.mime;
    response.filePath = data_.files.FullPath(photo.file);
    if (thumbnail) {
        std::error_code ec;
        const std::string thumb = data_.files.ThumbnailPath(photo.file);
        if (std::filesystem::is_regular_file(thumb, ec)) {
            response.filePath = thumb;
            response.contentType = "image/jpeg";
        }
    }
    response.headers.emplace_back("X-Content-Type-Options", "nosniff");
    // Kept by this browser only: who may see a picture can change.
    response.headers.emplace_back("Cache-Control", "private, max-age=300");
    return response;
}

std::string WebPages::PhotoPageAddress(const std::string& base, const PhotoRecord& photo) {
    UserRecord owner;
    if (data_.accounts.FindUserById(photo.userId, owner) != StoreResult::Ok)
        return base + "/photos/" + photo.file;
    return base + AlbumPath(owner.name, photo.albumId) + "/" + std::to_string(photo.id);
}

}  // namespace albumd
