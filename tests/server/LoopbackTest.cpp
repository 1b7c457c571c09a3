// A real albumd on loopback, spoken to with raw HTTP: every login status, tickets, albums,
// feedback, uploads with their limits and early refusals, bad input, and a kill -9 in the middle
// of uploads after which the database is intact and lists no half-stored picture.
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <thread>

#include "ServiceFixture.h"
#include "support/AlbumdProcess.h"
#include "support/RawHttp.h"
#include "support/WaitUntil.h"

namespace albumd::test {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using tavopix::test::AlbumdProcess;
using tavopix::test::Exchange;
using tavopix::test::RawConnection;
using tavopix::test::RawReply;
using tavopix::test::Request;

class LoopbackTest : public ::testing::Test {
protected:
    void SetUp() override {
        data_ = dir_.Path() + "data";
        server_ = std::make_unique<AlbumdProcess>(data_);
        ASSERT_EQ(server_->RunCommand({"user", "add", "alice"}, "alice-password\n"), 0);
        ASSERT_EQ(server_->RunCommand({"user", "add", "bob"}, "bob-password\n"), 0);
    }

    RawReply Call(const std::string& method, const std::string& target, const std::string& body,
                  const std::string& ticket = "") {
        std::string headers = ticket.empty() ? "" : "Authorization: Ticket " + ticket + "\r\n";
        return Exchange(server_->Port(), Request(method, target, body, headers));
    }

    std::string Login(const std::string& name, const std::string& password) {
        RawReply reply =
            Call("POST", "/api/login", json{{"username", name}, {"password", password}}.dump());
        EXPECT_EQ(reply.status, 200) << reply.head << reply.body;
        return json::parse(reply.body, nullptr, false).value("ticket", "");
    }

    std::string CreateAlbum(const std::string& ticket, const std::string& name) {
        RawReply reply = Call("POST", "/api/openapi/104",
                              "{\"album_name\":\"" + name + "\",\"privacy_lev\":\"1\"}", ticket);
        EXPECT_EQ(reply.status, 200) << reply.body;
        return json::parse(reply.body, nullptr, false).value("album_id", "");
    }

    std::string UploadRequest(const std::string& ticket, const std::string& album, std::size_t size,
                              const std::string& extra = "") {
        return "POST /api/upload?album_id=" + album +
               "&name=p.jpg HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n"
               "Authorization: Ticket " +
               ticket + "\r\nContent-Length: " + std::to_string(size) + "\r\n" + extra + "\r\n";
    }

    TempDir dir_;
    std::string data_;
    std::unique_ptr<AlbumdProcess> server_;
};

TEST_F(LoopbackTest, EveryLoginStatusReachesTheClient) {
    ASSERT_TRUE(server_->Listen());
    EXPECT_FALSE(Login("alice", "alice-password").empty());
    auto status = [&](const std::string& body) { return Call("POST", "/api/login", body).status; };
    EXPECT_EQ(status("{\"username\":\"nobody\",\"password\":\"whatever-pw\"}"), 404);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(status("{\"username\":\"alice\",\"password\":\"wrong-password\"}"), 403);
    }
    RawReply locked =
        Call("POST", "/api/login", "{\"username\":\"alice\",\"password\":\"alice-password\"}");
    EXPECT_EQ(locked.status, 423);
    EXPECT_FALSE(locked.Header("Retry-After").empty());
    EXPECT_EQ(status("{\"username\":"), 400);
    EXPECT_TRUE(server_->Stop(SIGTERM));

    ASSERT_TRUE(server_->Listen({"--fault", "login=500"}));
    EXPECT_EQ(status("{\"username\":\"bob\",\"password\":\"bob-password\"}"), 500);
}

