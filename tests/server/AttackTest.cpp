// A real albumd on loopback under the attacks a local user could make: lengths it must not trust,
// connections that only hold a place, many guesses or registrations at once, a way back that
// leads off-site, and escape sequences aimed at the operator's terminal. Each attack is bounded in
// count and time; each is refused while a working client is still served.
#include <gtest/gtest.h>

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

    std::unique_ptr<AlbumdProcess> server_;
};

TEST_F(AttackTest, LengthsBeyondTheLimitAreRefusedBeforeTheBody) {
    Start();
    for (const char* length :
         {"1000000000000000000", "00000000000000000000204800", "99999999999999999999999999"}) {
        for (const char* target : {"/api/login", "/"}) {
            RawConnection connection(server_->Port());
            ASSERT_TRUE(connection.Send(std::string("POST ") + target +
                                        " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: " +
                                        length + "\r\n\r\n{\"username\":"));
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
            "POST /api/login HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 100\r\n\r\n{"));
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

}  // namespace
}  // namespace albumd::test
