#include "ResumableUploads.h"

#include <sodium.h>

#include <ctime>
#include <filesystem>
#include <fstream>

#include "Secrets.h"
#include "Service.h"
#include "TextChecks.h"

namespace albumd {

namespace fs = std::filesystem;

namespace {

constexpr const char* kTusVersion = "1.0.0";
constexpr const char* kPatchType = "application/offset+octet-stream";

std::string HttpDate(std::int64_t seconds) {
    const std::time_t time = static_cast<std::time_t>(seconds);
    std::tm parts{};
    gmtime_r(&time, &parts);
    char text[64];
    std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &parts);
    return text;
}

// "key base64,key2 base64,flag": keys with their decoded values (empty for a bare key);
// nullopt when a value is no base64 or a key repeats.
std::optional<std::map<std::string, std::string>> ParseMetadata(std::string_view text) {
    std::map<std::string, std::string> pairs;
    while (!text.empty()) {
        const std::size_t comma = text.find(',');
        std::string_view item = text.substr(0, comma);
        text = comma == std::string_view::npos ? std::string_view{} : text.substr(comma + 1);
        while (!item.empty() && item.front() == ' ')
            item.remove_prefix(1);
        while (!item.empty() && item.back() == ' ')
            item.remove_suffix(1);
        if (item.empty())
            continue;
        const std::size_t space = item.find(' ');
        const std::string key(item.substr(0, space));
        std::string value;
        if (space != std::string_view::npos) {
            const std::string_view encoded = item.substr(space + 1);
            value.resize(encoded.size());
            std::size_t length = 0;
            if (sodium_base642bin(reinterpret_cast<unsigned char*>(value.data()), value.size(),
                                  encoded.data(), encoded.size(), nullptr, &length, nullptr,
                                  sodium_base64_VARIANT_ORIGINAL) != 0) {
                return std::nullopt;
            }
            value.resize(length);
        }
        if (!pairs.emplace(key, std::move(value)).second)
            return std::nullopt;
    }
    return pairs;
}

HttpResponse Empty(int status) {
    HttpResponse response;
    response.status = status;
    return response;
}

HttpResponse TusMessage(int status, const std::string& text) {
    HttpResponse response = MessageResponse(status, text);
    AddTusHeaders(response);
    return response;
}

// Releases an upload's PATCH lock when the request that took it ends.
class PatchLock {
public:
    PatchLock(std::mutex& mutex, std::set<std::string>& held, std::string id)
        : mutex_(mutex), held_(held), id_(std::move(id)) {}
    PatchLock(const PatchLock&) = delete;
    PatchLock& operator=(const PatchLock&) = delete;
    ~PatchLock() {
        std::lock_guard lock(mutex_);
        held_.erase(id_);
    }

private:
    std::mutex& mutex_;
    std::set<std::string>& held_;
    std::string id_;
};

}  // namespace

void AddTusHeaders(HttpResponse& response) {
    response.headers.emplace_back("Tus-Resumable", kTusVersion);
}

ResumableUploads::ResumableUploads(Database& db, std::string dataDir, std::int64_t maxSize,
                                   Policy policy)
    : db_(db), folder_(dataDir + "resumable/"), maxSize_(maxSize), policy_(std::move(policy)) {}

bool ResumableUploads::Prepare(std::string& error) {
    std::error_code ec;
    fs::create_directories(folder_, ec);
    if (ec)
        error = "cannot create " + folder_ + ": " + ec.message();
    return !ec;
}

void ResumableUploads::Sweep(std::int64_t now) {
    const std::lock_guard files(filesMutex_);
    std::set<std::string> live;
    {
        auto lock = db_.Lock();
        Statement expired(db_, "DELETE FROM resumable_uploads WHERE expires < ?1");
        expired.Bind(1, now);
        (void)expired.Run();
        Statement ids(db_, "SELECT id FROM resumable_uploads");
        if (!ids.ForEachRow([&] { live.insert(ids.Text(0)); }))
            return;  // a file of a live upload must not go on a failed read
    }
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder_, ec)) {
        if (!live.count(entry.path().filename().string()))
            fs::remove(entry.path(), ec);
    }
}

bool ResumableUploads::IsRoute(const ParsedTarget& target) {
    return (target.segments.size() == 2 || target.segments.size() == 3) &&
           target.segments[0] == "api" && target.segments[1] == "tus";
}

std::string ResumableUploads::FilePath(const std::string& id) const {
    return folder_ + id;
}

std::int64_t ResumableUploads::Offset(const ResumableUpload& upload) const {
    if (upload.resultStatus != 0)
        return upload.length;
    std::error_code ec;
    const auto size = fs::file_size(FilePath(upload.id), ec);
    return ec ? 0 : static_cast<std::int64_t>(size);
}