TEST_F(LoopbackTest, TicketsExpireAndAreRevokedByLogout) {
    ASSERT_TRUE(server_->Listen({"--ticket-lifetime", "2"}));
    std::string ticket = Login("alice", "alice-password");
    std::string body = json{{"ticket", ticket}, {"appid", "2"}, {"machine_key", "host"}}.dump();
    EXPECT_EQ(Call("POST", "/api/ticket-login", body).status, 200);
    EXPECT_EQ(Call("POST", "/api/logout", "", ticket).status, 200);
    EXPECT_EQ(Call("POST", "/api/ticket-login", body).status, 403);

    std::string second = Login("alice", "alice-password");
    EXPECT_EQ(Call("GET", "/api/user", "", second).status, 200);
    EXPECT_TRUE(
        tavopix::test::WaitUntil([&] { return Call("GET", "/api/user", "", second).status == 401; },
                                 std::chrono::seconds(10), std::chrono::milliseconds(50)));
}

TEST_F(LoopbackTest, AlbumsAndFeedbackOverTheWire) {
    ASSERT_TRUE(server_->Listen());
    std::string ticket = Login("alice", "alice-password");
    EXPECT_EQ(CreateAlbum(ticket, "旅行"), "1");
    RawReply qa =
        Call("POST", "/api/openapi/104", "{\"album_name\":\"q\",\"privacy_lev\":\"3\"}", ticket);
    EXPECT_EQ(qa.status, 400);
    EXPECT_EQ(qa.body, "请填写问题和答案");
    RawReply list = Call("POST", "/api/openapi/101", "{\"uid\":\"1\"}", ticket);
    EXPECT_EQ(list.status, 200);
    EXPECT_EQ(list.body,
              "{\"albums\":[{\"album_id\":\"1\",\"album_name\":\"旅行\","
              "\"privacy_lev\":\"1\",\"photo_count\":0}]}");
    EXPECT_EQ(Call("POST", "/api/openapi/133", "{\"contact\":\"\",\"feed_content\":\"好\"}", ticket)
                  .status,
              200);
    EXPECT_EQ(Call("POST", "/api/openapi/101", "{", ticket).status, 400);

    // Requests follow each other on one kept-alive connection.
    RawConnection connection(server_->Port());
    const std::string keepAlive =
        "GET /api/user HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthorization: Ticket " + ticket + "\r\n\r\n";
    ASSERT_TRUE(connection.Send(keepAlive + keepAlive));
    EXPECT_EQ(connection.Read().status, 200);
    RawReply second = connection.Read();
    EXPECT_EQ(second.status, 200);
    EXPECT_EQ(json::parse(second.body)["username"], "alice");
    ASSERT_TRUE(connection.Send(
        "HEAD /static/albumd.css HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n"));
    RawReply head = connection.Read();
    EXPECT_EQ(head.status, 200);
    EXPECT_NE(head.Header("Content-Length"), "0");
}

TEST_F(LoopbackTest, UploadWaitsForContinueAndTheStoredPictureIsServed) {
    ASSERT_TRUE(server_->Listen());
    std::string ticket = Login("alice", "alice-password");
    std::string album = CreateAlbum(ticket, "a");
    std::string picture = FakeJpeg(3 * 1024 * 1024 + 17);

    RawConnection connection(server_->Port());
    ASSERT_TRUE(
        connection.Send(UploadRequest(ticket, album, picture.size(), "Expect: 100-continue\r\n")));
    EXPECT_EQ(connection.Read().status, 100);
    ASSERT_TRUE(connection.Send(picture));
    RawReply stored = connection.Read();
    ASSERT_EQ(stored.status, 200) << stored.body;
    std::string url = json::parse(stored.body)["file_url"];
    ASSERT_EQ(url.rfind("http://127.0.0.1/u/alice/" + album + "/", 0), 0u) << url;

    // The address is the picture's page, which links the original.
    RawReply page = Call("GET", url.substr(std::string("http://127.0.0.1").size()), "");
    ASSERT_EQ(page.status, 200);
    const std::size_t original = page.body.find("href=\"/photos/");
    ASSERT_NE(original, std::string::npos) << page.body;
    const std::size_t start = original + 6;
    RawReply served = Call("GET", page.body.substr(start, page.body.find('"', start) - start), "");
    EXPECT_EQ(served.status, 200);
    EXPECT_EQ(served.Header("Content-Type"), "image/jpeg");
    EXPECT_EQ(served.Header("X-Content-Type-Options"), "nosniff");
    EXPECT_TRUE(served.body == picture);
}

