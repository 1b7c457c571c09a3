#include "Service.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <limits>

#include "AlbumAccess.h"
#include "ClientJson.h"
#include "ResumableUploads.h"
#include "TextChecks.h"
#include "WebPages.h"

namespace albumd {

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

const char* const kFaultKinds[] = {"login",   "ticket-login", "logout",
                                   "openapi", "upload",       "download"};

constexpr const char* kServerFault = "服务器内部错误";
constexpr const char* kNotLoggedIn = "未登录或登录已过期";

HttpResponse ApiTextError(int status, const std::string& text) {
    return TextResponse(status, text);
}

// A title is only displayed: control characters are dropped, the length is bounded.
std::optional<std::string> CleanTitle(const std::string& raw) {
    if (!IsValidUtf8(raw) || Utf8Length(raw) > 255)
        return std::nullopt;
    std::string title;
    for (char c : raw) {
        if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F)
            title.push_back(c);
    }
    return title;
}

bool IsHostCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '-' || c == ':' || c == '[' || c == ']';
}

// The declared body length; one beyond what a signed length holds is the largest it holds, which
// every limit refuses.
std::optional<std::int64_t> ContentLength(const HttpRequest& request) {
    const auto length = ParseContentLength(request.Header("content-length"));
    if (!length)
        return std::nullopt;
    return static_cast<std::int64_t>(
        std::min<std::uint64_t>(*length, std::numeric_limits<std::int64_t>::max()));
}

// The reply for a picture that cannot go into the album; nullopt when it can.
std::optional<HttpResponse> PlaceRefusal(PlaceResult result);

HttpResponse LoginReply(const Authenticator::Result& result) {
    json reply;
    reply["ticket"] = result.ticket.ticket;
    reply["user_id"] = std::to_string(result.user.id);
    reply["username"] = result.user.name;
    reply["expires"] = result.ticket.expires;
    return JsonResponse(200, DumpJson(reply));
}

}  // namespace

HttpResponse MessageResponse(int status, const std::string& text) {
    json reply;
    reply["msg"] = text;
    return JsonResponse(status, DumpJson(reply));
}

namespace {

std::optional<HttpResponse> PlaceRefusal(PlaceResult result) {
    switch (result) {
        case PlaceResult::Ok:
            return std::nullopt;
        case PlaceResult::NotFound:
            return MessageResponse(404, "相册不存在");
        case PlaceResult::Forbidden:
            return MessageResponse(403, "无权访问该相册");
        case PlaceResult::SpaceFull:
            return MessageResponse(413, "空间已满");
        case PlaceResult::AlbumFull:
            return MessageResponse(414, "相册图片数量已达上限");
        case PlaceResult::Fault:
            break;
    }
    return MessageResponse(500, kServerFault);
}

}  // namespace

std::optional<FaultSwitch> FaultSwitch::Parse(std::string_view text) {
    FaultSwitch faults;
    while (!text.empty()) {
        std::size_t comma = text.find(',');
        std::string_view item = text.substr(0, comma);
        text = comma == std::string_view::npos ? std::string_view{} : text.substr(comma + 1);
        if (item.empty())
            continue;
        std::size_t eq = item.find('=');
        if (eq == std::string_view::npos)
            return std::nullopt;
        std::string kind(item.substr(0, eq));
        auto status = ParseDecimal(item.substr(eq + 1));
        bool known = false;
        for (const char* k : kFaultKinds)
            known = known || kind == k;
        if (!known || !status || *status < 400 || *status > 599)
            return std::nullopt;
        faults.statusByKind_[kind] = static_cast<int>(*status);
    }
    return faults;
}

std::optional<int> FaultSwitch::StatusFor(const std::string& kind) const {
    auto it = statusByKind_.find(kind);
    if (it == statusByKind_.end())
        return std::nullopt;
    return it->second;
}

