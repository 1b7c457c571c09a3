// A Service on a fresh data folder, driven without sockets: requests are built as records and
// answered by Service::Handle, with a clock the test moves by hand.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "Service.h"

namespace albumd::test {

// A unique empty folder under the system's temporary folder, removed with the object.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    [[nodiscard]] const std::string& Path() const { return path_; }  // ends with '/'

private:
    std::string path_;
};

// The smallest byte string that passes for a JPEG, padded to `size` bytes.
std::string FakeJpeg(std::size_t size = 256);

class ServiceFixture : public ::testing::Test {
protected:
    void SetUp() override;

    // (Re)opens the service on the fixture's folder with `config_` as it stands.
    void OpenService();

    // A request as it reaches the service from `address`: host and content length set.
    static HttpRequest NewRequest(const std::string& method, const std::string& target,
                                  const std::string& body = "",
                                  const std::string& address = "10.0.0.1");
    // The service's answer, its body plan first as the server makes it.
    HttpResponse Answer(HttpRequest& request);

    HttpResponse Send(const std::string& method, const std::string& target,
                      const std::string& body = "", const std::string& ticket = "",
                      const std::string& address = "10.0.0.1");
    HttpResponse Upload(const std::string& ticket, const std::string& albumId,
                        const std::string& picture, const std::string& name = "pic.jpg");

    void AddUser(const std::string& name, const std::string& password);
    // Logs in and returns the ticket; fails the test on any other outcome.
    std::string LoginTicket(const std::string& name, const std::string& password);
    std::string CreateAlbum(const std::string& ticket, const std::string& name, int privacy = 1);

    static nlohmann::json Json(const HttpResponse& response);

    TempDir dir_;
    std::int64_t now_ = 1'800'000'000;
    ServiceConfig config_;
    std::unique_ptr<Service> service_;
};

}  // namespace albumd::test
