#include "sdk/internal/Runtime.h"

#include <curl/curl.h>

#include "platform/LastError.h"

namespace tavopix::sdk {

namespace {

std::mutex runtimeMutex;
std::shared_ptr<Runtime> runtime;  // guarded by runtimeMutex

}  // namespace

std::shared_ptr<Runtime> Runtime::Current() {
    std::lock_guard lock(runtimeMutex);
    if (!runtime) {
        SetLastError(ERROR_NOT_READY);
    }
    return runtime;
}

bool Runtime::Start() {
    std::lock_guard lock(runtimeMutex);
    if (runtime) {
        return true;
    }
    if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    auto started = std::make_shared<Runtime>();
    if (!started->transfers_.Start()) {
        curl_global_cleanup();
        return false;
    }
    runtime = std::move(started);
    return true;
}

bool Runtime::Stop() {
    std::shared_ptr<Runtime> stopping;
    {
        std::lock_guard lock(runtimeMutex);
        if (runtime && runtime->transfers_.IsCurrentThread()) {
            SetLastError(ERROR_BUSY);
            return false;
        }
        stopping.swap(runtime);
    }
    if (!stopping) {
        return true;
    }
    // Objects leave the table before the thread stops, so no callback can start meanwhile; they
    // are destroyed last, once nothing runs that could still reach them.
    auto objects = stopping->handles_.CloseAll();
    stopping->transfers_.Stop();
    objects.clear();
    stopping.reset();
    curl_global_cleanup();
    return true;
}

std::shared_ptr<const SdkConfig> Runtime::Config() const {
    std::lock_guard lock(configMutex_);
    return config_;
}

void Runtime::SetConfig(SdkConfig config) {
    auto loaded = std::make_shared<const SdkConfig>(std::move(config));
    std::lock_guard lock(configMutex_);
    config_ = std::move(loaded);
}

}  // namespace tavopix::sdk