std::unique_ptr<Service> Service::Open(ServiceConfig config, std::string& error) {
    if (!InitSecrets()) {
        error = "libsodium failed to start";
        return nullptr;
    }
    auto data =
        DataStore::Open(config.dataDir, config.hashCost, config.ticketLifetimeSeconds, error);
    if (!data)
        return nullptr;
    if (!data->files.Prepare(error))
        return nullptr;
    DataStore& store = *data;
    store.files.SweepOrphans(
        [&](const std::string& file) { return store.albums.IsKnownFile(file); });
    std::unique_ptr<Service> service(new Service(std::move(config), std::move(data)));
    if (!service->resumable_->Prepare(error))
        return nullptr;
    service->resumable_->Sweep(service->Now());
    service->data_->accounts.PurgeExpiredTickets(service->Now());
    service->data_->sessions.PurgeExpired(service->Now());
    return service;
}

Service::Service(ServiceConfig config, std::unique_ptr<DataStore> data)
    : config_(std::move(config)),
      data_(std::move(data)),
      authenticator_(data_->accounts, config_.loginRules),
      pages_(std::make_unique<WebPages>(*data_, authenticator_)) {
    ResumableUploads::Policy policy;
    policy.admit = [this](const HttpRequest& request, const UserRecord& user,
                          const std::map<std::string, std::string>& metadata,
                          ResumableUpload& upload) -> std::optional<HttpResponse> {
        const auto value = [&](const char* key) {
            auto found = metadata.find(key);
            return found == metadata.end() ? std::string() : found->second;
        };
        const auto album = ParseDecimal(value("album_id"));
        if (!album)
            return MessageResponse(400, "缺少相册编号");
        // tus clients commonly name the file as "filename"; our own client sends the title.
        const auto title = CleanTitle(metadata.count("name") ? value("name") : value("filename"));
        if (!title)
            return MessageResponse(400, "图片标题无效");
        upload.contentHash = value("content_hash");
        if (!upload.contentHash.empty() && !IsContentHash(upload.contentHash))
            return MessageResponse(400, "内容摘要无效");
        upload.albumId = *album;
        upload.title = *title;
        upload.allowDuplicate = value("allow_duplicate") == "1";
        if (auto existing =
                ExistingPicture(request, upload.albumId, upload.contentHash, upload.allowDuplicate))
            return existing;
        return PlaceRefusal(data_->albums.CheckUpload(user.id, upload.albumId, upload.length));
    };
    policy.store = [this](const HttpRequest& request, const ResumableUpload& upload,
                          std::string& file) {
        return StorePicture(request, upload.userId, upload.albumId, upload.title,
                            {upload.contentHash, upload.allowDuplicate}, file);
    };
    resumable_ = std::make_unique<ResumableUploads>(*data_->db, data_->dataDir,
                                                    config_.uploadBodyLimit, std::move(policy));
}

Service::~Service() = default;