StoreResult ResumableUploads::Find(const std::string& id, std::int64_t userId, std::int64_t now,
                                   ResumableUpload& upload) {
    if (!IsHexToken(id))
        return StoreResult::NotFound;
    auto lock = db_.Lock();
    Statement select(db_,
                     "SELECT id, user_id, album_id, length, title, content_hash, allow_duplicate, "
                     "expires, COALESCE(result_status, 0), COALESCE(result_body, '') "
                     "FROM resumable_uploads WHERE id = ?1 AND user_id = ?2 AND expires >= ?3");
    select.Bind(1, id).Bind(2, userId).Bind(3, now);
    return select.FindOne([&] {
        upload.id = select.Text(0);
        upload.userId = select.Int(1);
        upload.albumId = select.Int(2);
        upload.length = select.Int(3);
        upload.title = select.Text(4);
        upload.contentHash = select.Text(5);
        upload.allowDuplicate = select.Int(6) != 0;
        upload.expires = select.Int(7);
        upload.resultStatus = static_cast<int>(select.Int(8));
        upload.resultBody = select.Text(9);
    });
}

void ResumableUploads::Remove(const std::string& id) {
    {
        auto lock = db_.Lock();
        Statement remove(db_, "DELETE FROM resumable_uploads WHERE id = ?1");
        remove.Bind(1, id);
        (void)remove.Run();
    }
    std::error_code ec;
    fs::remove(FilePath(id), ec);
}

std::optional<HttpResponse> ResumableUploads::PatchRefusal(const HttpRequest& request,
                                                           const ResumableUpload& upload) const {
    if (request.Header("content-type") != kPatchType)
        return TusMessage(415, "Content-Type 应为 application/offset+octet-stream");
    const auto offset = ParseDecimal(request.Header("upload-offset"));
    if (!offset)
        return TusMessage(400, "缺少Upload-Offset");
    if (*offset != Offset(upload) || upload.resultStatus != 0)
        return TusMessage(409, "Upload-Offset与已收到的数据不符");
    const auto length = ParseContentLength(request.Header("content-length"));
    if (!length || !request.Header("transfer-encoding").empty())
        return TusMessage(400, "缺少Content-Length");
    if (static_cast<std::int64_t>(std::min<std::uint64_t>(*length, maxSize_ + 1)) >
        upload.length - *offset) {
        return TusMessage(400, "数据超出Upload-Length");
    }
    return std::nullopt;
}

BodyPlan ResumableUploads::PlanPatch(const HttpRequest& head, const ParsedTarget& target,
                                     const UserRecord& user, std::int64_t now) {
    BodyPlan plan;
    plan.kind = BodyPlan::Kind::Reject;
    ResumableUpload upload;
    std::optional<HttpResponse> refusal;
    if (head.Header("tus-resumable") != kTusVersion) {
        refusal = TusMessage(412, "不支持的tus版本");
        refusal->headers.emplace_back("Tus-Version", kTusVersion);
    } else if (target.segments.size() != 3) {
        refusal = TusMessage(405, "Method Not Allowed");
    } else {
        switch (Find(target.segments[2], user.id, now, upload)) {
            case StoreResult::Ok:
                refusal = PatchRefusal(head, upload);
                break;
            case StoreResult::NotFound:
                refusal = TusMessage(404, "上传不存在或已过期");
                break;
            default:
                refusal = TusMessage(500, "服务器内部错误");
                break;
        }
    }
    if (!refusal) {
        std::lock_guard lock(patchingMutex_);
        if (!patching_.insert(upload.id).second)
            refusal = TusMessage(423, "该上传正在接收数据");
    }
    if (refusal) {
        plan.rejection = std::move(*refusal);
        plan.rejection.closeConnection = true;
        return plan;
    }
    plan.kind = BodyPlan::Kind::ToFile;
    plan.limit = static_cast<std::size_t>(*ParseContentLength(head.Header("content-length")));
    plan.filePath = FilePath(upload.id);
    plan.append = true;
    plan.hold = std::make_shared<PatchLock>(patchingMutex_, patching_, upload.id);
    return plan;
}

HttpResponse ResumableUploads::Handle(HttpRequest& request, const ParsedTarget& target,
                                      const UserRecord& user, const std::string& baseAddress,
                                      std::int64_t now) {
    if (request.method != "GET" && request.Header("tus-resumable") != kTusVersion) {
        HttpResponse refusal = TusMessage(412, "不支持的tus版本");
        refusal.headers.emplace_back("Tus-Version", kTusVersion);
        return refusal;
    }
    if (target.segments.size() == 2) {
        return request.method == "POST" ? Create(request, user, baseAddress, now)
                                        : TusMessage(405, "Method Not Allowed");
    }
    ResumableUpload upload;
    switch (Find(target.segments[2], user.id, now, upload)) {
        case StoreResult::Ok:
            break;
        case StoreResult::NotFound:
            return TusMessage(404, "上传不存在或已过期");
        default:
            return TusMessage(500, "服务器内部错误");
    }
    if (request.method == "HEAD") {
        HttpResponse response = Empty(200);
        AddTusHeaders(response);
        response.headers.emplace_back("Upload-Offset", std::to_string(Offset(upload)));
        response.headers.emplace_back("Upload-Length", std::to_string(upload.length));
        response.headers.emplace_back("Upload-Expires", HttpDate(upload.expires));
        response.headers.emplace_back("Cache-Control", "no-store");
        return response;
    }
    if (request.method == "PATCH")
        return Patch(request, upload, now);
    if (request.method == "DELETE") {
        Remove(upload.id);
        HttpResponse response = Empty(204);
        AddTusHeaders(response);
        return response;
    }
    if (request.method == "GET") {
        if (upload.resultStatus == 0)
            return TusMessage(409, "上传尚未完成");
        HttpResponse response = JsonResponse(upload.resultStatus, upload.resultBody);
        AddTusHeaders(response);
        return response;
    }
    return TusMessage(405, "Method Not Allowed");
}

