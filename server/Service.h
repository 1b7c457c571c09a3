// albumd's request handling: the client's API (logins, OpenApi 101/104/133, uploads), the update
// files, the stored pictures and, through WebPages, the pages for a browser. Handling is a
// function of the request record and the data folder, so every route is testable without a
// socket. An upload is handled in two steps: PlanBody looks at the header alone and either
// refuses it (before the body is sent) or names the temporary file the body is streamed into;
// Handle then stores it.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "Authenticator.h"
#include "DataStore.h"
#include "HttpMessage.h"
#include "RequestGuard.h"

namespace albumd {

class ResumableUploads;
struct ResumableUpload;
class WebPages;

// Test-only answers: a kind of request ("login", "ticket-login", "logout", "openapi", "upload",
// "download") mapped to the status it answers at once.
class FaultSwitch {
public:
    // Parses "upload=500,login=500"; nullopt for an unknown kind or a status outside 400–599.
    [[nodiscard]] static std::optional<FaultSwitch> Parse(std::string_view text);
    [[nodiscard]] std::optional<int> StatusFor(const std::string& kind) const;
    [[nodiscard]] bool Empty() const { return statusByKind_.empty(); }

private:
    std::map<std::string, int> statusByKind_;
};

struct ServiceConfig {
    std::string dataDir;
    std::int64_t ticketLifetimeSeconds = 30LL * 24 * 3600;
    LoginRules loginRules;
    HashCost hashCost = HashCost::Interactive;
    FaultSwitch faults;
    GuardRules guard;  // the names albumd answers to, and whether it is behind a proxy
    std::size_t jsonBodyLimit = 64 * 1024;
    std::int64_t uploadBodyLimit = 64LL * 1024 * 1024;
    // Unix seconds; the system clock when empty. Tests move time forward through it.
    std::function<std::int64_t()> clock;
};

struct BodyPlan {
    enum class Kind { InMemory, ToFile, Reject };
    Kind kind = Kind::InMemory;
    std::size_t limit = 0;   // the most body bytes to accept
    std::string filePath;    // ToFile: where to stream the body
    HttpResponse rejection;  // Reject: the reply, sent without reading the body
    // ToFile: append to the existing file, and keep what arrived when the body breaks off.
    bool append = false;
    // Kept by the server until the request has been answered or has broken off.
    std::shared_ptr<void> hold;
};

class Service {
public:
    // Opens the data folder, empties its temporary folder and removes picture files that no
    // album lists (both left by an interrupted run). nullptr with `error` set on failure.
    [[nodiscard]] static std::unique_ptr<Service> Open(ServiceConfig config, std::string& error);
    ~Service();

    // The address the server listens on ("127.0.0.1:8080"): used in the addresses albumd hands
    // out when a request carries no usable Host header.
    void SetListenAddress(std::string hostPort) { listenAddress_ = std::move(hostPort); }

    [[nodiscard]] BodyPlan PlanBody(const HttpRequest& head);
    // Answers a complete request. A body streamed to `request.bodyFile` is consumed (moved into
    // place or removed).
    [[nodiscard]] HttpResponse Handle(HttpRequest& request);

    [[nodiscard]] DataStore& Data() { return *data_; }
    [[nodiscard]] std::int64_t Now() const;

private:
    Service(ServiceConfig config, std::unique_ptr<DataStore> data);

    [[nodiscard]] HttpResponse HandleApi(HttpRequest& request, const ParsedTarget& target);
    [[nodiscard]] HttpResponse Login(const HttpRequest& request);
    [[nodiscard]] HttpResponse TicketLogin(const HttpRequest& request);
    [[nodiscard]] HttpResponse Logout(const HttpRequest& request);
    [[nodiscard]] HttpResponse CurrentUser(const HttpRequest& request);
    [[nodiscard]] HttpResponse OpenApi(const HttpRequest& request, const std::string& code);
    [[nodiscard]] HttpResponse ListAlbums(const UserRecord& user, const nlohmann::json& body);
    [[nodiscard]] HttpResponse CreateAlbum(const UserRecord& user, const nlohmann::json& body);
    [[nodiscard]] HttpResponse AddFeedback(const HttpRequest& request, const UserRecord& user,
                                           const nlohmann::json& body);
    [[nodiscard]] HttpResponse Upload(HttpRequest& request, const ParsedTarget& target);
    [[nodiscard]] HttpResponse Resumable(HttpRequest& request, const ParsedTarget& target);
    // What an upload says of its picture's content: its hash (may be empty) and whether a
    // second copy of a picture the album holds is wanted.
    struct PictureContent {
        std::string hash;
        bool allowDuplicate = false;
    };
    // Stores the picture in `file` (consumed) into the album and gives the upload's reply; a
    // picture the album holds already is named instead, unless a second copy is asked for.
    [[nodiscard]] HttpResponse StorePicture(const HttpRequest& request, std::int64_t userId,
                                            std::int64_t albumId, std::string title,
                                            const PictureContent& content, std::string& file);
    // The reply naming a picture the album holds already, when the upload carries the hash of
    // one and does not ask for a second copy.
    [[nodiscard]] std::optional<HttpResponse> ExistingPicture(const HttpRequest& request,
                                                              std::int64_t albumId,
                                                              const std::string& contentHash,
                                                              bool allowDuplicate);
    // Which of a list of content hashes the album holds (OpenApi 141).
    [[nodiscard]] HttpResponse AlbumContent(const HttpRequest& request, const UserRecord& user,
                                            const nlohmann::json& body);
    // The address a reply gives for a stored picture ("file_url").
    [[nodiscard]] std::string PhotoAddress(const HttpRequest& request,
                                           const PhotoRecord& photo) const;
    enum class PhotoKind { New, Existing };
    [[nodiscard]] HttpResponse PhotoReply(const HttpRequest& request, const PhotoRecord& photo,
                                          const std::string& message, PhotoKind kind);
    [[nodiscard]] HttpResponse Download(const ParsedTarget& target);

    // The ticket's user for the request's "Authorization: Ticket …" header; Ok, NotFound or
    // Fault.
    [[nodiscard]] StoreResult Authorise(const HttpRequest& request, UserRecord& user);
    [[nodiscard]] std::optional<HttpResponse> UploadPrecheck(const HttpRequest& request,
                                                             const ParsedTarget& target,
                                                             UserRecord& user,
                                                             std::int64_t& albumId);
    [[nodiscard]] std::string BaseAddress(const HttpRequest& request) const;

    ServiceConfig config_;
    std::unique_ptr<DataStore> data_;
    Authenticator authenticator_;
    std::unique_ptr<WebPages> pages_;
    std::unique_ptr<ResumableUploads> resumable_;
    std::mutex storing_;  // a picture's content looked up and stored as one step
    std::string listenAddress_ = "127.0.0.1";
};

// A JSON reply {"msg": text}.
[[nodiscard]] HttpResponse MessageResponse(int status, const std::string& text);

}  // namespace albumd