std::int64_t Service::Now() const {
    if (config_.clock)
        return config_.clock();
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::string Service::BaseAddress(const HttpRequest& request) const {
    std::string_view host = request.Header("host");
    if (const PublicAddress* address = FindPublicAddress(host, config_.guard.publicAddresses))
        return address->origin;
    bool usable = !host.empty() && host.size() <= 255;
    for (char c : host)
        usable = usable && IsHostCharacter(c);
    return "http://" + (usable ? std::string(host) : listenAddress_);
}

StoreResult Service::Authorise(const HttpRequest& request, UserRecord& user) {
    std::string_view header = request.Header("authorization");
    constexpr std::string_view kScheme = "Ticket ";
    if (header.substr(0, kScheme.size()) != kScheme)
        return StoreResult::NotFound;
    std::string_view ticket = header.substr(kScheme.size());
    if (ticket.empty() || ticket.size() > 128)
        return StoreResult::NotFound;
    std::int64_t expires = 0;
    return data_->accounts.FindTicket(ticket, Now(), user, expires);
}

BodyPlan Service::PlanBody(const HttpRequest& head) {
    BodyPlan plan;
    auto target = ParseTarget(head.target);
    HttpRequest guarded = head;
    if (auto refused = target ? GuardRequest(guarded, *target, config_.guard, BaseAddress(head))
                              : std::nullopt) {
        plan.kind = BodyPlan::Kind::Reject;
        plan.rejection = std::move(*refused);
        plan.rejection.closeConnection = true;
        return plan;
    }
    if (target && head.method == "PATCH" && ResumableUploads::IsRoute(*target)) {
        UserRecord user;
        if (Authorise(head, user) == StoreResult::Ok)
            return resumable_->PlanPatch(head, *target, user, Now());
        plan.kind = BodyPlan::Kind::Reject;
        plan.rejection = MessageResponse(401, kNotLoggedIn);
        AddTusHeaders(plan.rejection);
        plan.rejection.closeConnection = true;
        return plan;
    }
    bool isUpload = target && head.method == "POST" && target->segments.size() == 2 &&
                    target->segments[0] == "api" && target->segments[1] == "upload";
    if (!isUpload) {
        auto length = ContentLength(head);
        if (length && *length > static_cast<std::int64_t>(config_.jsonBodyLimit)) {
            plan.kind = BodyPlan::Kind::Reject;
            plan.rejection = MessageResponse(413, "请求内容过大");
            plan.rejection.closeConnection = true;
            return plan;
        }
        plan.kind = BodyPlan::Kind::InMemory;
        plan.limit = config_.jsonBodyLimit;
        return plan;
    }
    UserRecord user;
    std::int64_t albumId = 0;
    if (auto refusal = UploadPrecheck(head, *target, user, albumId)) {
        plan.kind = BodyPlan::Kind::Reject;
        plan.rejection = std::move(*refusal);
        plan.rejection.closeConnection = true;
        return plan;
    }
    plan.kind = BodyPlan::Kind::ToFile;
    plan.limit = static_cast<std::size_t>(*ContentLength(head));
    plan.filePath = data_->files.NewTempPath();
    return plan;
}

std::optional<HttpResponse> Service::UploadPrecheck(const HttpRequest& request,
                                                    const ParsedTarget& target, UserRecord& user,
                                                    std::int64_t& albumId) {
    if (auto status = config_.faults.StatusFor("upload")) {
        return MessageResponse(*status, kServerFault);
    }
    switch (Authorise(request, user)) {
        case StoreResult::Ok:
            break;
        case StoreResult::NotFound:
            return MessageResponse(401, kNotLoggedIn);
        default:
            return MessageResponse(500, kServerFault);
    }
    auto album = target.query.find("album_id");
    auto id = album == target.query.end() ? std::nullopt : ParseDecimal(album->second);
    if (!id)
        return MessageResponse(400, "缺少相册编号");
    albumId = *id;
    if (auto name = target.query.find("name"); name != target.query.end()) {
        if (!CleanTitle(name->second))
            return MessageResponse(400, "图片标题无效");
    }
    if (!request.Header("transfer-encoding").empty() || !ContentLength(request)) {
        return MessageResponse(411, "缺少Content-Length");
    }
    std::int64_t length = *ContentLength(request);
    if (length == 0)
        return MessageResponse(400, "图片文件为空");
    if (length > config_.uploadBodyLimit)
        return MessageResponse(400, "图片文件过大");
    const auto hash = target.query.find("content_hash");
    const std::string contentHash = hash == target.query.end() ? "" : hash->second;
    if (!contentHash.empty() && !IsContentHash(contentHash))
        return MessageResponse(400, "内容摘要无效");
    const auto allow = target.query.find("allow_duplicate");
    if (auto existing = ExistingPicture(request, albumId, contentHash,
                                        allow != target.query.end() && allow->second == "1")) {
        return existing;
    }
    if (auto refusal = PlaceRefusal(data_->albums.CheckUpload(user.id, albumId, length))) {
        return refusal;
    }
    return std::nullopt;
}

HttpResponse Service::Handle(HttpRequest& request) {
    auto target = ParseTarget(request.target);
    HttpResponse response;
    std::optional<HttpResponse> refused;
    if (target)
        refused = GuardRequest(request, *target, config_.guard, BaseAddress(request));
    if (!target) {
        response = TextResponse(400, "Bad Request");
    } else if (refused) {
        response = std::move(*refused);
    } else if (!target->segments.empty() && target->segments[0] == "api") {
        response = HandleApi(request, *target);
    } else if (!target->segments.empty() && target->segments[0] == "tavopix") {
        response = Download(*target);
    } else if (!target->segments.empty() && target->segments[0] == "photos") {
        response = pages_->PictureFile(request, *target, Now());
    } else if (auto page = pages_->Handle(request, *target, Now(), BaseAddress(request))) {
        response = std::move(*page);
    } else {
        response = pages_->NotFound();
    }
    // A streamed body not consumed by its handler must not linger in the temporary folder.
    if (!request.bodyFile.empty()) {
        std::error_code ec;
        fs::remove(request.bodyFile, ec);
    }
    return response;
}

HttpResponse Service::HandleApi(HttpRequest& request, const ParsedTarget& target) {
    const auto& segments = target.segments;
    const std::string action = segments.size() >= 2 ? segments[1] : "";
    const bool post = request.method == "POST";
    if (segments.size() == 2 && action == "login") {
        return post ? Login(request) : MessageResponse(405, "Method Not Allowed");
    }
    if (segments.size() == 2 && action == "ticket-login") {
        return post ? TicketLogin(request) : MessageResponse(405, "Method Not Allowed");
    }
    if (segments.size() == 2 && action == "logout") {
        return post ? Logout(request) : MessageResponse(405, "Method Not Allowed");
    }
    if (segments.size() == 2 && action == "user") {
        return request.method == "GET" ? CurrentUser(request)
                                       : MessageResponse(405, "Method Not Allowed");
    }
    if (segments.size() == 3 && action == "openapi") {
        return post ? OpenApi(request, segments[2]) : ApiTextError(405, "Method Not Allowed");
    }
    if (segments.size() == 2 && action == "upload") {
        return post ? Upload(request, target) : MessageResponse(405, "Method Not Allowed");
    }
    if (ResumableUploads::IsRoute(target))
        return Resumable(request, target);
    return MessageResponse(404, "未知的接口");
}

HttpResponse Service::Login(const HttpRequest& request) {
    if (auto status = config_.faults.StatusFor("login")) {
        return MessageResponse(*status, kServerFault);
    }
    auto body = ParseClientObject(request.body);
    if (!body)
        return MessageResponse(400, "请求格式错误");
    auto name = MemberText(*body, "username");
    auto password = MemberText(*body, "password");
    if (!name || !password || name->empty() || password->empty()) {
        return MessageResponse(400, "请输入用户名和密码");
    }
    std::string machineKey = MemberText(*body, "machine_key").value_or("");
    if (machineKey.size() > 512 || !IsValidUtf8(machineKey)) {
        return MessageResponse(400, "请求格式错误");
    }
    auto result =
        authenticator_.PasswordLogin(*name, *password, request.peerAddress, machineKey, Now());
    switch (result.outcome) {
        case Authenticator::Outcome::Ok:
            return LoginReply(result);
        case Authenticator::Outcome::UnknownUser:
            return MessageResponse(404, "用户名不存在");
        case Authenticator::Outcome::WrongPassword:
            return MessageResponse(403, "密码错误");
        case Authenticator::Outcome::Locked: {
            HttpResponse locked = MessageResponse(423, "登录失败次数过多,请稍后再试");
            locked.headers.emplace_back("Retry-After", std::to_string(result.retryAfter));
            return locked;
        }
        default:
            return MessageResponse(500, kServerFault);
    }
}

HttpResponse Service::TicketLogin(const HttpRequest& request) {
    if (auto status = config_.faults.StatusFor("ticket-login")) {
        return MessageResponse(*status, kServerFault);
    }
    auto body = ParseClientObject(request.body);
    if (!body)
        return MessageResponse(400, "请求格式错误");
    auto ticket = MemberText(*body, "ticket");
    if (!ticket || ticket->empty() || ticket->size() > 128) {
        return MessageResponse(400, "请求格式错误");
    }
    auto result = authenticator_.TicketLogin(*ticket, Now());
    switch (result.outcome) {
        case Authenticator::Outcome::Ok:
            return LoginReply(result);
        case Authenticator::Outcome::BadTicket:
            return MessageResponse(403, "登录已过期,请重新登录");
        default:
            return MessageResponse(500, kServerFault);
    }
}

HttpResponse Service::Logout(const HttpRequest& request) {
    if (auto status = config_.faults.StatusFor("logout")) {
        return MessageResponse(*status, kServerFault);
    }
    std::string_view header = request.Header("authorization");
    constexpr std::string_view kScheme = "Ticket ";
    if (header.substr(0, kScheme.size()) != kScheme || header.size() == kScheme.size()) {
        return MessageResponse(401, kNotLoggedIn);
    }
    if (!data_->accounts.RevokeTicket(header.substr(kScheme.size()))) {
        return MessageResponse(500, kServerFault);
    }
    return MessageResponse(200, "已退出");
}

HttpResponse Service::CurrentUser(const HttpRequest& request) {
    UserRecord user;
    switch (Authorise(request, user)) {
        case StoreResult::Ok:
            break;
        case StoreResult::NotFound:
            return MessageResponse(401, kNotLoggedIn);
        default:
            return MessageResponse(500, kServerFault);
    }
    json reply;
    reply["user_id"] = std::to_string(user.id);
    reply["username"] = user.name;
    return JsonResponse(200, DumpJson(reply));
}

HttpResponse Service::OpenApi(const HttpRequest& request, const std::string& code) {
    if (auto status = config_.faults.StatusFor("openapi")) {
        return ApiTextError(*status, kServerFault);
    }
    UserRecord user;
    switch (Authorise(request, user)) {
        case StoreResult::Ok:
            break;
        case StoreResult::NotFound:
            return ApiTextError(401, kNotLoggedIn);
        default:
            return ApiTextError(500, kServerFault);
    }
    auto body = ParseClientObject(request.body);
    if (!body)
        return ApiTextError(400, "请求格式错误");
    if (code == "101")
        return ListAlbums(user, *body);
    if (code == "104")
        return CreateAlbum(user, *body);
    if (code == "133")
        return AddFeedback(request, user, *body);
    if (code == "141")
        return AlbumContent(request, user, *body);
    return ApiTextError(404, "未知的接口");
}

HttpResponse Service::ListAlbums(const UserRecord& user, const nlohmann::json& body) {
    if (body.contains("uid")) {
        auto uid = MemberText(body, "uid");
        if (!uid || *uid != std::to_string(user.id))
            return ApiTextError(403, "无权访问");
    }
    std::vector<AlbumRecord> albums;
    if (data_->albums.ListAlbums(user.id, albums) != StoreResult::Ok) {
        return ApiTextError(500, kServerFault);
    }
    // Ordered keys: the client scans for "album_id" and then the next "album_name".
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const AlbumRecord& album : albums) {
        nlohmann::ordered_json entry;
        entry["album_id"] = std::to_string(album.id);
        entry["album_name"] = album.name;
        entry["privacy_lev"] = std::to_string(album.privacy);
        entry["photo_count"] = album.photoCount;
        list.push_back(std::move(entry));
    }
    nlohmann::ordered_json reply;
    reply["albums"] = std::move(list);
    return JsonResponse(200, reply.dump(-1, ' ', false, json::error_handler_t::replace));
}

