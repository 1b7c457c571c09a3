// The browser pages: registration with its form token and same-origin check, the web login, and
// a private album's pages that only their owner sees, with every stored value escaped.
#include <gtest/gtest.h>

#include "HttpMessage.h"
#include "ServiceFixture.h"

namespace albumd::test {
namespace {

class WebPagesTest : public ServiceFixture {
protected:
    // A request from a browser that holds `cookies`.
    HttpResponse Browse(const std::string& method, const std::string& target,
                        const std::string& cookies, const std::string& body = "",
                        const std::string& origin = "http://albums.test:8080") {
        HttpRequest request = NewRequest(method, target, body);
        if (!cookies.empty())
            request.headers.emplace_back("cookie", cookies);
        if (!origin.empty())
            request.headers.emplace_back("origin", origin);
        return service_->Handle(request);
    }

    static std::string Cookie(const HttpResponse& response, const std::string& name) {
        for (const auto& [key, value] : response.headers) {
            if (key == "Set-Cookie" && value.rfind(name + "=", 0) == 0) {
                return value.substr(0, value.find(';'));
            }
        }
        return {};
    }

    // The form token cookie of a fresh visit to `page`, and the token itself.
    std::pair<std::string, std::string> FormToken(const std::string& page) {
        HttpResponse form = Browse("GET", page, "");
        std::string cookie = Cookie(form, "albumd_form");
        return {cookie, cookie.substr(cookie.find('=') + 1)};
    }

