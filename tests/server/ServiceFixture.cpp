#include "ServiceFixture.h"

#include <cstdlib>

namespace albumd::test {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "albumd-test-XXXXXX").string();
    char* made = mkdtemp(pattern.data());
    EXPECT_NE(made, nullptr);
    path_ = pattern + "/";
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string FakeJpeg(std::size_t size) {
    std::string bytes = "\xFF\xD8\xFF\xE0";
    bytes.resize(std::max<std::size_t>(size, bytes.size()), 'j');
    return bytes;
}

void ServiceFixture::SetUp() {
    config_.dataDir = dir_.Path() + "data";
    config_.hashCost = HashCost::Minimal;
    config_.clock = [this] { return now_; };
    config_.guard.publicAddresses = {*PublicAddress::Parse("http://albums.test:8080")};
    OpenService();
}

void ServiceFixture::OpenService() {
    service_.reset();
    std::string error;
    service_ = Service::Open(config_, error);
    ASSERT_NE(service_, nullptr) << error;
}

HttpRequest ServiceFixture::NewRequest(const std::string& method, const std::string& target,
                                       const std::string& body, const std::string& address) {
    HttpRequest request;
    request.method = method;
    request.target = target;
    request.body = body;
    request.peerAddress = address;
    request.headers.emplace_back("host", "albums.test:8080");
    request.headers.emplace_back("content-length", std::to_string(body.size()));
    return request;
}

HttpResponse ServiceFixture::Answer(HttpRequest& request) {
    BodyPlan plan = service_->PlanBody(request);
    if (plan.kind == BodyPlan::Kind::Reject)
        return plan.rejection;
    return service_->Handle(request);
}

HttpResponse ServiceFixture::Send(const std::string& method, const std::string& target,
                                  const std::string& body, const std::string& ticket,
                                  const std::string& address) {
    HttpRequest request = NewRequest(method, target, body, address);
    if (!body.empty() && target.rfind("/api/", 0) == 0 && target.rfind("/api/upload", 0) != 0)
        request.headers.emplace_back("content-type", "application/json");
    if (!ticket.empty())
        request.headers.emplace_back("authorization", "Ticket " + ticket);
    return Answer(request);
}

HttpResponse ServiceFixture::Upload(const std::string& ticket, const std::string& albumId,
                                    const std::string& picture, const std::string& name) {
    return Send("POST", "/api/upload?album_id=" + albumId + "&name=" + PercentEncode(name), picture,
                ticket);
}

void ServiceFixture::AddUser(const std::string& name, const std::string& password) {
    ASSERT_EQ(service_->Data().accounts.CreateUser(name, password, now_), StoreResult::Ok);
}

std::string ServiceFixture::LoginTicket(const std::string& name, const std::string& password) {
    nlohmann::json body = {{"username", name},
                           {"password", password},
                           {"appid", "2"},
                           {"machine_key", "testhosttesthost"}};
    HttpResponse reply = Send("POST", "/api/login", body.dump());
    EXPECT_EQ(reply.status, 200) << reply.body;
    return Json(reply).value("ticket", "");
}

std::string ServiceFixture::CreateAlbum(const std::string& ticket, const std::string& name,
                                        int privacy) {
    nlohmann::json body = {{"album_name", name},
                           {"album_desc", ""},
                           {"privacy_lev", std::to_string(privacy)},
                           {"album_pwd_prompt", "q"},
                           {"album_pwd", "a"}};
    HttpResponse reply = Send("POST", "/api/openapi/104", body.dump(), ticket);
    EXPECT_EQ(reply.status, 200) << reply.body;
    return Json(reply).value("album_id", "");
}

nlohmann::json ServiceFixture::Json(const HttpResponse& response) {
    return nlohmann::json::parse(response.body, nullptr, false);
}

}  // namespace albumd::test