HttpResponse Service::CreateAlbum(const UserRecord& user, const nlohmann::json& body) {
    NewAlbum album;
    auto name = MemberText(body, "album_name");
    album.name = TrimSpace(name.value_or(""));
    if (album.name.empty())
        return ApiTextError(400, "相册名不能为空");
    album.description = MemberText(body, "album_desc").value_or("");
    if (!IsValidUtf8(album.name) || !IsValidUtf8(album.description)) {
        return ApiTextError(400, "请求格式错误");
    }
    if (Utf8Length(album.name) > 100)
        return ApiTextError(400, "相册名不能超过100个字");
    if (Utf8Length(album.description) > 1000)
        return ApiTextError(400, "相册描述不能超过1000个字");
    // A level left out means everyone; one of another type (3.5, null, true) is no level at all.
    const std::optional<std::string> level = body.contains("privacy_lev")
                                                 ? MemberText(body, "privacy_lev")
                                                 : std::to_string(kPrivacyEveryone);
    album.privacy = level && level->size() == 1 ? (*level)[0] - '0' : 0;
    if (album.privacy < kPrivacyEveryone || album.privacy > kPrivacyPrivate) {
        return ApiTextError(400, "隐私级别无效");
    }
    if (album.privacy == kPrivacyQuestion) {
        album.question = TrimSpace(MemberText(body, "album_pwd_prompt").value_or(""));
        std::string answer = MemberText(body, "album_pwd").value_or("");
        if (album.question.empty() || answer.empty())
            return ApiTextError(400, "请填写问题和答案");
        if (Utf8Length(album.question) > 200 || Utf8Length(answer) > 200) {
            return ApiTextError(400, "问题和答案不能超过200个字");
        }
        auto hash = HashPassword(NormaliseAnswer(answer), data_->hashCost);
        if (!hash)
            return ApiTextError(500, kServerFault);
        album.answerHash = std::move(*hash);
    }
    std::int64_t albumId = 0;
    switch (data_->albums.CreateAlbum(user.id, album, Now(), albumId)) {
        case StoreResult::Ok:
            break;
        case StoreResult::Invalid: {
            Limits limits;
            (void)data_->albums.DefaultLimits(limits);
            return ApiTextError(
                403, "相册数量已达上限(每个账号" + std::to_string(limits.albumsPerUser) + "个)");
        }
        default:
            return ApiTextError(500, kServerFault);
    }
    nlohmann::ordered_json reply;
    reply["album_id"] = std::to_string(albumId);
    reply["album_name"] = album.name;
    return JsonResponse(200, reply.dump(-1, ' ', false, json::error_handler_t::replace));
}