    HttpResponse Register(const std::string& name, const std::string& password,
                          const std::string& confirm) {
        auto [cookie, token] = FormToken("/ovklogin/register.php");
        return Browse("POST", "/ovklogin/register.php", cookie,
                      "form_token=" + token + "&username=" + PercentEncode(name) + "&password=" +
                          PercentEncode(password) + "&password2=" + PercentEncode(confirm) +
                          "&appid=2&returnurl=%2Flogin&style=album");
    }
};

TEST_F(WebPagesTest, RegistrationFormCreatesAnAccountTheClientCanUse) {
    HttpResponse form = Browse("GET",
                               "/ovklogin/register.php?appid=2&returnurl="
                               "http%3A%2F%2Falbums.test%3A8080%2Flogin&style=album",
                               "");
    ASSERT_EQ(form.status, 200);
    EXPECT_NE(form.body.find("name=\"returnurl\" value=\"http://albums.test:8080/login\""),
              std::string::npos);
    EXPECT_FALSE(Cookie(form, "albumd_form").empty());

    HttpResponse created = Register("carol", "carol-password", "carol-password");
    ASSERT_EQ(created.status, 200) << created.body;
    EXPECT_NE(created.body.find("注册成功"), std::string::npos);
    EXPECT_NE(created.body.find("href=\"/login\""), std::string::npos);
    EXPECT_FALSE(Cookie(created, "albumd_session").empty());
    EXPECT_FALSE(LoginTicket("carol", "carol-password").empty());

    EXPECT_EQ(Register("carol", "other-password", "other-password").status, 409);
    EXPECT_EQ(Register("dave", "short", "short").status, 400);
    EXPECT_EQ(Register("dave", "dave-password", "dave-passwort").status, 400);
    HttpResponse badName = Register("<b>x</b>", "dave-password", "dave-password");
    EXPECT_EQ(badName.status, 400);
    EXPECT_NE(badName.body.find("value=\"&lt;b&gt;x&lt;/b&gt;\""), std::string::npos);
    EXPECT_EQ(badName.body.find("<b>x"), std::string::npos);
}

TEST_F(WebPagesTest, FormPostsFromElsewhereAreRefused) {
    auto [cookie, token] = FormToken("/ovklogin/register.php");
    const std::string body =
        "form_token=" + token + "&username=mallory&password=mallory-pw&password2=mallory-pw";
    EXPECT_EQ(Browse("POST", "/ovklogin/register.php", cookie, body, "http://evil.test").status,
              403);
    EXPECT_EQ(Browse("POST", "/ovklogin/register.php", "",
                     "form_token=" + token + "&username=mallory&password=mallory-pw")
                  .status,
              403);
    EXPECT_EQ(Browse("POST", "/ovklogin/register.php", cookie,
                     "form_token=0123456789abcdef0123456789abcdef&username=mallory")
                  .status,
              403);
    UserRecord user;
    EXPECT_EQ(service_->Data().accounts.FindUser("mallory", user), StoreResult::NotFound);
}

TEST_F(WebPagesTest, AlbumPagesShowTheOwnersPicturesEscaped) {
    AddUser("alice", "alice-password");
    AddUser("bob", "bob-password");
    std::string ticket = LoginTicket("alice", "alice-password");
    std::string album = CreateAlbum(ticket, "<script>alert(1)</script>", kPrivacyPrivate);
    ASSERT_EQ(Upload(ticket, album, FakeJpeg(), "\"><img src=x onerror=alert(2)>").status, 200);

    HttpResponse anonymous = Browse("GET", "/u/alice", "");
    EXPECT_EQ(anonymous.status, 200);
    EXPECT_EQ(anonymous.body.find("alert(1)"), std::string::npos);
    EXPECT_EQ(Browse("GET", "/u/alice/" + album, "").status, 403);
    auto [cookie, token] = FormToken("/login");
    HttpResponse login = Browse("POST", "/login", cookie,
                                "form_token=" + token + "&username=alice&password=alice-password");
    ASSERT_EQ(login.status, 303);
    std::string session = Cookie(login, "albumd_session");
    ASSERT_FALSE(session.empty());

    HttpResponse albums = Browse("GET", "/u/alice", session);
    ASSERT_EQ(albums.status, 200);
    EXPECT_NE(albums.body.find("&lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos);
    EXPECT_EQ(albums.body.find("<script>"), std::string::npos);
    EXPECT_NE(albums.body.find("<img loading=\"lazy\" alt=\"\" src=\"/thumbs/1/" + album + "/"),
              std::string::npos);

    HttpResponse photos = Browse("GET", "/u/alice/" + album, session);
    ASSERT_EQ(photos.status, 200);
    EXPECT_NE(photos.body.find("&quot;&gt;&lt;img src=x onerror=alert(2)&gt;"), std::string::npos);
    EXPECT_EQ(photos.body.find("onerror=alert(2)>"), std::string::npos);

    EXPECT_NE(Browse("GET", "/u/bob", session).body.find("没有你可以浏览的相册"),
              std::string::npos);
    EXPECT_EQ(Browse("GET", "/u/alice/999", session).status, 404);

    // A client's ticket also opens a web session, one of its own.
    auto [cookie2, token2] = FormToken("/login");
    HttpResponse byTicket =
        Browse("POST", "/login", cookie2, "form_token=" + token2 + "&ticket=" + ticket);
    ASSERT_EQ(byTicket.status, 303);
    EXPECT_NE(Cookie(byTicket, "albumd_session"), "albumd_session=" + ticket);

    HttpResponse logout = Browse("POST", "/logout", session + "; " + cookie, "form_token=" + token);
    EXPECT_EQ(logout.status, 303);
    EXPECT_EQ(Browse("GET", "/u/alice/" + album, session).status, 403);
    EXPECT_EQ(Send("GET", "/api/user", "", ticket).status, 200);  // the client stays logged in
}

TEST_F(WebPagesTest, WebLoginReportsEachFailure) {
    AddUser("alice", "alice-password");
    auto [cookie, token] = FormToken("/login");
    auto post = [&, cookie = cookie, token = token](const std::string& fields) {
        return Browse("POST", "/login", cookie, "form_token=" + token + "&" + fields).status;
    };
    EXPECT_EQ(post("username=alice&password=wrong-password"), 403);
    EXPECT_EQ(post("username=nobody&password=wrong-password"), 404);
    EXPECT_EQ(post("username=alice"), 400);
    EXPECT_EQ(post("ticket=unknown"), 403);
}

TEST_F(WebPagesTest, InformationPagesAreServed) {
    HttpResponse lost = Browse("GET", "/WebStaticPage/aq_LostPassword.html", "");
    ASSERT_EQ(lost.status, 200);
    EXPECT_NE(lost.body.find("user passwd"), std::string::npos);
    EXPECT_EQ(Browse("GET", "/", "").status, 200);
    HttpResponse css = Browse("GET", "/static/albumd.css", "");
    EXPECT_EQ(css.contentType, "text/css; charset=utf-8");
    EXPECT_EQ(Browse("GET", "/no/such/page", "").status, 404);
}

}  // namespace
}  // namespace albumd::test