TEST_F(LoopbackTest, FullSpaceAndFullAlbumAreRefusedBeforeTheBodyIsSent) {
    ASSERT_EQ(server_->RunCommand({"limits", "--space", "1M", "--pictures", "1"}), 0);
    ASSERT_TRUE(server_->Listen());
    std::string ticket = Login("alice", "alice-password");
    std::string album = CreateAlbum(ticket, "a");

    RawConnection tooBig(server_->Port());
    ASSERT_TRUE(
        tooBig.Send(UploadRequest(ticket, album, 2 * 1024 * 1024, "Expect: 100-continue\r\n")));
    RawReply spaceFull = tooBig.Read();
    EXPECT_EQ(spaceFull.status, 413);
    EXPECT_EQ(json::parse(spaceFull.body)["msg"], "空间已满");
    // A client that sends its body without waiting still reads the refusal.
    EXPECT_EQ(Exchange(server_->Port(),
                       UploadRequest(ticket, album, 2 * 1024 * 1024) + FakeJpeg(2 * 1024 * 1024))
                  .status,
              413);

    EXPECT_EQ(Exchange(server_->Port(), UploadRequest(ticket, album, 1000) + FakeJpeg(1000)).status,
              200);
    RawReply albumFull = Exchange(server_->Port(), UploadRequest(ticket, album, 10) + FakeJpeg(10));
    EXPECT_EQ(albumFull.status, 414);
    EXPECT_EQ(json::parse(albumFull.body)["msg"], "相册图片数量已达上限");
    EXPECT_TRUE(server_->Stop(SIGTERM));

    ASSERT_TRUE(server_->Listen({"--fault", "upload=500"}));
    EXPECT_EQ(Exchange(server_->Port(), UploadRequest(ticket, album, 10) + FakeJpeg(10)).status,
              500);
}

TEST_F(LoopbackTest, BadInputIsRefused) {
    ASSERT_TRUE(server_->Listen());
    std::string ticket = Login("alice", "alice-password");
    std::string bobAlbum = CreateAlbum(Login("bob", "bob-password"), "b");

    EXPECT_EQ(Call("POST", "/api/openapi/133", "{" + std::string(70000, 'x'), ticket).status, 413);
    EXPECT_EQ(
        Exchange(server_->Port(),
                 "POST /api/openapi/133 HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                 "Content-Type: application/json\r\n"
                 "Transfer-Encoding: chunked\r\nAuthorization: Ticket " +
                     ticket + "\r\n\r\n20000\r\n" + std::string(0x20000, 'x') + "\r\n0\r\n\r\n")
            .status,
        413);
    EXPECT_EQ(Exchange(server_->Port(), UploadRequest(ticket, bobAlbum, 10) + FakeJpeg(10)).status,
              403);
    EXPECT_EQ(Exchange(server_->Port(), UploadRequest(ticket, "42", 10) + FakeJpeg(10)).status,
              404);
    EXPECT_EQ(Exchange(server_->Port(), UploadRequest(ticket, bobAlbum, 65 * 1024 * 1024,
                                                      "Expect: 100-continue\r\n"))
                  .status,
              400);
    EXPECT_EQ(Call("GET", "/photos/../albumd.db", "").status, 400);
    EXPECT_EQ(Call("GET", "/tavopix/packages/%2e%2e%2falbumd.db", "").status, 400);
    EXPECT_EQ(Exchange(server_->Port(), "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Big: " +
                                            std::string(20000, 'a') + "\r\n\r\n")
                  .status,
              400);
    EXPECT_EQ(Exchange(server_->Port(), "NONSENSE\r\n\r\n").status, 400);
    // The server is still answering.
    EXPECT_EQ(Call("GET", "/", "").status, 200);
}

