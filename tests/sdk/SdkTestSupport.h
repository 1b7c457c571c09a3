// Helpers of the SDK's service tests: an SDK started against a given service address, and a
// recorder for the callbacks that checks where and when they arrive.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sdk/OvkSdk.h"

namespace tavopix::test {

struct RecordedEvent {
    std::uint32_t event = 0;  // the event code, or a completion's result
    std::uint64_t value = 0;
    std::uint64_t total = 0;
    std::uint32_t lastError = 0;  // the calling thread's last error during the callback
    std::thread::id thread;
};

class EventRecorder {
public:
    static void OnCompletion(void* self, std::uint32_t result);
    static void OnUpload(void* self, std::uint32_t event, std::uint64_t value);
    static void OnDownload(void* self, std::uint32_t event, std::uint64_t received,
                           std::uint64_t total);

    // Waits for a completion, or an upload's or download's end event; false on time-out.
    bool WaitForEnd(std::chrono::milliseconds limit = std::chrono::seconds(60));
    // Waits for the first event of `code`.
    bool WaitForEvent(std::uint32_t code, std::chrono::milliseconds limit);

    // From now on every callback counts as a late one.
    void CloseGate();
    int LateEvents() const;

    std::vector<RecordedEvent> Events() const;

private:
    void Record(std::uint32_t event, std::uint64_t value, std::uint64_t total, bool isEnd);

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<RecordedEvent> events_;
    bool ended_ = false;
    bool gateClosed_ = false;
    int lateEvents_ = 0;
};

// UTF-16 of an ASCII or UTF-8 text, and back.
std::u16string U16(const std::string& utf8);
std::string U8(const std::u16string& text);

// Configuration that sends every upload as one request, never in resumable pieces.
inline constexpr const char* kOneRequestUploads = "[uploads]\nresumable_from = 1099511627776\n";

// Starts the SDK with an "ovkCfg.ini" (in a temporary folder) naming `serviceAddress`, with
// `moreConfig` (sections of its own) after it, and creates a session; ovkCleanup when it goes.
class SdkSession {
public:
    explicit SdkSession(const std::string& serviceAddress, const std::string& moreConfig = {});
    ~SdkSession();
    SdkSession(const SdkSession&) = delete;
    SdkSession& operator=(const SdkSession&) = delete;

    ServiceSession Session() const { return session_; }
    const std::string& Folder() const { return folder_; }

    // A password login that waits for its completion; the completion's result.
    std::uint32_t Login(const std::string& user, const std::string& password,
                        const std::string& machineKey = "test-machine-key-00",
                        std::uint32_t timeoutMs = 30000);

private:
    std::string folder_;
    ServiceSession session_ = 0;
};

// An OpenApi request run to its end: status and reply text.
struct ApiReply {
    std::uint32_t result = 0;
    std::uint32_t status = 0;
    std::u16string text;
};
ApiReply CallOpenApi(ServiceSession session, std::uint32_t apiCode, const std::u16string& first,
                     const std::u16string& second, std::uint32_t timeoutMs = 30000);

// Writes `size` bytes that albumd takes for a JPEG picture (its signature, then noise).
void WritePictureFile(const std::string& path, std::size_t size, unsigned seed = 1);

}  // namespace tavopix::test
