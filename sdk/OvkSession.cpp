// The SDK's life cycle, its configuration and sessions, and the handle and buffer functions
// shared by every kind of operation.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/LastError.h"
#include "platform/Utf8.h"
#include "sdk/OvkErrors.h"
#include "sdk/OvkSdk.h"
#include "sdk/internal/Runtime.h"
#include "sdk/internal/Session.h"
#include "sdk/internal/Utf16Text.h"

namespace tavopix {

namespace {

// A configuration file is a few lines; anything this large is not one.
constexpr std::size_t kMaxConfigBytes = 64 * 1024;

// The whole file; nothing (with the last error set) when it cannot be read.
std::optional<std::string> ReadSmallFile(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        SetLastErrorFromErrno();
        return std::nullopt;
    }
    std::string bytes;
    char chunk[4096];
    for (;;) {
        ssize_t got = read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            SetLastErrorFromErrno();
            close(fd);
            return std::nullopt;
        }
        if (got == 0) {
            break;
        }
        bytes.append(chunk, static_cast<std::size_t>(got));
        if (bytes.size() > kMaxConfigBytes) {
            SetLastError(OVK_ERROR_BAD_CONFIGURATION);
            close(fd);
            return std::nullopt;
        }
    }
    close(fd);
    return bytes;
}

}  // namespace

OvkBool ovkStartup() {
    return sdk::Runtime::Start();
}

OvkBool ovkCleanup() {
    return sdk::Runtime::Stop();
}

OvkBool ovkLoadCfg(const char16_t* path) {
    std::shared_ptr<sdk::Runtime> runtime = sdk::Runtime::Current();
    if (!runtime) {
        return false;
    }
    if (sdk::TextOf(path).empty()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    std::optional<std::string> bytes = ReadSmallFile(Utf16ToUtf8(path));
    if (!bytes) {
        return false;
    }
    std::optional<sdk::SdkConfig> config = sdk::ParseSdkConfig(*bytes);
    if (!config) {
        SetLastError(OVK_ERROR_BAD_CONFIGURATION);
        return false;
    }
    runtime->SetConfig(std::move(*config));
    return true;
}

ServiceSession ovkCreateSession() {
    std::shared_ptr<sdk::Runtime> runtime = sdk::Runtime::Current();
    if (!runtime) {
        return 0;
    }
    std::shared_ptr<const sdk::SdkConfig> config = runtime->Config();
    if (!config) {
        SetLastError(ERROR_NOT_READY);
        return 0;
    }
    ServiceSession session = runtime->Handles().Add(
        std::make_shared<sdk::Session>(std::move(config), runtime->Handles()));
    if (session == 0) {
        SetLastError(ERROR_NOT_READY);
    }
    return session;
}

OvkBool ovkGetAddress(OvkAddress which, char16_t** address) {
    std::shared_ptr<sdk::Runtime> runtime = sdk::Runtime::Current();
    if (!runtime) {
        return false;
    }
    std::shared_ptr<const sdk::SdkConfig> config = runtime->Config();
    if (!config) {
        SetLastError(ERROR_NOT_READY);
        return false;
    }
    const std::string* text = nullptr;
    switch (which) {
        case OvkAddress::AlbumService:
            text = &config->albumService;
            break;
        case OvkAddress::HomePage:
            text = &config->homePage;
            break;
        case OvkAddress::RegisterPage:
            text = &config->registerPage;
            break;
        case OvkAddress::LostPasswordPage:
            text = &config->lostPasswordPage;
            break;
    }
    if (!text || !address) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    return sdk::HandOutText(Utf8ToUtf16(*text), address);
}

OvkBool ovkCloseHandle(OvkHandle handle) {
    std::shared_ptr<sdk::Runtime> runtime = sdk::Runtime::Current();
    if (!runtime) {
        return false;
    }
    std::shared_ptr<sdk::HandleObject> object = runtime->Handles().Remove(handle);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    object->Abandon();
    return true;
}

void ovkReleaseBuffer(char16_t** buffer) {
    if (buffer) {
        std::free(*buffer);
        *buffer = nullptr;
    }
}

}  // namespace tavopix
