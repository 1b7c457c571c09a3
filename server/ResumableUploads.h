// Resumable uploads over the tus 1.0 protocol (core, creation, termination and expiration), so
// a picture cut off by a dropped connection or a restart of albumd is continued from the bytes
// albumd already holds, and any tus client can upload. Routes, relative to the base address:
//
//   OPTIONS /api/tus            what the server supports (no ticket needed)
//   POST    /api/tus            creation: Upload-Length, Upload-Metadata (album_id, name or
//                               filename, content_hash, allow_duplicate); 201 with Location
//   HEAD    /api/tus/<id>       Upload-Offset and Upload-Length
//   PATCH   /api/tus/<id>       appends the body at Upload-Offset
//   DELETE  /api/tus/<id>       termination
//   GET     /api/tus/<id>       once complete: the same reply a one-request upload gets
//
// Each upload is a row in the database and a file under "resumable/<id>" that the body of each
// PATCH is appended to as it arrives, so bytes received before a connection dropped are kept;
// the offset is the file's length. One PATCH at a time per upload: the body plan holds a lock
// for the upload until the request ends, and another PATCH meanwhile gets 423. When the last
// byte arrives the picture is stored into its album like any upload. Uploads live a day after
// their last PATCH and are then swept, finished or not.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>

#include "Accounts.h"
#include "Database.h"
#include "HttpMessage.h"

namespace albumd {

struct BodyPlan;

// One upload as stored.
struct ResumableUpload {
    std::string id;
    std::int64_t userId = 0;
    std::int64_t albumId = 0;
    std::int64_t length = 0;
    std::string title;
    std::string contentHash;  // empty when the client sent none
    bool allowDuplicate = false;
    std::int64_t expires = 0;
    int resultStatus = 0;  // 0 until the picture was stored or refused
    std::string resultBody;
};

class ResumableUploads {
public:
    static constexpr std::int64_t kLifetimeSeconds = 24 * 3600;

    // What the service decides: whether a new upload may begin (nullopt, with `upload` filled
    // from the request), else the reply that ends it (a refusal, or the picture the album holds
    // already); and storing a complete upload's file, giving the reply of a one-request upload.
    struct Policy {
        std::function<std::optional<HttpResponse>(const HttpRequest&, const UserRecord&,
                                                  const std::map<std::string, std::string>&,
                                                  ResumableUpload&)>
            admit;
        std::function<HttpResponse(const HttpRequest&, const ResumableUpload&, std::string& file)>
            store;
    };

    ResumableUploads(Database& db, std::string dataDir, std::int64_t maxSize, Policy policy);

    // Creates "resumable/"; false with `error` set when it cannot.
    [[nodiscard]] bool Prepare(std::string& error);
    // Removes uploads past their time and files that no upload names.
    void Sweep(std::int64_t now);

    [[nodiscard]] static bool IsRoute(const ParsedTarget& target);
    // The body plan of a PATCH (other methods have none worth streaming).
    [[nodiscard]] BodyPlan PlanPatch(const HttpRequest& head, const ParsedTarget& target,
                                     const UserRecord& user, std::int64_t now);
    [[nodiscard]] HttpResponse Handle(HttpRequest& request, const ParsedTarget& target,
                                      const UserRecord& user, const std::string& baseAddress,
                                      std::int64_t now);

private:
    [[nodiscard]] HttpResponse Create(const HttpRequest& request, const UserRecord& user,
                                      const std::string& baseAddress, std::int64_t now);
    [[nodiscard]] HttpResponse Patch(HttpRequest& request, ResumableUpload& upload,
                                     std::int64_t now);
    // Why a PATCH of `upload` may not go ahead now; nullopt when it may.
    [[nodiscard]] std::optional<HttpResponse> PatchRefusal(const HttpRequest& request,
                                                           const ResumableUpload& upload) const;
    [[nodiscard]] StoreResult Find(const std::string& id, std::int64_t userId, std::int64_t now,
                                   ResumableUpload& upload);
    void Remove(const std::string& id);
    [[nodiscard]] std::string FilePath(const std::string& id) const;
    [[nodiscard]] std::int64_t Offset(const ResumableUpload& upload) const;

    Database& db_;
    std::string folder_;  // ends with '/'
    std::int64_t maxSize_;
    Policy policy_;
    std::mutex filesMutex_;  // a sweep against the file and row of a new upload
    std::mutex patchingMutex_;
    std::set<std::string> patching_;  // uploads whose PATCH body is being received
};

// The tus headers of every reply but OPTIONS.
void AddTusHeaders(HttpResponse& response);

}  // namespace albumd
