// Resumable uploads over tus 1.0 and the content-hash index, driven without sockets: pieces,
// offsets, the picture stored when the last byte is in, a picture the album holds already,
// termination and expiry.
#include <sodium.h>

#include <filesystem>
#include <thread>

#include "ServiceFixture.h"

namespace albumd::test {
namespace {

constexpr const char* kHash = "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";

std::string Base64(const std::string& text) {
    std::string encoded(sodium_base64_encoded_len(text.size(), sodium_base64_VARIANT_ORIGINAL), 0);
    sodium_bin2base64(encoded.data(), encoded.size(),
                      reinterpret_cast<const unsigned char*>(text.data()), text.size(),
                      sodium_base64_VARIANT_ORIGINAL);
    encoded.pop_back();
    return encoded;
}

std::string HeaderOf(const HttpResponse& response, const std::string& name) {
    for (const auto& [key, value] : response.headers) {
        if (key == name)
            return value;
    }
    return {};
}

class ResumableUploadTest : public ServiceFixture {
protected:
    void SetUp() override {
        ServiceFixture::SetUp();
        AddUser("alice", "secret-pw");
        ticket_ = LoginTicket("alice", "secret-pw");
        album_ = CreateAlbum(ticket_, "trip");
    }

    HttpResponse Tus(const std::string& method, const std::string& target,
                     std::vector<std::pair<std::string, std::string>> headers,
                     const std::string& body = "") {
        HttpRequest request = NewRequest(method, target, body);
        request.headers.emplace_back("tus-resumable", "1.0.0");
        request.headers.emplace_back("authorization", "Ticket " + ticket_);
        for (auto& header : headers)
            request.headers.push_back(std::move(header));
        return Answer(request);
    }

    // A new upload of `length` bytes; its path, or empty.
    std::string Create(std::size_t length, const std::string& hash = kHash) {
        const HttpResponse created =
            Tus("POST", "/api/tus",
                {{"upload-length", std::to_string(length)},
                 {"upload-metadata", "album_id " + Base64(album_) + ",filename " +
                                         Base64("big.jpg") + ",content_hash " + Base64(hash)}});
        EXPECT_EQ(created.status, 201) << created.body;
        const std::string location = HeaderOf(created, "Location");
        const std::string prefix = "http://albums.test:8080";
        return location.rfind(prefix, 0) == 0 ? location.substr(prefix.size()) : location;
    }

    HttpResponse Patch(const std::string& path, std::size_t offset, const std::string& piece) {
        return Tus("PATCH", path,
                   {{"upload-offset", std::to_string(offset)},
                    {"content-type", "application/offset+octet-stream"}},
                   piece);
    }

