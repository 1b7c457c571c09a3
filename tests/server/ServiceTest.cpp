// The album service's API answered without sockets: logins and lock-outs, tickets, albums,
// feedback, uploads with their limits, update files and the refusal of bad input.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "ServiceFixture.h"

namespace albumd::test {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

json LoginBody(const std::string& name, const std::string& password) {
    return {{"username", name}, {"password", password}, {"appid", "2"}, {"machine_key", "k"}};
}

class ApiTest : public ServiceFixture {
protected:
    void SetUp() override {
        config_.loginRules.account = {3, 600, 300};
        config_.loginRules.address = {6, 600, 300};
        ServiceFixture::SetUp();
        AddUser("alice", "alice-password");
        AddUser("bob", "bob-password");
    }
};

TEST_F(ApiTest, PasswordLoginAnswersEachOutcomeWithItsStatus) {
    HttpResponse ok = Send("POST", "/api/login", LoginBody("alice", "alice-password").dump());
    ASSERT_EQ(ok.status, 200);
    json reply = Json(ok);
    EXPECT_EQ(reply["ticket"].get<std::string>().size(), 43u);
    EXPECT_EQ(reply["ticket"].get<std::string>().find_first_of(" \t\r\n"), std::string::npos);
    EXPECT_EQ(reply["username"], "alice");
    EXPECT_EQ(reply["user_id"], "1");
    EXPECT_EQ(reply["expires"], now_ + config_.ticketLifetimeSeconds);

    EXPECT_EQ(Send("POST", "/api/login", LoginBody("nobody", "whatever-1").dump()).status, 404);
    EXPECT_EQ(Send("POST", "/api/login", LoginBody("alice", "wrong-password").dump()).status, 403);
    EXPECT_EQ(Send("POST", "/api/login", "{\"username\":").status, 400);
    EXPECT_EQ(Send("POST", "/api/login", "[1,2]").status, 400);
    EXPECT_EQ(Send("POST", "/api/login", "{\"username\":\"alice\"}").status, 400);
    EXPECT_EQ(Send("GET", "/api/login").status, 405);
}

TEST_F(ApiTest, RepeatedWrongPasswordsLockTheAccountForAWhile) {
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Send("POST", "/api/login", LoginBody("alice", "wrong-password").dump()).status,
                  403);
    }
    HttpResponse locked = Send("POST", "/api/login", LoginBody("alice", "alice-password").dump());
    EXPECT_EQ(locked.status, 423);
    ASSERT_FALSE(locked.headers.empty());
    EXPECT_EQ(locked.headers[0], std::make_pair(std::string("Retry-After"), std::string("300")));
    // Another account from another address is not affected.
    EXPECT_EQ(
        Send("POST", "/api/login", LoginBody("bob", "bob-password").dump(), "", "10.0.0.2").status,
        200);
    now_ += 301;
    EXPECT_EQ(Send("POST", "/api/login", LoginBody("alice", "alice-password").dump()).status, 200);
}

TEST_F(ApiTest, FailuresFromOneAddressLockThatAddress) {
    for (int i = 0; i < 6; ++i) {
        std::string name = "guess" + std::to_string(i);
        EXPECT_EQ(Send("POST", "/api/login", LoginBody(name, "whatever-1").dump()).status, 404);
    }
    EXPECT_EQ(Send("POST", "/api/login", LoginBody("guess6", "whatever-1").dump()).status, 423);
    // The address's lock keeps it from guessing names, not from accounts it knows.
    EXPECT_EQ(Send("POST", "/api/login", LoginBody("bob", "bob-password").dump()).status, 200);
    EXPECT_EQ(
        Send("POST", "/api/login", LoginBody("guess6", "whatever-1").dump(), "", "10.0.0.9").status,
        404);
}

