// A real albumd on loopback under the attacks a local user could make: lengths it must not trust,
// connections that only hold a place, many guesses or registrations at once, a way back that
// leads off-site, escape sequences aimed at the operator's terminal, pages on other ports or
// other names posting to the API, a stolen page cookie, floods of albums and feedback, idle
// sockets against a running upload, and files other local users could read. Each attack is bounded
// in count and time; each is refused while a working client is still served.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <future>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/AlbumdProcess.h"
#include "support/RawHttp.h"

namespace albumd::test {
namespace {

using nlohmann::json;
using tavopix::test::AlbumdProcess;
using tavopix::test::Exchange;
using tavopix::test::RawConnection;
using tavopix::test::RawReply;
using tavopix::test::Request;

constexpr const char* kPassword = "secret-pw";  // every account the launcher makes
constexpr const char* kFormToken = "0123456789abcdef0123456789abcdef";

class AttackTest : public ::testing::Test {
protected:
    void Start(const std::vector<std::string>& extra = {}) {
        server_ = AlbumdProcess::Start({"alice", "bob"}, extra);
        ASSERT_TRUE(server_);
    }

    RawReply Login(const std::string& name, const std::string& password) {
        return Exchange(
            server_->Port(),
            Request("POST", "/api/login", json{{"username", name}, {"password", password}}.dump()));
    }

    // The registration form as a browser on this site posts it.
    RawReply Register(const std::string& name, const std::string& returnUrl) {
        const std::string body =
            "form_token=" + std::string(kFormToken) + "&username=" + name +
            "&password=long-enough&password2=long-enough&returnurl=" + returnUrl;
        return Exchange(server_->Port(),
                        Request("POST", "/ovklogin/register.php", body,
                                "Origin: http://127.0.0.1\r\nCookie: albumd_form=" +
                                    std::string(kFormToken) + "\r\n"));
    }

    // Runs `albumd --data DIR words...` (the albumd beside this test program) and returns what
    // it printed.
    std::string CommandOutput(const std::string& words) {
        const std::string albumd =
            (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "albumd").string();
        const std::string command =
            "'" + albumd + "' --data '" + server_->DataFolder() + "' " + words;
        std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
        std::string output;
        char buffer[4096];
        for (std::size_t n; pipe && (n = fread(buffer, 1, sizeof buffer, pipe.get())) > 0;)
            output.append(buffer, n);
        return output;
    }

    // Logs in on the web form as a browser on this site does; the Set-Cookie header of the reply.
    std::string WebLoginCookie(const std::string& name, const std::string& host = "127.0.0.1",
                               const std::string& origin = "http://127.0.0.1") {
        const std::string body = "form_token=" + std::string(kFormToken) + "&username=" + name +
                                 "&password=" + kPassword;
        std::string request = Request(
            "POST", "/login", body,
            "Origin: " + origin + "\r\nCookie: albumd_form=" + std::string(kFormToken) + "\r\n");
        request.replace(request.find("Host: 127.0.0.1"), 15, "Host: " + host);
        const RawReply reply = Exchange(server_->Port(), request);
        EXPECT_EQ(reply.status, 303) << reply.body;
        return reply.Header("Set-Cookie");
    }

    std::string Ticket(const std::string& name) {
        return json::parse(Login(name, kPassword).body, nullptr, false).value("ticket", "");
    }

    RawReply Api(const std::string& target, const std::string& body, const std::string& ticket,
                 const std::string& extra = "") {
        return Exchange(
            server_->Port(),
            Request("POST", target, body, "Authorization: Ticket " + ticket + "\r\n" + extra));
    }