    std::string ticket_;
    std::string album_;
};

TEST_F(ResumableUploadTest, PiecesGoOnFromTheOffsetAndTheLastOneStoresThePicture) {
    const HttpResponse options = Send("OPTIONS", "/api/tus");
    EXPECT_EQ(options.status, 204);
    EXPECT_EQ(HeaderOf(options, "Tus-Version"), "1.0.0");
    EXPECT_EQ(HeaderOf(options, "Tus-Extension"), "creation,termination,expiration");

    const std::string picture = FakeJpeg(100000);
    const std::string path = Create(picture.size());
    ASSERT_EQ(path.rfind("/api/tus/", 0), 0u) << path;

    EXPECT_EQ(HeaderOf(Patch(path, 0, picture.substr(0, 40000)), "Upload-Offset"), "40000");
    EXPECT_EQ(Patch(path, 0, picture.substr(0, 40000)).status, 409);  // albumd holds more
    const HttpResponse head = Tus("HEAD", path, {});
    EXPECT_EQ(HeaderOf(head, "Upload-Offset"), "40000");
    EXPECT_EQ(HeaderOf(head, "Upload-Length"), "100000");
    EXPECT_EQ(Tus("GET", path, {}).status, 409);  // not complete yet

    const HttpResponse last = Patch(path, 40000, picture.substr(40000));
    EXPECT_EQ(last.status, 204) << last.body;
    EXPECT_EQ(HeaderOf(last, "Upload-Offset"), "100000");
    const HttpResponse result = Tus("GET", path, {});
    EXPECT_EQ(result.status, 200);
    EXPECT_EQ(Json(result)["msg"], "上传成功");
    EXPECT_FALSE(Json(result).contains("duplicate"));

    // The same content again is the picture that is there: nothing is sent or stored.
    const HttpResponse again =
        Tus("POST", "/api/tus",
            {{"upload-length", std::to_string(picture.size())},
             {"upload-metadata", "album_id " + Base64(album_) + ",content_hash " + Base64(kHash)}});
    EXPECT_EQ(again.status, 200);
    EXPECT_EQ(Json(again)["duplicate"], true);
    EXPECT_EQ(Json(again)["file_url"], Json(result)["file_url"]);
    const HttpResponse listed = Send("POST", "/api/openapi/101", "{}", ticket_);
    EXPECT_EQ(Json(listed)["albums"][0]["photo_count"], 1);
    const HttpResponse present = Send("POST", "/api/openapi/141",
                                      "{\"album_id\":\"" + album_ + "\",\"hashes\":[\"" + kHash +
                                          "\",\"" + std::string(64, 'a') + "\"]}",
                                      ticket_);
    ASSERT_EQ(present.status, 200) << present.body;
    ASSERT_EQ(Json(present)["present"].size(), 1u);
    EXPECT_EQ(Json(present)["present"][0]["content_hash"], kHash);
}

TEST_F(ResumableUploadTest, TheSamePictureEndingTwiceAtOnceIsStoredOnce) {
    // Both uploads were admitted before either was stored (a transfer the client gave up but
    // albumd took in whole, and the same picture sent again), and their last pieces arrive
    // together.
    constexpr int kRounds = 20;
    for (int round = 0; round < kRounds; ++round) {
        const std::string picture = FakeJpeg(20000 + round);
        const std::string hash = std::string(62, 'b') + std::to_string(10 + round);
        const std::string first = Create(picture.size(), hash);
        const std::string second = Create(picture.size(), hash);
        std::thread other([&] { (void)Patch(second, 0, picture); });
        (void)Patch(first, 0, picture);
        other.join();
    }
    const HttpResponse listed = Send("POST", "/api/openapi/101", "{}", ticket_);
    EXPECT_EQ(Json(listed)["albums"][0]["photo_count"], kRounds);
}

TEST_F(ResumableUploadTest, RefusalsSpeakTheProtocol) {
    const std::string path = Create(1000);
    EXPECT_EQ(Tus("PATCH", path, {{"upload-offset", "0"}}, "x").status, 415);
    EXPECT_EQ(Patch(path, 0, std::string(1001, 'j')).status, 400);  // beyond Upload-Length
    {
        // A piece still arriving holds the upload: another one meanwhile waits its turn.
        HttpRequest first;
        first.method = "PATCH";
        first.target = path;
        first.headers = {{"host", "albums.test:8080"},
                         {"tus-resumable", "1.0.0"},
                         {"authorization", "Ticket " + ticket_},
                         {"content-length", "10"},
                         {"upload-offset", "0"},
                         {"content-type", "application/offset+octet-stream"}};
        const BodyPlan receiving = service_->PlanBody(first);
        ASSERT_EQ(receiving.kind, BodyPlan::Kind::ToFile);
        EXPECT_TRUE(receiving.append);
        EXPECT_EQ(Patch(path, 0, FakeJpeg(10)).status, 423);
    }
    EXPECT_EQ(Patch(path, 0, FakeJpeg(10)).status, 204);
    const HttpResponse noVersion = Send("HEAD", path, "", ticket_);
    EXPECT_EQ(noVersion.status, 412);
    EXPECT_EQ(HeaderOf(noVersion, "Tus-Version"), "1.0.0");
    EXPECT_EQ(Tus("POST", "/api/tus", {{"upload-length", "67108865"}}).status, 413);
    // Another user's upload does not exist for this one.
    AddUser("bob", "secret-pw");
    const std::string alice = ticket_;
    ticket_ = LoginTicket("bob", "secret-pw");
    EXPECT_EQ(Tus("HEAD", path, {}).status, 404);
    ticket_ = alice;
    // Termination.
    EXPECT_EQ(Tus("DELETE", path, {}).status, 204);
    EXPECT_EQ(Tus("HEAD", path, {}).status, 404);
}

TEST_F(ResumableUploadTest, AnUnfinishedUploadExpiresADayAfterItsLastPiece) {
    const std::string path = Create(1000);
    now_ += 20 * 3600;
    EXPECT_EQ(Patch(path, 0, FakeJpeg(500)).status, 204);
    now_ += 20 * 3600;  // a day after creation, but not after the last piece
    EXPECT_EQ(HeaderOf(Tus("HEAD", path, {}), "Upload-Offset"), "500");
    now_ += 5 * 3600;
    EXPECT_EQ(Tus("HEAD", path, {}).status, 404);
    // Its data goes with the next sweep.
    (void)Create(10);
    const auto folder = std::filesystem::path(config_.dataDir) / "resumable";
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder),
                            std::filesystem::directory_iterator()),
              1);
}

}  // namespace
}  // namespace albumd::test
