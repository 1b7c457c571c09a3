// Who sees what of a real albumd over HTTP: an album of each privacy level, each with a picture,
// visited by each kind of visitor (nobody logged in, another user, a friend, the owner, someone
// who answered the question wrong and someone who answered it right) on the album page, the
// picture's page, its thumbnail and its file.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "ServiceFixture.h"
#include "support/AlbumdProcess.h"
#include "support/RawHttp.h"

namespace albumd::test {
namespace {

using nlohmann::json;
using tavopix::test::AlbumdProcess;
using tavopix::test::Exchange;
using tavopix::test::RawReply;
using tavopix::test::Request;

constexpr const char* kFormToken = "0123456789abcdef0123456789abcdef";
constexpr const char* kOrigin = "Origin: http://127.0.0.1\r\n";

struct Album {
    std::string page;       // "/u/alice/3"
    std::string photoPage;  // the upload's file_url without the host
    std::string file;       // "/photos/…"
    std::string thumbnail;  // "/thumbs/…"
};

class PrivacyTest : public ::testing::Test {
protected:
    void SetUp() override {
        server_ = AlbumdProcess::Start({"alice", "bob", "carol"});
        ASSERT_TRUE(server_);
    }

    RawReply Get(const std::string& target, const std::string& cookies) {
        return Exchange(
            server_->Port(),
            Request("GET", target, "", cookies.empty() ? "" : "Cookie: " + cookies + "\r\n"));
    }

    // A form post as albumd's own page sends it, with the form token's cookie.
    RawReply Post(const std::string& target, const std::string& fields,
                  const std::string& cookies) {
        return Exchange(
            server_->Port(),
            Request("POST", target, "form_token=" + std::string(kFormToken) + "&" + fields,
                    kOrigin + std::string("Cookie: albumd_form=") + kFormToken +
                        (cookies.empty() ? "" : "; " + cookies) + "\r\n"));
    }

    static std::string SetCookie(const RawReply& reply) {
        const std::string header = reply.Header("Set-Cookie");
        return header.substr(0, header.find(';'));
    }

    std::string WebLogin(const std::string& name) {
        const RawReply reply = Post("/login", "username=" + name + "&password=secret-pw", "");
        EXPECT_EQ(reply.status, 303) << reply.body;
        return SetCookie(reply);
    }

    // The ticket the program's login to the API gets; empty when refused.
    std::string ApiTicket(const std::string& name) {
        const RawReply reply = Exchange(
            server_->Port(), Request("POST", "/api/login",
                                     json{{"username", name}, {"password", "secret-pw"}}.dump()));
        return json::parse(reply.body).value("ticket", "");
    }

    Album MakeAlbum(const std::string& ticket, const std::string& fields) {
        const std::string auth = "Authorization: Ticket " + ticket + "\r\n";
        const RawReply created = Exchange(
            server_->Port(),
            Request("POST", "/api/openapi/104", "{\"album_name\":\"a\"," + fields + "}", auth));
        EXPECT_EQ(created.status, 200) << created.body;
        const std::string id = json::parse(created.body).value("album_id", "");
        const RawReply stored = Exchange(
            server_->Port(), Request("POST", "/api/upload?album_id=" + id, FakeJpeg(), auth));
        EXPECT_EQ(stored.status, 200) << stored.body;
        Album album;
        album.page = "/u/alice/" + id;
        album.photoPage = json::parse(stored.body)
                              .value("file_url", "")
                              .substr(std::string("http://127.0.0.1").size());
        return album;
    }