    std::unique_ptr<AlbumdProcess> server_;
};

TEST_F(AttackTest, LengthsBeyondTheLimitAreRefusedBeforeTheBody) {
    Start();
    for (const char* length :
         {"1000000000000000000", "00000000000000000000204800", "99999999999999999999999999"}) {
        for (const char* target : {"/api/login", "/"}) {
            RawConnection connection(server_->Port());
            ASSERT_TRUE(
                connection.Send(std::string("POST ") + target +
                                " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: " + length +
                                "\r\nContent-Type: application/json\r\n\r\n"
                                "{\"username\":"));
            const RawReply reply = connection.Read();
            EXPECT_TRUE(reply.status == 413 || reply.status == 400) << length << " " << target;
        }
    }
    EXPECT_EQ(Login("alice", kPassword).status, 200);
}

TEST_F(AttackTest, ConnectionsThatOnlyHoldAPlaceCannotKeepALoginOut) {
    Start();
    // Every place (256) taken by a login whose body trickles: one byte of a hundred.
    std::vector<std::unique_ptr<RawConnection>> tricklers;
    for (int i = 0; i < 256; ++i) {
        tricklers.push_back(std::make_unique<RawConnection>(server_->Port()));
        ASSERT_TRUE(tricklers.back()->Send(
            "POST /api/login HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 100\r\n"
            "Content-Type: application/json\r\n\r\n{"));
    }
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(Login("alice", kPassword).status, 200) << "login " << i;
    }
}

TEST_F(AttackTest, GuessesAndRegistrationsMadeAtOnceStayWithinTheLimits) {
    Start({"--threads", "16"});
    std::vector<std::future<int>> guesses;
    for (int i = 0; i < 19; ++i) {
        guesses.push_back(std::async(std::launch::async,
                                     [&] { return Login("alice", "wrong-password").status; }));
    }
    int checked = 0;
    for (auto& guess : guesses) {
        const int status = guess.get();
        EXPECT_TRUE(status == 403 || status == 423) << status;
        checked += status == 403;
    }
    EXPECT_GE(checked, 1);
    EXPECT_LE(checked, 5);
    EXPECT_EQ(Login("alice", kPassword).status, 423);
    EXPECT_EQ(Login("bob", kPassword).status, 200);

    std::vector<std::future<int>> registrations;
    for (int i = 0; i < 40; ++i) {
        registrations.push_back(std::async(std::launch::async, [this, i] {
            return Register("user" + std::to_string(i), "%2F").status;
        }));
    }
    int created = 0;
    for (auto& registration : registrations) {
        const int status = registration.get();
        EXPECT_TRUE(status == 200 || status == 423) << status;
        created += status == 200;
    }
    EXPECT_GE(created, 1);
    EXPECT_LE(created, 10);
    EXPECT_EQ(Login("bob", kPassword).status, 200);
}

TEST_F(AttackTest, TheWayBackAfterRegisteringStaysOnThisSite) {
    Start();
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"%2F%09%2Fevil.example%2Fphish", "/u/tab"},     // "/\t/evil.example/phish"
        {"%2F%5Cevil.example%2Fphish", "/u/backslash"},  // "/\evil.example/phish"
        {"%0A%2F%2Fevil.example", "/u/newline"},
        {"http%3A%2F%2F127.0.0.1%2Fu%2Fsame", "/u/same"}};
    const std::vector<std::string> names = {"tab", "backslash", "newline", "same"};
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const RawReply reply = Register(names[i], cases[i].first);
        ASSERT_EQ(reply.status, 200) << reply.body;
        EXPECT_NE(reply.body.find("href=\"" + cases[i].second + "\""), std::string::npos)
            << cases[i].first;
        EXPECT_EQ(reply.body.find("evil.example"), std::string::npos) << cases[i].first;
    }
}

TEST_F(AttackTest, FeedbackReachesTheOperatorsTerminalEscaped) {
    Start();
    const std::string ticket = json::parse(Login("alice", kPassword).body).value("ticket", "");
    const std::string text = "\x1b]0;owned\x07\x1b[2J\r\\x1b\n#2 fake record\xc2\x9b";
    const RawReply sent = Exchange(
        server_->Port(), Request("POST", "/api/openapi/133",
                                 json{{"contact", "\x1b[31mred"}, {"feed_content", text}}.dump(),
                                 "Authorization: Ticket " + ticket + "\r\n"));
    ASSERT_EQ(sent.status, 200) << sent.body;

    const std::string listed = CommandOutput("feedback list");
    EXPECT_EQ(listed.find_first_of("\x1b\x07\r"), std::string::npos) << listed;
    EXPECT_EQ(listed.find("\xc2\x9b"), std::string::npos);
    EXPECT_NE(listed.find(" contact: \\x1b[31mred\n"), std::string::npos) << listed;
    EXPECT_NE(listed.find("\n  \\x1b]0;owned\\x07\\x1b[2J\\x0d\\\\x1b\n  #2 fake record\\xc2\\x9b"),
              std::string::npos)
        << listed;
    EXPECT_EQ(Login("bob", kPassword).status, 200);
}

