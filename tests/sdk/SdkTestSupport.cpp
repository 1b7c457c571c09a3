#include "sdk/SdkTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "platform/LastError.h"
#include "platform/Utf8.h"

namespace tavopix::test {

void EventRecorder::OnCompletion(void* self, std::uint32_t result) {
    static_cast<EventRecorder*>(self)->Record(result, 0, 0, true);
}

void EventRecorder::OnUpload(void* self, std::uint32_t event, std::uint64_t value) {
    static_cast<EventRecorder*>(self)->Record(
        event, value, 0, event == OVK_EVENT_SUCCEEDED || event == OVK_EVENT_FAILED);
}

void EventRecorder::OnDownload(void* self, std::uint32_t event, std::uint64_t received,
                               std::uint64_t total) {
    static_cast<EventRecorder*>(self)->Record(
        event, received, total, event == OVK_EVENT_SUCCEEDED || event == OVK_EVENT_FAILED);
}

void EventRecorder::Record(std::uint32_t event, std::uint64_t value, std::uint64_t total,
                           bool isEnd) {
    std::lock_guard lock(mutex_);
    if (gateClosed_) {
        ++lateEvents_;
    }
    events_.push_back({event, value, total, GetLastError(), std::this_thread::get_id()});
    ended_ = ended_ || isEnd;
    changed_.notify_all();
}

bool EventRecorder::WaitForEnd(std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return ended_; });
}

bool EventRecorder::WaitForEvent(std::uint32_t code, std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] {
        for (const RecordedEvent& recorded : events_) {
            if (recorded.event == code) {
                return true;
            }
        }
        return false;
    });
}

void EventRecorder::CloseGate() {
    std::lock_guard lock(mutex_);
    gateClosed_ = true;
}

int EventRecorder::LateEvents() const {
    std::lock_guard lock(mutex_);
    return lateEvents_;
}

std::vector<RecordedEvent> EventRecorder::Events() const {
    std::lock_guard lock(mutex_);
    return events_;
}

std::u16string U16(const std::string& utf8) {
    return Utf8ToUtf16(utf8);
}

std::string U8(const std::u16string& text) {
    return Utf16ToUtf8(text);
}

SdkSession::SdkSession(const std::string& serviceAddress, const std::string& moreConfig) {
    std::string pattern = (std::filesystem::temp_directory_path() / "sdk-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        ADD_FAILURE() << "no temporary folder";
        return;
    }
    folder_ = pattern + "/";
    std::ofstream(folder_ + "ovkCfg.ini")
        << "[service]\nalbum_service = " << serviceAddress << "\n[timeouts]\nconnect_ms = 5000\n"
        << moreConfig;
    EXPECT_TRUE(ovkStartup());
    EXPECT_TRUE(ovkLoadCfg(U16(folder_ + "ovkCfg.ini").c_str())) << GetLastError();
    session_ = ovkCreateSession();
    EXPECT_NE(session_, 0u);
}

SdkSession::~SdkSession() {
    EXPECT_TRUE(ovkCleanup());
    if (!folder_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
}

std::uint32_t SdkSession::Login(const std::string& user, const std::string& password,
                                const std::string& machineKey, std::uint32_t timeoutMs) {
    EventRecorder recorder;
    std::u16string name = U16(user);
    std::u16string secret = U16(password);
    std::u16string key = U16(machineKey);
    OvkLoginParams params;
    params.userName = name.c_str();
    params.password = secret.c_str();
    params.appId = u"2";
    params.machineKey = key.c_str();
    params.completion = &EventRecorder::OnCompletion;
    params.context = &recorder;
    EXPECT_TRUE(ovkLoginStart(session_, &params, timeoutMs)) << GetLastError();
    EXPECT_TRUE(recorder.WaitForEnd());
    std::vector<RecordedEvent> events = recorder.Events();
    return events.empty() ? 0xFFFFFFFFu : events.front().event;
}

ApiReply CallOpenApi(ServiceSession session, std::uint32_t apiCode, const std::u16string& first,
                     const std::u16string& second, std::uint32_t timeoutMs) {
    ApiReply reply;
    OvkApiRequest request{apiCode, first.c_str(), second.c_str()};
    OvkHandle handle = ovkOpenApiAsynInit(session, &request, timeoutMs);
    EXPECT_NE(handle, 0u) << GetLastError();
    EventRecorder recorder;
    OvkCallbackSpec callback{&recorder, &EventRecorder::OnCompletion};
    EXPECT_TRUE(ovkOpenApiAsynCall(handle, &callback)) << GetLastError();
    EXPECT_TRUE(recorder.WaitForEnd());
    reply.result = recorder.Events().empty() ? 0xFFFFFFFFu : recorder.Events().front().event;
    std::uint32_t length = 0;
    char16_t* text = nullptr;
    EXPECT_TRUE(ovkOpenApiAsynGetRtn(handle, &reply.status, &length, &text));
    if (length > 0) {
        ovkDecodeJsonW(text, text);
        reply.text = text;
    }
    ovkReleaseBuffer(&text);
    EXPECT_TRUE(ovkCloseHandle(handle));
    return reply;
}

void WritePictureFile(const std::string& path, std::size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    std::mt19937 random(seed);
    for (std::size_t i = 0; i < size; i += sizeof(std::uint32_t)) {
        std::uint32_t noise = random();
        std::memcpy(bytes.data() + i, &noise, std::min(sizeof noise, size - i));
    }
    bytes.replace(0, std::min<std::size_t>(4, size), std::string("\xFF\xD8\xFF\xE0", 4), 0,
                  std::min<std::size_t>(4, size));
    std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace tavopix::test
