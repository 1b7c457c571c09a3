#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <random>

#include "platform/LastError.h"
#include "sdk/LoopbackServer.h"
#include "sdk/OvkErrors.h"
#include "sdk/OvkSdk.h"
#include "sdk/SdkTestSupport.h"
#include "support/AlbumdProcess.h"
#include "support/WaitUntil.h"

namespace tavopix::test {
namespace {

using namespace std::chrono_literals;

// The value of "key" in a reply (quoted string values only).
std::u16string ValueOf(const std::u16string& reply, const std::u16string& key) {
    std::size_t at = reply.find(u"\"" + key + u"\":\"");
    if (at == std::u16string::npos) {
        return {};
    }
    at += key.size() + 4;
    return reply.substr(at, reply.find(u'"', at) - at);
}

std::u16string CreateAlbum(ServiceSession session, const std::u16string& name) {
    ApiReply created = CallOpenApi(session, OVK_API_ALBUM_CREATE, u"",
                                   u"{\"album_name\":\"" + name + u"\",\"privacy_lev\":\"1\"}");
    EXPECT_EQ(created.status, 200u) << U8(created.text);
    return ValueOf(created.text, u"album_id");
}

struct UploadRun {
    OvkHandle handle = 0;
    EventRecorder recorder;
};

// Creates and starts an upload of `path`; the handle stays open.
void StartUpload(UploadRun& run, ServiceSession session, const std::string& path,
                 const std::u16string& albumId, std::uint32_t intervalMs = 0,
                 std::uint32_t timeoutMs = 30000) {
    std::u16string file = U16(path);
    UploadRequest request;
    request.session = session;
    request.filePath = file.c_str();
    request.albumId = albumId.c_str();
    request.title = u"a \\\"title\\\"";
    request.callback = &EventRecorder::OnUpload;
    request.progressIntervalMs = intervalMs;
    request.context = &run.recorder;
    run.handle = ovkImgUploadCreate(&request);
    ASSERT_NE(run.handle, 0u) << GetLastError();
    ASSERT_TRUE(ovkImgUploadStart(run.handle, timeoutMs)) << GetLastError();
}

// The reply of a finished upload: status and decoded text.
std::pair<std::uint32_t, std::u16string> ReplyOf(OvkHandle handle) {
    char16_t* reply = nullptr;
    std::uint32_t status = 0;
    std::u16string text;
    if (ovkImgUploadInfo(handle, 0, &reply, &status)) {
        ovkDecodeJsonW(reply, reply);
        text = reply;
    }
    ovkReleaseBuffer(&reply);
    return {status, text};
}

class UploadTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        albumd = AlbumdProcess::Start({"alice", "carol", "dave"}, {},
                                      {{"limits", "--space", "8K", "--user", "carol"},
                                       {"limits", "--pictures", "1", "--user", "dave"}});
    }
    static void TearDownTestSuite() { albumd.reset(); }
    void SetUp() override { ASSERT_TRUE(albumd); }

    static inline std::unique_ptr<AlbumdProcess> albumd;
};

TEST_F(UploadTest, EventsComeInOrderWithGrowingByteCounts) {
    SdkSession sdk(albumd->BaseAddress());
    ASSERT_EQ(sdk.Login("alice", "secret-pw"), 1u);
    std::u16string album = CreateAlbum(sdk.Session(), u"uploads");
    constexpr std::size_t kSize = 6 * 1024 * 1024;
    WritePictureFile(sdk.Folder() + "big.jpg", kSize);
    UploadRun run;
    StartUpload(run, sdk.Session(), sdk.Folder() + "big.jpg", album);
    ASSERT_TRUE(run.recorder.WaitForEnd());

    std::vector<RecordedEvent> events = run.recorder.Events();
    ASSERT_GE(events.size(), 3u);
    EXPECT_EQ(events.front().event, OVK_EVENT_BEGIN);
    EXPECT_EQ(events.back().event, OVK_EVENT_SUCCEEDED);
    EXPECT_EQ(events.back().value, kSize);
    EXPECT_EQ(events.back().lastError, ERROR_SUCCESS);
    std::uint64_t previous = 0;
    for (std::size_t i = 1; i + 1 < events.size(); ++i) {
        EXPECT_EQ(events[i].event, OVK_EVENT_PROGRESS);
        EXPECT_GT(events[i].value, previous);
        EXPECT_LE(events[i].value, kSize);
        previous = events[i].value;
    }
    for (const RecordedEvent& event : events) {
        EXPECT_EQ(event.thread, events.front().thread);
        EXPECT_NE(event.thread, std::this_thread::get_id());
    }
    auto [status, reply] = ReplyOf(run.handle);
    EXPECT_EQ(status, 200u);
    EXPECT_EQ(ValueOf(reply, u"file_url").rfind(U16(albumd->BaseAddress()) + u"u/alice/", 0), 0u)
        << U8(reply);
    EXPECT_FALSE(ovkImgUploadStart(run.handle, 30000));
    EXPECT_EQ(GetLastError(), ERROR_BUSY);
    EXPECT_TRUE(ovkCloseHandle(run.handle));
}