TEST_F(ApiTest, TicketLoginExpiresAndLogoutRevokes) {
    std::string ticket = LoginTicket("alice", "alice-password");
    json body = {{"ticket", ticket}, {"appid", "2"}, {"machine_key", "k"}};
    HttpResponse again = Send("POST", "/api/ticket-login", body.dump());
    ASSERT_EQ(again.status, 200);
    EXPECT_EQ(Json(again)["ticket"], ticket);
    EXPECT_EQ(Send("GET", "/api/user", "", ticket).status, 200);

    EXPECT_EQ(Send("POST", "/api/logout").status, 401);
    EXPECT_EQ(Send("POST", "/api/logout", "", ticket).status, 200);
    EXPECT_EQ(Send("POST", "/api/ticket-login", body.dump()).status, 403);
    EXPECT_EQ(Send("POST", "/api/openapi/101", "{}", ticket).status, 401);

    std::string second = LoginTicket("alice", "alice-password");
    now_ += config_.ticketLifetimeSeconds;
    body["ticket"] = second;
    EXPECT_EQ(Send("POST", "/api/ticket-login", body.dump()).status, 403);
    EXPECT_EQ(Send("GET", "/api/user", "", second).status, 401);
    body["ticket"] = "not-a-ticket";
    EXPECT_EQ(Send("POST", "/api/ticket-login", body.dump()).status, 403);
}

TEST_F(ApiTest, AlbumListHoldsEachIdBeforeItsNameInCreationOrder) {
    std::string ticket = LoginTicket("alice", "alice-password");
    EXPECT_EQ(CreateAlbum(ticket, "旅行"), "1");
    EXPECT_EQ(CreateAlbum(ticket, "家 \"里\"", 4), "2");
    std::string bobTicket = LoginTicket("bob", "bob-password");
    CreateAlbum(bobTicket, "bob's");

    HttpResponse list = Send("POST", "/api/openapi/101", "{\"uid\":\"1\"}", ticket);
    ASSERT_EQ(list.status, 200);
    EXPECT_EQ(list.body,
              "{\"albums\":[{\"album_id\":\"1\",\"album_name\":\"旅行\",\"privacy_lev\":\"1\","
              "\"photo_count\":0},{\"album_id\":\"2\",\"album_name\":\"家 \\\"里\\\"\","
              "\"privacy_lev\":\"4\",\"photo_count\":0}]}");
    EXPECT_EQ(Send("POST", "/api/openapi/101", "{\"uid\":\"2\"}", ticket).status, 403);
    EXPECT_EQ(Send("POST", "/api/openapi/101", "", ticket).status, 200);
    EXPECT_EQ(Send("POST", "/api/openapi/101", "").status, 401);
    EXPECT_EQ(Send("POST", "/api/openapi/999", "{}", ticket).status, 404);
}

TEST_F(ApiTest, AlbumCreationValidatesItsFields) {
    std::string ticket = LoginTicket("alice", "alice-password");
    auto create = [&](const std::string& body) {
        return Send("POST", "/api/openapi/104", body, ticket);
    };
    // The client's own texts, with a question and answer for level 3.
    HttpResponse qa = create(
        "{\"album_name\":\"  问答  \",\"album_desc\":\"d\",\"album_spot\":\"\",\"allow_comment\":"
        "\"1\",\"allow_repost\":\"1\",\"privacy_lev\":\"3\",\"album_pwd_prompt\":\"猫叫什么\","
        "\"album_pwd\":\"咪咪\",\"album_category_id\":\"0\"}");
    ASSERT_EQ(qa.status, 200) << qa.body;
    EXPECT_EQ(Json(qa)["album_name"], "问答");

    HttpResponse missingAnswer = create(
        "{\"album_name\":\"x\",\"privacy_lev\":\"3\",\"album_pwd_prompt\":\"q\",\"album_pwd\":"
        "\"\"}");
    EXPECT_EQ(missingAnswer.status, 400);
    EXPECT_EQ(missingAnswer.contentType, "text/plain; charset=utf-8");
    EXPECT_EQ(missingAnswer.body, "请填写问题和答案");
    EXPECT_EQ(create("{\"album_name\":\"   \"}").status, 400);
    EXPECT_EQ(create("{\"album_name\":\"" + std::string(101, 'n') + "\"}").status, 400);
    EXPECT_EQ(create("{\"album_name\":\"ok\",\"privacy_lev\":\"5\"}").status, 400);
    EXPECT_EQ(create("{\"album_name\":\"ok\",\"privacy_lev\":2}").status, 200);
    EXPECT_EQ(create("{\"album_name\":").status, 400);

    // The client escapes a line break as a backslash before the raw character.
    HttpResponse lineBreak =
        create("{\"album_name\":\"two\\\nlines\",\"album_desc\":\"a\\\r\\\nb\"}");
    ASSERT_EQ(lineBreak.status, 200) << lineBreak.body;
    AlbumRecord stored;
    ASSERT_EQ(service_->Data().albums.FindAlbum(
                  std::stoll(Json(lineBreak)["album_id"].get<std::string>()), stored),
              StoreResult::Ok);
    EXPECT_EQ(stored.name, "two\nlines");
    EXPECT_EQ(stored.description, "a\r\nb");
}