HttpResponse Service::AddFeedback(const HttpRequest& request, const UserRecord& user,
                                  const nlohmann::json& body) {
    std::string content = MemberText(body, "feed_content").value_or("");
    std::string contact = MemberText(body, "contact").value_or("");
    if (TrimSpace(content).empty())
        return ApiTextError(400, "反馈内容不能为空");
    if (!IsValidUtf8(content) || !IsValidUtf8(contact))
        return ApiTextError(400, "请求格式错误");
    if (Utf8Length(content) > 10000 || Utf8Length(contact) > 200) {
        return ApiTextError(400, "反馈内容过长");
    }
    std::int64_t id = 0;
    Limits limits;
    if (data_->albums.DefaultLimits(limits) != StoreResult::Ok)
        return ApiTextError(500, kServerFault);
    switch (data_->feedback.Add(user.id, contact, content, request.peerAddress, Now(),
                                limits.feedbackPerDay, id)) {
        case StoreResult::Ok:
            break;
        case StoreResult::Invalid:
            return ApiTextError(429, "今天的反馈已达上限(" + std::to_string(limits.feedbackPerDay) +
                                         "条),请明天再试");
        default:
            return ApiTextError(500, kServerFault);
    }
    json reply;
    reply["feedback_id"] = std::to_string(id);
    return JsonResponse(200, DumpJson(reply));
}