HttpResponse ResumableUploads::Create(const HttpRequest& request, const UserRecord& user,
                                      const std::string& baseAddress, std::int64_t now) {
    if (request.HasHeader("upload-defer-length"))
        return TusMessage(400, "不支持Upload-Defer-Length");
    const auto length = ParseDecimal(request.Header("upload-length"));
    if (!length)
        return TusMessage(400, "缺少Upload-Length");
    if (*length > maxSize_)
        return TusMessage(413, "图片文件过大");
    if (*length == 0)
        return TusMessage(400, "图片文件为空");
    const auto metadata = ParseMetadata(request.Header("upload-metadata"));
    if (!metadata)
        return TusMessage(400, "Upload-Metadata格式错误");
    Sweep(now);

    ResumableUpload upload;
    upload.userId = user.id;
    upload.length = *length;
    if (auto answer = policy_.admit(request, user, *metadata, upload)) {
        AddTusHeaders(*answer);
        return *answer;
    }
    upload.id = RandomHex(16);
    upload.expires = now + kLifetimeSeconds;
    // A sweep meanwhile would take the file for one that no upload names.
    const std::lock_guard files(filesMutex_);
    {
        std::ofstream created(FilePath(upload.id), std::ios::binary);
        if (!created)
            return TusMessage(500, "服务器内部错误");
    }
    bool stored = false;
    {
        auto lock = db_.Lock();
        Statement insert(db_,
                         "INSERT INTO resumable_uploads(id, user_id, album_id, length, title, "
                         "content_hash, allow_duplicate, expires) "
                         "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)");
        insert.Bind(1, upload.id)
            .Bind(2, upload.userId)
            .Bind(3, upload.albumId)
            .Bind(4, upload.length)
            .Bind(5, upload.title)
            .Bind(6, upload.contentHash)
            .Bind(7, upload.allowDuplicate ? 1 : 0)
            .Bind(8, upload.expires);
        stored = insert.Run();
    }
    if (!stored) {
        Remove(upload.id);
        return TusMessage(500, "服务器内部错误");
    }
    HttpResponse response = Empty(201);
    AddTusHeaders(response);
    response.headers.emplace_back("Location", baseAddress + "/api/tus/" + upload.id);
    response.headers.emplace_back("Upload-Expires", HttpDate(upload.expires));
    return response;
}

HttpResponse ResumableUploads::Patch(HttpRequest& request, ResumableUpload& upload,
                                     std::int64_t now) {
    if (request.bodyFile.empty()) {
        // A body handed over in memory (not streamed into the upload's file by the server).
        if (auto refusal = PatchRefusal(request, upload))
            return *refusal;
        std::ofstream out(FilePath(upload.id), std::ios::binary | std::ios::app);
        out.write(request.body.data(), static_cast<std::streamsize>(request.body.size()));
        if (!out)
            return TusMessage(500, "服务器内部错误");
    }
    // The file is the upload's own, not a temporary one for the service to remove.
    request.bodyFile.clear();
    const std::int64_t offset = Offset(upload);
    {
        auto lock = db_.Lock();
        Statement touch(db_, "UPDATE resumable_uploads SET expires = ?1 WHERE id = ?2");
        touch.Bind(1, now + kLifetimeSeconds).Bind(2, upload.id);
        (void)touch.Run();
    }
    upload.expires = now + kLifetimeSeconds;
    HttpResponse done = Empty(204);
    AddTusHeaders(done);
    done.headers.emplace_back("Upload-Offset", std::to_string(offset));
    done.headers.emplace_back("Upload-Expires", HttpDate(upload.expires));
    if (offset < upload.length)
        return done;

    std::string file = FilePath(upload.id);
    HttpResponse stored = policy_.store(request, upload, file);
    {
        auto lock = db_.Lock();
        Statement result(db_,
                         "UPDATE resumable_uploads SET result_status = ?1, result_body = ?2 "
                         "WHERE id = ?3");
        result.Bind(1, stored.status).Bind(2, stored.body).Bind(3, upload.id);
        (void)result.Run();
    }
    std::error_code ec;
    fs::remove(FilePath(upload.id), ec);  // still there when the store refused the picture
    if (stored.status != 200) {
        AddTusHeaders(stored);
        return stored;
    }
    return done;
}

}  // namespace albumd