TEST_F(ApiTest, FeedbackIsStoredWithItsSender) {
    std::string ticket = LoginTicket("alice", "alice-password");
    HttpResponse sent = Send("POST", "/api/openapi/133",
                             "{\"contact\":\"\",\"feed_content\":\"很好用\\\n谢谢\"}", ticket);
    ASSERT_EQ(sent.status, 200);
    EXPECT_EQ(Json(sent)["feedback_id"], "1");
    EXPECT_EQ(
        Send("POST", "/api/openapi/133", "{\"contact\":\"\",\"feed_content\":\"\"}", ticket).status,
        400);
    std::vector<FeedbackRecord> stored;
    ASSERT_EQ(service_->Data().feedback.List(stored), StoreResult::Ok);
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].content, "很好用\n谢谢");
    EXPECT_EQ(stored[0].userName, "alice");
    EXPECT_EQ(stored[0].address, "10.0.0.1");
}

TEST_F(ApiTest, UploadStoresThePictureUnderAGeneratedNameAndServesIt) {
    std::string ticket = LoginTicket("alice", "alice-password");
    std::string album = CreateAlbum(ticket, "a");
    std::string picture = FakeJpeg(1000);
    HttpResponse reply = Upload(ticket, album, picture, "../../etc/红 花.jpg");
    ASSERT_EQ(reply.status, 200) << reply.body;
    json body = Json(reply);
    EXPECT_EQ(body["msg"], "上传成功");
    std::vector<PhotoRecord> photos;
    ASSERT_EQ(service_->Data().albums.ListPhotos(std::stoll(album), photos), StoreResult::Ok);
    ASSERT_EQ(photos.size(), 1u);
    // The address is the picture's page; the file has a name albumd made.
    EXPECT_EQ(body["file_url"],
              "http://albums.test:8080/u/alice/" + album + "/" + std::to_string(photos[0].id));
    EXPECT_EQ(Send("GET", "/u/alice/" + album + "/" + std::to_string(photos[0].id)).status, 200);
    EXPECT_TRUE(PhotoFiles::IsStoredName(photos[0].file.substr(photos[0].file.rfind('/') + 1)));
    HttpResponse served = Send("GET", "/photos/" + photos[0].file);
    ASSERT_EQ(served.status, 200);
    EXPECT_EQ(served.contentType, "image/jpeg");
    EXPECT_EQ(ReadAll(served.filePath), picture);
    EXPECT_EQ(photos[0].title, "../../etc/红 花.jpg");  // kept as a title only
    EXPECT_TRUE(fs::is_empty(config_.dataDir + "/tmp"));

    EXPECT_EQ(Send("GET", "/photos/1/" + album + "/0123456789abcdef0123456789abcdef.jpg").status,
              404);
}

TEST_F(ApiTest, UploadRefusesWhatItCannotStore) {
    std::string ticket = LoginTicket("alice", "alice-password");
    std::string bobAlbum = CreateAlbum(LoginTicket("bob", "bob-password"), "bob's");
    std::string album = CreateAlbum(ticket, "mine");

    EXPECT_EQ(Upload("", album, FakeJpeg()).status, 401);
    EXPECT_EQ(Upload(ticket, "77", FakeJpeg()).status, 404);
    EXPECT_EQ(Upload(ticket, bobAlbum, FakeJpeg()).status, 403);
    EXPECT_EQ(Upload(ticket, "x1", FakeJpeg()).status, 400);
    HttpResponse notPicture = Upload(ticket, album, "<html><script>alert(1)</script></html>");
    EXPECT_EQ(notPicture.status, 415);
    EXPECT_EQ(Json(notPicture)["msg"], "不支持的图片格式");
    EXPECT_EQ(Send("POST", "/api/upload?album_id=" + album, "", ticket).status, 400);

    HttpRequest chunked;
    chunked.method = "POST";
    chunked.target = "/api/upload?album_id=" + album;
    chunked.headers = {{"authorization", "Ticket " + ticket}, {"transfer-encoding", "chunked"}};
    EXPECT_EQ(service_->PlanBody(chunked).rejection.status, 411);

    std::vector<PhotoRecord> photos;
    ASSERT_EQ(service_->Data().albums.ListPhotos(std::stoll(album), photos), StoreResult::Ok);
    EXPECT_TRUE(photos.empty());
    EXPECT_TRUE(fs::is_empty(config_.dataDir + "/tmp"));
}