HttpResponse Service::Upload(HttpRequest& request, const ParsedTarget& target) {
    UserRecord user;
    std::int64_t albumId = 0;
    if (auto refusal = UploadPrecheck(request, target, user, albumId))
        return *refusal;
    std::string title;
    if (auto name = target.query.find("name"); name != target.query.end()) {
        title = *CleanTitle(name->second);
    }
    if (request.bodyFile.empty()) {
        // Handed over in memory: stream it to a temporary file like a network body.
        if (request.body.size() != static_cast<std::size_t>(*ContentLength(request))) {
            return MessageResponse(400, "请求格式错误");
        }
        request.bodyFile = data_->files.NewTempPath();
        std::ofstream out(request.bodyFile, std::ios::binary);
        out.write(request.body.data(), static_cast<std::streamsize>(request.body.size()));
        if (!out)
            return MessageResponse(500, kServerFault);
    }
    const auto hash = target.query.find("content_hash");
    const auto allow = target.query.find("allow_duplicate");
    return StorePicture(request, user.id, albumId, std::move(title),
                        {hash == target.query.end() ? "" : hash->second,
                         allow != target.query.end() && allow->second == "1"},
                        request.bodyFile);
}

HttpResponse Service::StorePicture(const HttpRequest& request, std::int64_t userId,
                                   std::int64_t albumId, std::string title,
                                   const PictureContent& content, std::string& file) {
    std::error_code ec;
    auto size = static_cast<std::int64_t>(fs::file_size(file, ec));
    if (ec)
        return MessageResponse(500, kServerFault);
    if (size == 0)
        return MessageResponse(400, "图片文件为空");
    auto type = SniffPictureFile(file);
    if (!type)
        return MessageResponse(415, "不支持的图片格式");
    if (!PhotoFiles::SyncFile(file))
        return MessageResponse(500, kServerFault);

    PhotoRecord photo;
    photo.albumId = albumId;
    photo.userId = userId;
    photo.title = std::move(title);
    photo.file = PhotoFiles::RelativePath(userId, albumId, PhotoFiles::NewStoredName(*type));
    photo.mime = type->mime;
    photo.size = size;
    photo.created = Now();
    {
        // The album's content is looked up again and the picture stored with its hash in one
        // step: two uploads of the same picture that both found it missing at their start (a
        // transfer given up by the client but taken in whole, and the same picture sent again)
        // store it once.
        std::lock_guard storing(storing_);
        if (auto existing = ExistingPicture(request, albumId, content.hash, content.allowDuplicate))
            return *existing;
        bool moved = false;
        PlaceResult placed = data_->albums.AddPhoto(
            photo,
            [&](const std::string& stored) { return data_->files.MoveIntoPlace(file, stored); },
            moved);
        if (placed != PlaceResult::Ok && moved)
            data_->files.Remove(photo.file);
        if (auto refusal = PlaceRefusal(placed))
            return *refusal;
        // Without its hash the picture is only not recognised again: the upload itself stands.
        if (!content.hash.empty())
            (void)data_->hashes.Record(photo.id, albumId, content.hash);
    }
    // Without a thumbnail the album page shows the original: the upload stands.
    (void)data_->files.WriteThumbnail(photo.file, photo.mime);
    return PhotoReply(request, photo, "上传成功", PhotoKind::New);
}

