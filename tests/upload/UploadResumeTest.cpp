// A large original sent in pieces while albumd is stopped for five seconds and started again:
// the picture shows 重新连接 with the speed at 0, goes on by itself from what albumd holds, and
// the bytes albumd was handed stay near the picture's size. Run under the thread sanitizer too.
#include <thread>

#include "UploadDialogFixture.h"

namespace tavopix::test {
namespace {

constexpr std::size_t kOriginal = 20 * 1024 * 1024;
constexpr std::size_t kLine = 8 * 1024 * 1024;  // bytes per second to albumd
constexpr std::uint64_t kStopAfter = 6 * 1024 * 1024;

TEST_F(UploadDlgTest, AStoppedAndRestartedServiceIsWaitedForAndTheUploadGoesOn) {
    ASSERT_NO_FATAL_FAILURE(StartService());
    // The SDK talks to albumd through a relay that counts what albumd is handed.
    relay_ = std::make_unique<ThrottledRelay>(PortOf(albumd_->BaseAddress()), kLine);
    sdk_.reset();
    sdk_ = std::make_unique<SdkSession>(relay_->BaseAddress());
    ASSERT_EQ(sdk_->Login("alice", "secret-pw"), 1u);
    appContext.serviceSession = sdk_->Session();
    Bytes bytes = ReadPhoto("Dragonfly_by_Bolly.jpg");
    bytes.resize(kOriginal, 0);
    const std::vector<std::u16string> paths = {Write("big.jpg", bytes)};

    std::thread outage;
    bool reconnectShown = false;
    bool speedZero = false;
    bool timedOut = false;
    TestUploadDlg dialog(registry_, album_, 1, paths, nullptr);
    dialog.after = [&](TestUploadDlg& self, UINT message, WPARAM wParam) {
        if (message == WM_UPLOAD_PROGRESS && !outage.joinable() &&
            relay_->BytesToServer() > kStopAfter) {
            outage = std::thread([this] {
                albumd_->Stop();
                std::this_thread::sleep_for(std::chrono::seconds(5));
                ASSERT_TRUE(albumd_->Listen());
                relay_->RetargetTo(albumd_->Port());
            });
        } else if (message == WM_UPLOAD_PROGRESS && wParam == OVK_EVENT_WAITING) {
            reconnectShown = self.Status(0) == u"重新连接";
            speedZero = self.Text(u"info_upload").ends_with(u"速度:0.00KB/s.");
        } else if (message == WM_UPLOAD_RESULT) {
            timedOut = self.ById(u"task_list")->FindFirst("p.txt_timeout") != nullptr;
            self.Close();
        }
    };
    dialog.Run(SW_SHOWNORMAL);
    if (outage.joinable())
        outage.join();

    EXPECT_TRUE(reconnectShown);
    EXPECT_TRUE(speedZero);
    EXPECT_FALSE(timedOut);
    EXPECT_EQ(dialog.Text(u"done_title"), u"已完成(1)");
    const std::vector<StoredPicture> stored = Stored();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(fs::file_size(fs::path(albumd_->DataFolder()) / "photos" / stored[0].file),
              kOriginal);
    RecordProperty("bytes_to_albumd", std::to_string(relay_->BytesToServer()));
    // Resumed from what albumd held, not sent again from the first byte.
    EXPECT_LT(relay_->BytesToServer(), kOriginal * 13 / 10);
    EXPECT_GT(relay_->BytesToServer(), kOriginal);
}

}  // namespace
}  // namespace tavopix::test