TEST_F(ApiTest, OversizedBodiesAreRefusedFromTheHeaderAlone) {
    std::string ticket = LoginTicket("alice", "alice-password");
    std::string album = CreateAlbum(ticket, "a");
    HttpRequest head;
    head.method = "POST";
    head.target = "/api/upload?album_id=" + album;
    head.headers = {{"authorization", "Ticket " + ticket},
                    {"content-length", std::to_string(64LL * 1024 * 1024 + 1)},
                    {"content-type", "application/json"}};
    BodyPlan upload = service_->PlanBody(head);
    ASSERT_EQ(upload.kind, BodyPlan::Kind::Reject);
    EXPECT_EQ(upload.rejection.status, 400);
    EXPECT_TRUE(upload.rejection.closeConnection);

    head.headers[1].second = std::to_string(64LL * 1024 * 1024);
    BodyPlan accepted = service_->PlanBody(head);
    ASSERT_EQ(accepted.kind, BodyPlan::Kind::ToFile);
    EXPECT_EQ(accepted.limit, 64u * 1024 * 1024);

    head.target = "/api/openapi/133";
    head.headers[1].second = "65537";
    BodyPlan small = service_->PlanBody(head);
    ASSERT_EQ(small.kind, BodyPlan::Kind::Reject);
    EXPECT_EQ(small.rejection.status, 413);
    head.headers[1].second = "65536";
    EXPECT_EQ(service_->PlanBody(head).kind, BodyPlan::Kind::InMemory);
}

TEST_F(ApiTest, UploadLimitsAnswer413And414) {
    std::string ticket = LoginTicket("alice", "alice-password");
    std::string album = CreateAlbum(ticket, "a");
    ASSERT_EQ(service_->Data().albums.SetUserLimits(1, 1000, 2), StoreResult::Ok);
    EXPECT_EQ(Upload(ticket, album, FakeJpeg(400)).status, 200);
    EXPECT_EQ(Upload(ticket, album, FakeJpeg(400)).status, 200);
    HttpResponse full = Upload(ticket, album, FakeJpeg(100));
    EXPECT_EQ(full.status, 414);
    EXPECT_EQ(Json(full)["msg"], "相册图片数量已达上限");

    std::string second = CreateAlbum(ticket, "b");
    HttpResponse noSpace = Upload(ticket, second, FakeJpeg(201));
    EXPECT_EQ(noSpace.status, 413);
    EXPECT_EQ(Json(noSpace)["msg"], "空间已满");
    EXPECT_EQ(Upload(ticket, second, FakeJpeg(200)).status, 200);

    // Back to the server-wide values, which the operator lowered.
    ASSERT_EQ(service_->Data().albums.SetUserLimits(1, kUseDefault, kUseDefault), StoreResult::Ok);
    ASSERT_EQ(service_->Data().albums.SetDefaultLimits(std::nullopt, 2), StoreResult::Ok);
    EXPECT_EQ(Upload(ticket, second, FakeJpeg(200)).status, 200);
    EXPECT_EQ(Upload(ticket, second, FakeJpeg(200)).status, 414);
}