std::optional<HttpResponse> Service::ExistingPicture(const HttpRequest& request,
                                                     std::int64_t albumId,
                                                     const std::string& contentHash,
                                                     bool allowDuplicate) {
    if (contentHash.empty() || allowDuplicate)
        return std::nullopt;
    PhotoRecord photo;
    switch (data_->hashes.Find(albumId, contentHash, photo)) {
        case StoreResult::Ok:
            break;
        case StoreResult::NotFound:
            return std::nullopt;
        default:
            return MessageResponse(500, kServerFault);
    }
    return PhotoReply(request, photo, "图片已在相册中", PhotoKind::Existing);
}

std::string Service::PhotoAddress(const HttpRequest& request, const PhotoRecord& photo) const {
    // The picture's page, which lets in only those who may see the album.
    return pages_->PhotoPageAddress(BaseAddress(request), photo);
}

HttpResponse Service::PhotoReply(const HttpRequest& request, const PhotoRecord& photo,
                                 const std::string& message, PhotoKind kind) {
    json reply;
    reply["file_url"] = PhotoAddress(request, photo);
    reply["msg"] = message;
    reply["photo_id"] = std::to_string(photo.id);
    if (kind == PhotoKind::Existing)
        reply["duplicate"] = true;
    return JsonResponse(200, DumpJson(reply));
}

