// What the SDK upload benchmarks share: ASCII text as the SDK's UTF-16, a waiter for one
// completion of an asynchronous call or the end of an upload (handed from the SDK's thread to the
// benchmark's), the login as the benchmarks' user, and one picture uploaded to its end.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>

#include "sdk/OvkSdk.h"

inline std::u16string Wide(const std::string& ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

struct Waiter {
    std::mutex mutex;
    std::condition_variable done;
    bool ended = false;
    std::uint32_t result = 0;

    static void OnCompletion(void* self, std::uint32_t result) {
        static_cast<Waiter*>(self)->End(result);
    }
    static void OnUpload(void* self, std::uint32_t event, std::uint64_t /*value*/) {
        if (event == tavopix::OVK_EVENT_SUCCEEDED || event == tavopix::OVK_EVENT_FAILED)
            static_cast<Waiter*>(self)->End(event);
    }
    void End(std::uint32_t value) {
        std::lock_guard lock(mutex);
        result = value;
        ended = true;
        done.notify_all();
    }
    // The next result; waits for it when it has not come yet.
    std::uint32_t Wait() {
        std::unique_lock lock(mutex);
        done.wait(lock, [&] { return ended; });
        ended = false;
        return result;
    }
};

// Logs `session` in as "bench", the user every benchmark has its albumd launcher make; whether
// albumd accepted it.
inline bool LogInAsBench(tavopix::ServiceSession session) {
    Waiter waiter;
    tavopix::OvkLoginParams login;
    login.userName = u"bench";
    login.password = u"secret-pw";  // the launcher's password for every user it creates
    login.appId = u"2";
    login.machineKey = u"benchbenchbenchbench";
    login.completion = &Waiter::OnCompletion;
    login.context = &waiter;
    return tavopix::ovkLoginStart(session, &login, 30000) && waiter.Wait() == 1;
}

// Uploads the picture at `path` into `album` under its file name and waits for the end; the
// upload's handle for the caller to read and close (0 when it did not start). `stored` tells
// whether albumd stored it.
inline tavopix::OvkHandle UploadToEnd(tavopix::ServiceSession session, const std::string& path,
                                      const std::u16string& album, bool& stored) {
    const std::u16string file = Wide(path);
    const std::u16string title = Wide(std::filesystem::path(path).filename().string());
    Waiter waiter;
    tavopix::UploadRequest request;
    request.session = session;
    request.filePath = file.c_str();
    request.albumId = album.c_str();
    request.title = title.c_str();
    request.callback = &Waiter::OnUpload;
    request.progressIntervalMs = 200;
    request.context = &waiter;
    const tavopix::OvkHandle upload = tavopix::ovkImgUploadCreate(&request);
    stored = upload != 0 && tavopix::ovkImgUploadStart(upload, 30000) &&
             waiter.Wait() == tavopix::OVK_EVENT_SUCCEEDED;
    return upload;
}