    std::unique_ptr<AlbumdProcess> server_;
};

TEST_F(PrivacyTest, EachVisitorSeesWhatTheAlbumsLevelAllows) {
    const std::string ticket = ApiTicket("alice");
    std::map<std::string, Album> albums = {
        {"everyone", MakeAlbum(ticket, "\"privacy_lev\":\"1\"")},
        {"friends", MakeAlbum(ticket, "\"privacy_lev\":\"2\"")},
        {"question", MakeAlbum(ticket,
                               "\"privacy_lev\":\"3\",\"album_pwd_prompt\":\"最喜欢的颜色?\","
                               "\"album_pwd\":\"Blue\"")},
        {"private", MakeAlbum(ticket, "\"privacy_lev\":\"4\"")}};

    const std::string owner = WebLogin("alice");
    // The owner's pages name the file and thumbnail of each picture.
    for (auto& [level, album] : albums) {
        const RawReply page = Get(album.photoPage, owner);
        ASSERT_EQ(page.status, 200) << level;
        const std::size_t file = page.body.find("href=\"/photos/") + 6;
        album.file = page.body.substr(file, page.body.find('"', file) - file);
        const RawReply grid = Get(album.page, owner);
        const std::size_t thumb = grid.body.find("src=\"/thumbs/") + 5;
        album.thumbnail = grid.body.substr(thumb, grid.body.find('"', thumb) - thumb);
    }
    ASSERT_EQ(Post("/friends", "action=add&name=bob", owner).status, 303);

    // Someone who answers wrong keeps asking; someone who answers right gets a cookie for this
    // browser session.
    const RawReply wrong = Post(albums["question"].page + "/answer", "answer=red", "");
    EXPECT_EQ(wrong.status, 403);
    EXPECT_NE(wrong.body.find("答案不对"), std::string::npos);
    EXPECT_TRUE(SetCookie(wrong).empty() || SetCookie(wrong).rfind("albumd_visit", 0) != 0);
    const RawReply right = Post(albums["question"].page + "/answer", "answer=%20%20bLUE%20", "");
    EXPECT_EQ(right.status, 303) << right.body;
    const std::string answered = SetCookie(right);
    ASSERT_EQ(answered.rfind("albumd_visit=", 0), 0u) << answered;
    EXPECT_EQ(right.Header("Set-Cookie").find("Max-Age"), std::string::npos);

    const std::map<std::string, std::string> visitors = {
        {"anonymous", ""},           {"other user", WebLogin("carol")},
        {"friend", WebLogin("bob")}, {"owner", owner},
        {"wrong answer", ""},        {"right answer", answered}};
    const std::map<std::string, std::vector<std::string>> allowed = {
        {"everyone",
         {"anonymous", "other user", "friend", "owner", "wrong answer", "right answer"}},
        {"friends", {"friend", "owner"}},
        {"question", {"owner", "right answer"}},
        {"private", {"owner"}}};
    for (const auto& [level, album] : albums) {
        for (const auto& [visitor, cookies] : visitors) {
            const auto& who = allowed.at(level);
            const int expected =
                std::find(who.begin(), who.end(), visitor) != who.end() ? 200 : 403;
            for (const std::string& target :
                 {album.page, album.photoPage, album.file, album.thumbnail}) {
                EXPECT_EQ(Get(target, cookies).status, expected)
                    << level << " album, " << visitor << ": " << target;
            }
        }
    }

    // Each refusal says why and what to do.
    EXPECT_NE(Get(albums["friends"].page, "").body.find("请先登录"), std::string::npos);
    EXPECT_NE(Get(albums["friends"].page, visitors.at("other user")).body.find("carol"),
              std::string::npos);
    EXPECT_NE(Get(albums["question"].photoPage, "").body.find("最喜欢的颜色?"), std::string::npos);
    EXPECT_NE(Get(albums["private"].page, visitors.at("friend")).body.find("仅主人可见"),
              std::string::npos);
    // The client's ticket opens the owner's files too, never another's.
    const std::string carolTicket =
        json::parse(Exchange(server_->Port(),
                             Request("POST", "/api/login",
                                     "{\"username\":\"carol\",\"password\":\"secret-pw\"}"))
                        .body)
            .value("ticket", "");
    const auto withTicket = [&](const std::string& target, const std::string& t) {
        return Exchange(server_->Port(),
                        Request("GET", target, "", "Authorization: Ticket " + t + "\r\n"))
            .status;
    };
    EXPECT_EQ(withTicket(albums["private"].file, ticket), 200);
    EXPECT_EQ(withTicket(albums["private"].file, carolTicket), 403);
    // The public index lists only what its visitor may see.
    const RawReply index = Get("/", "");
    EXPECT_NE(index.body.find(albums["everyone"].page + "\""), std::string::npos);
    EXPECT_EQ(index.body.find(albums["private"].page + "\""), std::string::npos);
    EXPECT_EQ(index.body.find(albums["friends"].page + "\""), std::string::npos);
    EXPECT_NE(Get("/", visitors.at("friend")).body.find(albums["friends"].page + "\""),
              std::string::npos);
}

TEST_F(PrivacyTest, TheOwnerRenamesChangesPrivacyAndDeletes) {
    const std::string ticket = ApiTicket("alice");
    const Album album = MakeAlbum(ticket, "\"privacy_lev\":\"1\"");
    const std::string owner = WebLogin("alice");
    const std::string carol = WebLogin("carol");
    EXPECT_EQ(Post(album.page + "/edit", "name=x&privacy=4", carol).status, 403);
    ASSERT_EQ(Post(album.page + "/edit",
                   "name=%E6%98%A5%E5%A4%A9&description=d&privacy=3&question=q&answer=A", owner)
                  .status,
              303);
    const RawReply asked = Get(album.page, "");
    EXPECT_EQ(asked.status, 403);
    EXPECT_NE(asked.body.find("春天"), std::string::npos);
    const std::string answered = SetCookie(Post(album.page + "/answer", "answer=a", ""));
    EXPECT_EQ(Get(album.page, answered).status, 200);
    // A new answer asks everyone again.
    ASSERT_EQ(Post(album.page + "/edit", "name=x&privacy=3&question=q&answer=b", owner).status,
              303);
    EXPECT_EQ(Get(album.page, answered).status, 403);
    // Guessing is limited: after 5 wrong answers even the right one waits.
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(Post(album.page + "/answer", "answer=guess" + std::to_string(i), "").status, 403);
    const RawReply locked = Post(album.page + "/answer", "answer=b", "");
    EXPECT_EQ(locked.status, 403);
    EXPECT_NE(locked.body.find("答错次数过多"), std::string::npos);

    const std::string photo = album.photoPage.substr(album.photoPage.rfind('/') + 1);
    EXPECT_EQ(Post(album.photoPage + "/delete", "confirm=1", carol).status, 403);
    ASSERT_EQ(Post(album.photoPage + "/delete", "confirm=1", owner).status, 303);
    EXPECT_EQ(Get(album.photoPage, owner).status, 404);
    EXPECT_EQ(Post(album.page + "/delete", "", owner).status, 403);  // not confirmed
    ASSERT_EQ(Post(album.page + "/delete", "confirm=1", owner).status, 303);
    EXPECT_EQ(Get(album.page, owner).status, 404);
}

}  // namespace
}  // namespace albumd::test