HttpResponse Service::AlbumContent(const HttpRequest& request, const UserRecord& user,
                                   const nlohmann::json& body) {
    const auto albumId = ParseDecimal(MemberText(body, "album_id").value_or(""));
    const auto hashes = body.find("hashes");
    if (!albumId || hashes == body.end() || !hashes->is_array())
        return ApiTextError(400, "请求格式错误");
    AlbumRecord album;
    switch (data_->albums.FindAlbum(*albumId, album)) {
        case StoreResult::Ok:
            break;
        case StoreResult::NotFound:
            return ApiTextError(404, "相册不存在");
        default:
            return ApiTextError(500, kServerFault);
    }
    if (album.userId != user.id)
        return ApiTextError(403, "无权访问该相册");
    json present = json::array();
    for (const json& hash : *hashes) {
        if (!hash.is_string() || !IsContentHash(hash.get<std::string>()))
            return ApiTextError(400, "内容摘要无效");
        PhotoRecord photo;
        switch (data_->hashes.Find(*albumId, hash.get<std::string>(), photo)) {
            case StoreResult::Ok:
                present.push_back(
                    {{"content_hash", hash}, {"file_url", PhotoAddress(request, photo)}});
                break;
            case StoreResult::NotFound:
                break;
            default:
                return ApiTextError(500, kServerFault);
        }
    }
    json reply;
    reply["present"] = std::move(present);
    return JsonResponse(200, DumpJson(reply));
}

HttpResponse Service::Resumable(HttpRequest& request, const ParsedTarget& target) {
    if (request.method == "OPTIONS") {
        HttpResponse options;
        options.status = 204;
        options.headers = {{"Tus-Resumable", "1.0.0"},
                           {"Tus-Version", "1.0.0"},
                           {"Tus-Extension", "creation,termination,expiration"},
                           {"Tus-Max-Size", std::to_string(config_.uploadBodyLimit)}};
        return options;
    }
    if (auto status = config_.faults.StatusFor("upload")) {
        HttpResponse fault = MessageResponse(*status, kServerFault);
        AddTusHeaders(fault);
        return fault;
    }
    UserRecord user;
    switch (Authorise(request, user)) {
        case StoreResult::Ok:
            return resumable_->Handle(request, target, user, BaseAddress(request), Now());
        case StoreResult::NotFound: {
            HttpResponse refusal = MessageResponse(401, kNotLoggedIn);
            AddTusHeaders(refusal);
            return refusal;
        }
        default:
            return MessageResponse(500, kServerFault);
    }
}

HttpResponse Service::Download(const ParsedTarget& target) {
    if (auto status = config_.faults.StatusFor("download")) {
        return TextResponse(*status, kServerFault);
    }
    const auto& segments = target.segments;
    std::string path;
    HttpResponse response;
    response.contentType = "application/octet-stream";
    if (segments.size() == 2 && segments[1] == "update.dat") {
        path = data_->updates.VersionFilePath();
    } else if (segments.size() == 3 && segments[1] == "packages" &&
               UpdateFiles::IsValidPackageName(segments[2])) {
        path = data_->updates.PackagePath(segments[2]);
        response.headers.emplace_back("Content-Disposition",
                                      "attachment; filename=\"" + segments[2] + "\"");
    }
    std::error_code ec;
    if (path.empty() || !fs::is_regular_file(path, ec))
        return TextResponse(404, "Not Found");
    response.filePath = path;
    response.headers.emplace_back("Cache-Control", "no-cache");
    return response;
}

}  // namespace albumd