TEST_F(ApiTest, FaultSwitchAnswersServerFaults) {
    std::string ticket = LoginTicket("alice", "alice-password");
    std::string album = CreateAlbum(ticket, "a");
    auto faults = FaultSwitch::Parse("upload=500,login=500,openapi=503");
    ASSERT_TRUE(faults);
    config_.faults = *faults;
    OpenService();
    EXPECT_EQ(Send("POST", "/api/login", LoginBody("alice", "alice-password").dump()).status, 500);
    EXPECT_EQ(Upload(ticket, album, FakeJpeg()).status, 500);
    EXPECT_EQ(Send("POST", "/api/openapi/101", "{}", ticket).status, 503);
    std::vector<PhotoRecord> photos;
    ASSERT_EQ(service_->Data().albums.ListPhotos(std::stoll(album), photos), StoreResult::Ok);
    EXPECT_TRUE(photos.empty());

    EXPECT_FALSE(FaultSwitch::Parse("upload"));
    EXPECT_FALSE(FaultSwitch::Parse("upload=200"));
    EXPECT_FALSE(FaultSwitch::Parse("everything=500"));
}

TEST_F(ApiTest, TargetsWithParentStepsAreRefused) {
    for (const char* target : {"/photos/../albumd.db", "/photos/1/%2e%2e/x", "/tavopix/..%2fx",
                               "/tavopix/packages/%2e%2e%2falbumd.db", "api/login", "/a%00b"}) {
        EXPECT_EQ(Send("GET", target).status, 400) << target;
    }
    EXPECT_EQ(Send("GET", "/tavopix/packages/.hidden").status, 404);
    EXPECT_EQ(Send("GET", "/photos/1/1/albumd.db").status, 404);
}

TEST_F(ApiTest, UpdateFilesAreServedAsPublished) {
    EXPECT_EQ(Send("GET", "/tavopix/update.dat").status, 404);
    std::string package = dir_.Path() + "tavopix-0.1.2.0.tar.gz";
    std::ofstream(package, std::ios::binary) << "package bytes";
    std::string error;
    ASSERT_TRUE(
        service_->Data().updates.Publish("0.1.2.0", package, "http://127.0.0.1:8080/", error))
        << error;
    HttpResponse version = Send("GET", "/tavopix/update.dat");
    ASSERT_EQ(version.status, 200);
    std::string expected = "\xFF\xFE";
    for (char c :
         std::string("version 0.1.2.0 "
                     "http://127.0.0.1:8080/tavopix/packages/tavopix-0.1.2.0.tar.gz\r\n")) {
        expected += c;
        expected += '\0';
    }
    EXPECT_EQ(ReadAll(version.filePath), expected);
    HttpResponse served = Send("GET", "/tavopix/packages/tavopix-0.1.2.0.tar.gz");
    ASSERT_EQ(served.status, 200);
    // Served signed: the bytes as given, then the signature and its 16-byte mark.
    const std::string servedBytes = ReadAll(served.filePath);
    EXPECT_EQ(servedBytes.substr(0, 13), "package bytes");
    EXPECT_EQ(servedBytes.size(), 13u + 64u + 16u);
    EXPECT_TRUE(servedBytes.ends_with("tavopix-signed-1"));
    EXPECT_EQ(Send("GET", "/tavopix/packages/other.tar.gz").status, 404);

    EXPECT_FALSE(service_->Data().updates.Publish("0.1.x", package, "http://h", error));
    EXPECT_FALSE(service_->Data().updates.Publish("0.2", package, "ftp://h", error));
    EXPECT_FALSE(service_->Data().updates.Publish("0.2", package, "http://h/\"x", error));
}

TEST_F(ApiTest, ReopeningRemovesLeftoversOfAnInterruptedRun) {
    std::string ticket = LoginTicket("alice", "alice-password");
    std::string album = CreateAlbum(ticket, "a");
    ASSERT_EQ(Upload(ticket, album, FakeJpeg()).status, 200);
    std::string folder = config_.dataDir + "/photos/1/" + album + "/";
    std::string orphan = folder + "00112233445566778899aabbccddeeff.jpg";
    std::ofstream(orphan) << "moved but never committed";
    std::string partial = config_.dataDir + "/tmp/upload-abc.part";
    std::ofstream(partial) << "half";

    OpenService();
    EXPECT_FALSE(fs::exists(orphan));
    EXPECT_FALSE(fs::exists(partial));
    std::vector<PhotoRecord> photos;
    ASSERT_EQ(service_->Data().albums.ListPhotos(std::stoll(album), photos), StoreResult::Ok);
    ASSERT_EQ(photos.size(), 1u);
    EXPECT_TRUE(fs::exists(service_->Data().files.FullPath(photos[0].file)));
}

}  // namespace
}  // namespace albumd::test