TEST_F(UploadTest, FullSpaceIs413WithItsMessage) {
    SdkSession sdk(albumd->BaseAddress());
    ASSERT_EQ(sdk.Login("carol", "secret-pw"), 1u);
    std::u16string album = CreateAlbum(sdk.Session(), u"small");
    WritePictureFile(sdk.Folder() + "p.jpg", 64 * 1024);
    UploadRun run;
    StartUpload(run, sdk.Session(), sdk.Folder() + "p.jpg", album);
    ASSERT_TRUE(run.recorder.WaitForEnd());
    EXPECT_EQ(run.recorder.Events().back().event, OVK_EVENT_FAILED);
    EXPECT_EQ(run.recorder.Events().back().lastError, 413u);
    auto [status, reply] = ReplyOf(run.handle);
    EXPECT_EQ(status, 413u);
    EXPECT_EQ(ValueOf(reply, u"msg"), u"空间已满");
    EXPECT_TRUE(ovkCloseHandle(run.handle));
}

TEST_F(UploadTest, FullAlbumIs414WithItsMessage) {
    SdkSession sdk(albumd->BaseAddress());
    ASSERT_EQ(sdk.Login("dave", "secret-pw"), 1u);
    std::u16string album = CreateAlbum(sdk.Session(), u"one");
    WritePictureFile(sdk.Folder() + "p.jpg", 4096);
    UploadRun first;
    StartUpload(first, sdk.Session(), sdk.Folder() + "p.jpg", album);
    ASSERT_TRUE(first.recorder.WaitForEnd());
    EXPECT_EQ(first.recorder.Events().back().event, OVK_EVENT_SUCCEEDED);
    UploadRun second;
    StartUpload(second, sdk.Session(), sdk.Folder() + "p.jpg", album);
    ASSERT_TRUE(second.recorder.WaitForEnd());
    EXPECT_EQ(second.recorder.Events().back().event, OVK_EVENT_FAILED);
    auto [status, reply] = ReplyOf(second.handle);
    EXPECT_EQ(status, 414u);
    EXPECT_EQ(ValueOf(reply, u"msg"), u"相册图片数量已达上限");
    ovkCloseHandle(first.handle);
    ovkCloseHandle(second.handle);
}

TEST_F(UploadTest, FilesThatCannotBeSentAreRefusedAtStart) {
    SdkSession sdk(albumd->BaseAddress());
    UploadRequest request;
    request.session = sdk.Session();
    request.filePath = u"/nonexistent/picture.jpg";
    request.albumId = u"1";
    request.callback = &EventRecorder::OnUpload;
    OvkHandle handle = ovkImgUploadCreate(&request);
    ASSERT_NE(handle, 0u);
    EXPECT_FALSE(ovkImgUploadStart(handle, 30000));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(ovkCloseHandle(handle));
    request.session = handle;  // no longer a handle at all
    EXPECT_EQ(ovkImgUploadCreate(&request), 0u);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(UploadTest, ClosingRacesWithTheEventsButNoneArrivesAfterIt) {
    SdkSession sdk(albumd->BaseAddress());
    ASSERT_EQ(sdk.Login("alice", "secret-pw"), 1u);
    std::u16string album = CreateAlbum(sdk.Session(), u"race");
    WritePictureFile(sdk.Folder() + "p.jpg", 512 * 1024);
    std::mt19937 random(7);
    // Every callback runs on the one transfer thread, so once the next run's first event has
    // come, a late event of the closed run would have come before it.
    auto closed = std::make_unique<UploadRun>();
    for (int round = 0; round < 20; ++round) {
        auto run = std::make_unique<UploadRun>();
        StartUpload(*run, sdk.Session(), sdk.Folder() + "p.jpg", album);
        if (round > 0) {
            ASSERT_TRUE(run->recorder.WaitForEvent(OVK_EVENT_BEGIN, 20s));
            EXPECT_EQ(closed->recorder.LateEvents(), 0) << round;
        }
        // Closed at a different moment of the transfer each round.
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 20000));
        EXPECT_TRUE(ovkCloseHandle(run->handle));
        run->recorder.CloseGate();
        closed = std::move(run);
    }
    UploadRun last;  // the SDK still works after all that
    StartUpload(last, sdk.Session(), sdk.Folder() + "p.jpg", album);
    ASSERT_TRUE(last.recorder.WaitForEnd());
    EXPECT_EQ(closed->recorder.LateEvents(), 0);
    EXPECT_EQ(last.recorder.Events().back().event, OVK_EVENT_SUCCEEDED);
    ovkCloseHandle(last.handle);
}