// Counts the picture rows and checks the database file, read directly beside the server.
struct DatabaseState {
    std::string integrity;
    int photos = -1;
    int incompleteFiles = 0;  // listed pictures whose file is missing or of another size
};

DatabaseState Inspect(const std::string& dataDir) {
    DatabaseState state;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2((dataDir + "/albumd.db").c_str(), &db, SQLITE_OPEN_READONLY, nullptr) ==
        SQLITE_OK) {
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &statement, nullptr);
        if (sqlite3_step(statement) == SQLITE_ROW) {
            state.integrity = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
        }
        sqlite3_finalize(statement);
        sqlite3_prepare_v2(db, "SELECT file, size FROM photos", -1, &statement, nullptr);
        state.photos = 0;
        while (sqlite3_step(statement) == SQLITE_ROW) {
            ++state.photos;
            std::string file = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
            std::error_code ec;
            auto size = fs::file_size(dataDir + "/photos/" + file, ec);
            if (ec || static_cast<sqlite3_int64>(size) != sqlite3_column_int64(statement, 1)) {
                ++state.incompleteFiles;
            }
        }
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return state;
}

int CountFiles(const std::string& folder) {
    int count = 0;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(folder, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_regular_file())
            ++count;
    }
    return count;
}

std::uintmax_t LargestFileSize(const std::string& folder) {
    std::uintmax_t largest = 0;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        std::error_code sizeError;
        const std::uintmax_t size = entry.file_size(sizeError);
        if (!sizeError && size > largest)
            largest = size;
    }
    return largest;
}

TEST_F(LoopbackTest, KilledDuringAnUploadItLosesNothingAcknowledgedAndListsNoHalfPicture) {
    ASSERT_TRUE(server_->Listen());
    std::string ticket = Login("alice", "alice-password");
    std::string album = CreateAlbum(ticket, "a");
    ASSERT_EQ(Exchange(server_->Port(), UploadRequest(ticket, album, 5000) + FakeJpeg(5000)).status,
              200);

    // Uploads run back to back while the server is killed; one is caught half-sent.
    std::atomic<int> acknowledged{1};
    std::atomic<bool> stop{false};
    std::thread uploader([&] {
        while (!stop) {
            RawConnection connection(server_->Port());
            if (!connection.Send(UploadRequest(ticket, album, 300000) + FakeJpeg(300000)))
                break;
            if (connection.Read().status != 200)
                break;
            ++acknowledged;
        }
    });
    RawConnection halfSent(server_->Port());
    ASSERT_TRUE(halfSent.Send(UploadRequest(ticket, album, 4 * 1024 * 1024) + FakeJpeg(1 << 20)));
    // The half-sent body is on its way to disk: a temporary file larger than any whole upload.
    ASSERT_TRUE(tavopix::test::WaitUntil([&] { return LargestFileSize(data_ + "/tmp") > 300000; }));
    (void)server_->Stop(SIGKILL);
    stop = true;
    uploader.join();

    ASSERT_TRUE(server_->Listen());
    DatabaseState state = Inspect(data_);
    EXPECT_EQ(state.integrity, "ok");
    // Every acknowledged upload is listed; at most one more committed as its reply was lost.
    EXPECT_GE(state.photos, acknowledged.load());
    EXPECT_LE(state.photos, acknowledged.load() + 1);
    EXPECT_EQ(CountFiles(data_ + "/photos"), state.photos);
    EXPECT_EQ(state.incompleteFiles, 0);
    EXPECT_EQ(CountFiles(data_ + "/tmp"), 0);

    RawReply list = Call("POST", "/api/openapi/101", "{}", ticket);
    EXPECT_NE(list.body.find("\"photo_count\":" + std::to_string(state.photos)), std::string::npos)
        << list.body;
}

}  // namespace
}  // namespace albumd::test