TEST_F(AttackTest, FailedLoginsOfOneClientLockNoOtherAccount) {
    Start();
    // A page on another port posting no-cors text: refused before any password is looked at.
    for (int i = 0; i < 25; ++i) {
        const RawReply reply = Exchange(
            server_->Port(),
            Request(
                "POST", "/api/login",
                json{{"username", "user" + std::to_string(i)}, {"password", "guess-guess"}}.dump(),
                "Origin: http://127.0.0.1:9\r\nContent-Type: text/plain\r\n"));
        EXPECT_TRUE(reply.status == 403 || reply.status == 415) << reply.status;
    }
    EXPECT_EQ(Login("bob", kPassword).status, 200);
    // Names that do not exist lock this client out of names that do not exist.
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(Login("nobody" + std::to_string(i), "guess-guess").status, 404) << i;
    }
    EXPECT_EQ(Login("nobody-else", "guess-guess").status, 423);
    EXPECT_EQ(Login("bob", kPassword).status, 200);
    // An account's lock stays with that account.
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(Login("alice", "wrong-password").status, 403);
    EXPECT_EQ(Login("alice", kPassword).status, 423);
    EXPECT_EQ(Login("bob", kPassword).status, 200);
}

TEST_F(AttackTest, OtherLocalUsersCanReadNothingOfTheDataFolder) {
    const mode_t previous = umask(022);
    Start();
    umask(previous);
    const std::string ticket = Ticket("alice");
    const std::string album =
        json::parse(Api("/api/openapi/104", "{\"album_name\":\"a\"}", ticket).body)
            .value("album_id", "");
    const std::string picture = "\xFF\xD8\xFF\xE0" + std::string(300, 'j');
    const RawReply stored =
        Exchange(server_->Port(), Request("POST", "/api/upload?album_id=" + album, picture,
                                          "Authorization: Ticket " + ticket + "\r\n"));
    ASSERT_EQ(stored.status, 200) << stored.body;
    int checked = 0;
    namespace fs = std::filesystem;
    struct stat info {};
    ASSERT_EQ(stat(server_->DataFolder().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    for (const auto& entry : fs::recursive_directory_iterator(server_->DataFolder())) {
        ASSERT_EQ(stat(entry.path().c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, entry.is_directory() ? 0700u : 0600u) << entry.path();
        ++checked;
    }
    EXPECT_GE(checked, 5);
}

TEST_F(AttackTest, ThePagesCookieOpensThePagesButNeverTheApi) {
    Start({"--public-url", "https://photos.example.org"});
    const std::string cookie = WebLoginCookie("alice");
    EXPECT_NE(cookie.find("; SameSite=Strict"), std::string::npos) << cookie;
    EXPECT_EQ(cookie.find("; Secure"), std::string::npos) << cookie;
    const std::string session = cookie.substr(0, cookie.find(';'));
    const std::string value = session.substr(session.find('=') + 1);
    const RawReply page =
        Exchange(server_->Port(), Request("GET", "/u/alice", "", "Cookie: " + session + "\r\n"));
    EXPECT_EQ(page.status, 200);
    EXPECT_NE(page.body.find("alice"), std::string::npos);
    EXPECT_EQ(Api("/api/openapi/101", "{}", value).status, 401);
    EXPECT_EQ(Exchange(server_->Port(),
                       Request("POST", "/api/openapi/101", "{}", "Cookie: " + session + "\r\n"))
                  .status,
              401);
    // Behind the TLS proxy the cookie is sent over TLS only.
    const std::string secure =
        WebLoginCookie("alice", "photos.example.org", "https://photos.example.org");
    EXPECT_NE(secure.find("; Secure"), std::string::npos) << secure;
}

TEST_F(AttackTest, OneAccountCannotFillTheServiceWithAlbumsOrFeedback) {
    Start();
    const std::string ticket = Ticket("alice");
    int albums = 0;
    RawReply refused;
    for (int i = 0; i < 150; ++i) {
        refused =
            Api("/api/openapi/104", "{\"album_name\":\"a" + std::to_string(i) + "\"}", ticket);
        if (refused.status != 200)
            break;
        ++albums;
    }
    EXPECT_EQ(albums, 100);
    EXPECT_EQ(refused.status, 403);
    EXPECT_NE(refused.body.find("100"), std::string::npos) << refused.body;
    int sent = 0;
    for (int i = 0; i < 40; ++i) {
        refused = Api("/api/openapi/133", "{\"feed_content\":\"hello\"}", ticket);
        if (refused.status != 200)
            break;
        ++sent;
    }
    EXPECT_EQ(sent, 20);
    EXPECT_EQ(refused.status, 429);
    EXPECT_NE(refused.body.find("明天"), std::string::npos) << refused.body;
    EXPECT_EQ(Api("/api/openapi/133", "{\"feed_content\":\"hello\"}", Ticket("bob")).status, 200);
}

TEST_F(AttackTest, IdleSocketsDoNotEvictAnUploadThatIsArriving) {
    Start({"--max-connections", "16"});
    const std::string ticket = Ticket("alice");
    const std::string album =
        json::parse(Api("/api/openapi/104", "{\"album_name\":\"a\"}", ticket).body)
            .value("album_id", "");
    const std::string picture = "\xFF\xD8\xFF\xE0" + std::string(600 * 1024, 'j');
    RawConnection upload(server_->Port());
    ASSERT_TRUE(upload.Send("POST /api/upload?album_id=" + album +
                            " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n"
                            "Authorization: Ticket " +
                            ticket + "\r\nContent-Length: " + std::to_string(picture.size()) +
                            "\r\nExpect: 100-continue\r\n\r\n"));
    // The interim reply says the header was read: from then on the upload is a body's.
    ASSERT_EQ(upload.Read().status, 100);
    std::vector<std::unique_ptr<RawConnection>> idle;
    // Halfway through, far more idle sockets than there are places.
    const std::size_t half = picture.size() / 2;
    ASSERT_TRUE(upload.Send(picture.substr(0, half)));
    for (int i = 0; i < 40; ++i)
        idle.push_back(std::make_unique<RawConnection>(server_->Port()));
    // Connections are taken in the order they came: once a later request is answered, every idle
    // socket has been taken in, each beyond the places evicting the one waiting longest.
    EXPECT_EQ(Exchange(server_->Port(), Request("GET", "/", "")).status, 200);
    ASSERT_TRUE(upload.Send(picture.substr(half)));
    EXPECT_EQ(upload.Read().status, 200);
}

TEST_F(AttackTest, OtherHostNamesAndPrivacyValuesAreRefused) {
    Start();
    const std::string ticket = Ticket("alice");
    std::string rebound =
        Request("POST", "/api/openapi/101", "{}", "Authorization: Ticket " + ticket + "\r\n");
    rebound.replace(rebound.find("Host: 127.0.0.1"), 15, "Host: rebind.example:80");
    EXPECT_EQ(Exchange(server_->Port(), rebound).status, 421);
    std::string page = Request("GET", "/", "");
    EXPECT_EQ(Exchange(server_->Port(), page).status, 200);
    page.replace(page.find("Host: 127.0.0.1"), 15, "Host: localhost:1");
    EXPECT_EQ(Exchange(server_->Port(), page).status, 200);
    page.replace(page.find("Host: localhost:1"), 17, "Host: rebind.example");
    EXPECT_EQ(Exchange(server_->Port(), page).status, 421);
    for (const char* level : {"3.5", "null", "true", "\"3.5\"", "0"}) {
        const RawReply reply = Api("/api/openapi/104",
                                   std::string("{\"album_name\":\"a\",\"privacy_lev\":") + level +
                                       ",\"album_pwd_prompt\":\"q\",\"album_pwd\":\"a\"}",
                                   ticket);
        EXPECT_EQ(reply.status, 400) << level;
    }
    EXPECT_EQ(Api("/api/openapi/104", "{\"album_name\":\"a\",\"privacy_lev\":4}", ticket).status,
              200);
}

}  // namespace
}  // namespace albumd::test