TEST(UploadFaultTest, AServerFaultIs500WithItsMessage) {
    std::unique_ptr<AlbumdProcess> albumd =
        AlbumdProcess::Start({"alice"}, {"--fault", "upload=500"});
    ASSERT_TRUE(albumd);
    SdkSession sdk(albumd->BaseAddress());
    ASSERT_EQ(sdk.Login("alice", "secret-pw"), 1u);
    std::u16string album = CreateAlbum(sdk.Session(), u"faulty");
    WritePictureFile(sdk.Folder() + "p.jpg", 4096);
    UploadRun run;
    StartUpload(run, sdk.Session(), sdk.Folder() + "p.jpg", album);
    ASSERT_TRUE(run.recorder.WaitForEnd());
    EXPECT_EQ(run.recorder.Events().back().event, OVK_EVENT_FAILED);
    auto [status, reply] = ReplyOf(run.handle);
    EXPECT_EQ(status, 500u);
    EXPECT_FALSE(ValueOf(reply, u"msg").empty()) << U8(reply);
    ovkCloseHandle(run.handle);
}

TEST(UploadNoAnswerTest, ASilentServiceEndsWithStatusZero) {
    LoopbackServer silent;
    SdkSession sdk(silent.BaseAddress());
    WritePictureFile(sdk.Folder() + "p.jpg", 4096);
    UploadRun run;
    StartUpload(run, sdk.Session(), sdk.Folder() + "p.jpg", u"1", 0, 100);
    ASSERT_TRUE(run.recorder.WaitForEnd(20s));
    std::vector<RecordedEvent> events = run.recorder.Events();
    EXPECT_EQ(events.front().event, OVK_EVENT_BEGIN);
    EXPECT_EQ(events.back().event, OVK_EVENT_FAILED);
    EXPECT_EQ(events.back().lastError, OVK_ERROR_TIMEOUT);
    char16_t* reply = nullptr;
    std::uint32_t status = 99;
    EXPECT_FALSE(ovkImgUploadInfo(run.handle, 0, &reply, &status));
    EXPECT_EQ(status, 0u);
    EXPECT_EQ(reply, nullptr);
    ovkCloseHandle(run.handle);
}

TEST(UploadNoAnswerTest, NoEventAfterCloseDuringTheTransfer) {
    LoopbackServer silent;  // never reads: the body stalls once the socket buffers are full
    // Sent as one request, not in pieces, so its body is under way when the handle closes.
    SdkSession sdk(silent.BaseAddress(), kOneRequestUploads);
    WritePictureFile(sdk.Folder() + "big.jpg", 32 * 1024 * 1024);
    UploadRun run;
    // Long enough for libcurl to give up waiting for "100 Continue" and send the body.
    StartUpload(run, sdk.Session(), sdk.Folder() + "big.jpg", u"1", 0, 2500);
    ASSERT_TRUE(run.recorder.WaitForEvent(OVK_EVENT_PROGRESS, 20s));
    EXPECT_TRUE(ovkCloseHandle(run.handle));
    run.recorder.CloseGate();
    // The transfer thread takes a cancellation before the work queued after it, so once a later
    // upload has ended on its own short time-out, the closed one is gone with its time-out.
    WritePictureFile(sdk.Folder() + "small.jpg", 4096);
    UploadRun later;
    StartUpload(later, sdk.Session(), sdk.Folder() + "small.jpg", u"1", 0, 50);
    ASSERT_TRUE(later.recorder.WaitForEnd(20s));
    EXPECT_EQ(run.recorder.LateEvents(), 0);
    ovkCloseHandle(later.handle);
}

TEST(UploadNoAnswerTest, CleanupAbandonsEveryRunningOperation) {
    LoopbackServer silent;
    UploadRun upload;
    EventRecorder login;
    std::optional<SdkSession> sdk(std::in_place, silent.BaseAddress());
    EXPECT_TRUE(ovkStartup());  // a second start changes nothing
    WritePictureFile(sdk->Folder() + "p.jpg", 4096);
    StartUpload(upload, sdk->Session(), sdk->Folder() + "p.jpg", u"1", 0, 1000);
    OvkTicketParams params{u"2", u"key", u"ticket", &EventRecorder::OnCompletion, &login};
    ASSERT_TRUE(ovkTicketLoginStart(sdk->Session(), &params, 1000));
    ASSERT_TRUE(upload.recorder.WaitForEvent(OVK_EVENT_BEGIN, 20s));
    sdk.reset();  // ovkCleanup
    upload.recorder.CloseGate();
    login.CloseGate();
    // Every connection the SDK opened is let go: nothing is left to time out.
    ASSERT_TRUE(WaitUntil([&] { return silent.ClosedByClient() == silent.Connections(); }));
    EXPECT_EQ(upload.recorder.LateEvents(), 0);
    EXPECT_TRUE(login.Events().empty());
    EXPECT_TRUE(ovkCleanup());  // and a second cleanup as well
    EXPECT_FALSE(ovkIsLog(1));
    EXPECT_EQ(GetLastError(), ERROR_NOT_READY);
}

}  // namespace
}  // namespace tavopix::test
