#include "upload/AlbumContentCheck.h"

#include <map>
#include <memory>

#include "app/AppContext.h"
#include "app/PathTokens.h"
#include "platform/OwnedRecord.h"
#include "sdk/OvkSdk.h"

namespace tavopix {

namespace {

// Hashes per request: the request's JSON stays well inside the service's 64 KiB.
constexpr std::size_t kHashesPerRequest = 400;
constexpr std::uint32_t kRequestTimeoutMs = 30000;

// The quoted value after `key` from `at` on, moving `at` past it; false when there is none.
bool NextValue(const std::u16string& text, std::u16string_view key, std::size_t& at,
               std::u16string& value) {
    const std::size_t found = text.find(key, at);
    if (found == std::u16string::npos)
        return false;
    const std::size_t start = found + key.size();
    const std::size_t end = text.find(u'"', start);
    if (end == std::u16string::npos)
        return false;
    value = text.substr(start, end - start);
    at = end + 1;
    return true;
}

}  // namespace

bool AlbumContentCheck::Start(HWND window, std::u16string albumId,
                              std::vector<std::u16string> paths) {
    return worker_.Start(window, [this, window, album = std::move(albumId),
                                  chosen = std::move(paths)] { Run(window, album, chosen); });
}

bool AlbumContentCheck::Ask(const std::u16string& albumId,
                            const std::vector<std::u16string>& hashes, std::u16string& reply) {
    std::u16string json = u"{\"album_id\":\"" + albumId + u"\",\"hashes\":[";
    for (std::size_t i = 0; i < hashes.size(); ++i)
        json += (i ? u",\"" : u"\"") + hashes[i] + u"\"";
    json += u"]}";
    const OvkApiRequest request{OVK_API_ALBUM_CONTENT, json.c_str(), nullptr};
    const OvkHandle handle =
        ovkOpenApiAsynInit(appContext.serviceSession, &request, kRequestTimeoutMs);
    if (handle == 0)
        return false;
    answered_ = false;
    if (worker_.StopRequested()) {
        ovkCloseHandle(handle);
        return false;
    }
    OvkCallbackSpec callback;
    callback.context = this;
    callback.completion = [](void* context, std::uint32_t) {
        auto* check = static_cast<AlbumContentCheck*>(context);
        check->answered_ = true;
        check->worker_.Wake();
    };
    bool ok = ovkOpenApiAsynCall(handle, &callback) != 0 &&
              worker_.WaitUntil([this] { return answered_.load(); });
    std::uint32_t status = 0;
    std::uint32_t length = 0;
    char16_t* text = nullptr;
    ok = ok && ovkOpenApiAsynGetRtn(handle, &status, &length, &text) && status == 200 &&
         text != nullptr;
    if (ok)
        reply.assign(text, length);
    ovkReleaseBuffer(&text);
    // Closing abandons a request still running: no completion comes after it.
    ovkCloseHandle(handle);
    return ok;
}

void AlbumContentCheck::Run(HWND window, const std::u16string& albumId,
                            const std::vector<std::u16string>& paths) {
    auto result = std::make_unique<AlbumContent>();
    std::map<std::u16string, std::vector<std::u16string>> pathsByHash;
    for (const std::u16string& path : paths) {
        if (worker_.StopRequested())
            return;
        char16_t hash[65];
        const std::u16string real = ExpandPath(path);
        if (!real.empty() && ovkContentHash(real.c_str(), hash))
            pathsByHash[hash].push_back(path);
    }
    result->answered = true;
    auto next = pathsByHash.begin();
    while (next != pathsByHash.end() && !worker_.StopRequested()) {
        std::vector<std::u16string> batch;
        for (; next != pathsByHash.end() && batch.size() < kHashesPerRequest; ++next)
            batch.push_back(next->first);
        std::u16string reply;
        if (!Ask(albumId, batch, reply)) {
            result->answered = false;
            break;
        }
        std::size_t at = 0;
        std::u16string hash;
        std::u16string url;
        while (NextValue(reply, u"\"content_hash\":\"", at, hash) &&
               NextValue(reply, u"\"file_url\":\"", at, url)) {
            auto found = pathsByHash.find(hash);
            if (found == pathsByHash.end())
                continue;
            for (const std::u16string& path : found->second)
                result->present.push_back({path, hash, url});
        }
    }
    if (!worker_.StopRequested())
        PostOwned(window, WM_UPLOAD_CONTENT_CHECKED, std::move(result));
}

}  // namespace tavopix
