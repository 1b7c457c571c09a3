// The upload dialog against a real albumd on loopback (behind a slow relay where a test must
// act during a transfer), over the real skin page in a headless view, with real photographs: a
// dialog the test drives from inside its own message loop, and the fixture that starts the
// service and reads back what albumd stored.
#pragma once

#include <sqlite3.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "ThrottledRelay.h"
#include "app/SettingsStore.h"
#include "engine/InputRouter.h"
#include "image/PictureCodecs.h"
#include "image/PictureHeader.h"
#include "image/Resample.h"
#include "sdk/SdkTestSupport.h"
#include "support/AlbumdProcess.h"
#include "ui/UiTestSupport.h"
#include "upload/UploadDlg.h"
#include "upload/UploadMessages.h"

namespace tavopix::test {

namespace fs = std::filesystem;

inline constexpr UINT_PTR kWatchdogTimer = 4242;
inline constexpr UINT kWatchdogMs = 240000;
// A picture sent over the slow line outgrows the socket buffers (a few MiB on loopback), so its
// progress follows the line for some seconds.
inline constexpr std::size_t kSlowLine = 1024 * 1024;
inline constexpr std::size_t kLargePicture = 7 * 1024 * 1024;

class TestUploadDlg : public CUploadDlg {
public:
    using CUploadDlg::CUploadDlg;

    // Runs after the dialog handled each message, WM_CLOSE aside.
    std::function<void(TestUploadDlg&, UINT, WPARAM)> after;
    int fileReadyCount = 0;

    LRESULT OnWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                            bool& handled) override {
        if (message == WM_CLOSE && Page())
            root_ = ElementRef(Page()->Root());  // the page as it was, for the checks after the run
        const LRESULT result =
            CUploadDlg::OnWindowMessage(window, message, wParam, lParam, handled);
        if (message == WM_UPLOAD_BEGIN)
            SetTimer(window, kWatchdogTimer, kWatchdogMs);
        if (message == WM_UPLOAD_FILE_READY)
            ++fileReadyCount;
        if (message == WM_TIMER && wParam == kWatchdogTimer) {
            ADD_FAILURE() << "the run did not end; status line: " << Utf8(Text(u"info_upload"));
            Close();
        } else if (message != WM_CLOSE && after) {
            after(*this, message, wParam);
        }
        return result;
    }

    Element* ById(std::u16string_view id) const {
        return (Page() ? Page()->Root() : root_.get())->FindById(id);
    }
    std::u16string Text(std::u16string_view id) const { return ById(id)->InnerText(); }
    Element* Task(std::size_t index) const { return ById(u"task_list")->Child(index); }
    std::u16string Status(std::size_t index) const {
        return Task(index)->FindFirst("div.sts")->InnerText();
    }
    std::u16string Tooltip(std::size_t index) const {
        const std::u16string* tooltip = Task(index)->GetAttribute("title");
        return tooltip ? *tooltip : u"";
    }
    std::u16string Display(std::u16string_view id) const {
        const std::u16string* display = ById(id)->GetStyleAttribute("display");
        return display ? *display : u"";
    }
    int Progress() const { return std::stoi(Utf8(ById(u"pro_upload")->Value())); }
    void Click(std::u16string_view id) {
        Element* target = ById(id);
        EventDispatcher::Of(*target)->SendEvent(*target, BUTTON_CLICK);
    }
    // A press on the close icon of a queue item, with the mouse over it.
    void PressClose(std::size_t index) {
        Element* icon = Task(index)->FindFirst("p.close");
        MouseInput press;
        press.cmd = MOUSE_DOWN;
        press.target = icon->GetUid();
        press.buttonState = MAIN_MOUSE_BUTTON;
        EventDispatcher::Of(*icon)->Input().Mouse(press);
    }
    void Close() { PostMessage(GetHwnd(), WM_CLOSE, 0, 0); }
    bool Over() const {
        const std::u16string line = Text(u"info_upload");
        return line == u"所有图片已上传成功" || line.starts_with(u"上传完成") ||
               line.starts_with(u"上传停止");
    }

private:
    ElementRef root_;
};

// A row albumd keeps for each picture it acknowledged, in upload order.
struct StoredPicture {
    std::string id;
    std::string title;
    std::string file;
};

class UploadDlgTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        const char* photos = std::getenv("TAVOPIX_PHOTOS");
        if (!photos)
            GTEST_SKIP() << "TAVOPIX_PHOTOS is not set";
        photos_ = fs::path(photos) / "real";
        // Ten cells a row and three rows in view, as the real page shows them.
        view_.SetScrollInfo("#task_list", ScrollInfo{{0, 0}, {14, 80, 668, 254}, {654, 174}});
    }

    void TearDown() override {
        sdk_.reset();
        relay_.reset();
        albumd_.reset();
        appContext.serviceSession = 0;
        UiTest::TearDown();
    }

    // albumd with user alice (and `setup` run on its data), the SDK logged in as alice through
    // a slow relay when `slow`, and one album.
    void StartService(const std::vector<std::string>& arguments = {},
                      const std::vector<std::vector<std::string>>& setup = {}, bool slow = false) {
        albumd_ = AlbumdProcess::Start({"alice"}, arguments, setup);
        ASSERT_TRUE(albumd_);
        std::string address = albumd_->BaseAddress();
        if (slow) {
            relay_ = std::make_unique<ThrottledRelay>(PortOf(address), kSlowLine);
            address = relay_->BaseAddress();
        }
        sdk_ = std::make_unique<SdkSession>(address);
        ASSERT_EQ(sdk_->Login("alice", "secret-pw"), 1u);
        appContext.serviceSession = sdk_->Session();
        const ApiReply created = CallOpenApi(sdk_->Session(), OVK_API_ALBUM_CREATE, u"",
                                             u"{\"album_name\":\"trip\",\"privacy_lev\":\"1\"}");
        ASSERT_EQ(created.status, 200u) << U8(created.text);
        const std::size_t at = created.text.find(u"\"album_id\":\"") + 12;
        album_ = created.text.substr(at, created.text.find(u'"', at) - at);
    }

    // A copy of the photograph `name` in the program folder, called `as`.
    std::u16string Photo(const std::string& name, const std::string& as) {
        fs::copy_file(photos_ / name, folder_.Path(as), fs::copy_options::overwrite_existing);
        return FromUtf8(folder_.Path(as));
    }
    // The photograph `name` as `as`, padded after its end to kLargePicture bytes: a real
    // picture to every reader, and a long transfer (sent as it is, at full size).
    std::u16string LargePhoto(const std::string& name, const std::string& as) {
        Bytes bytes = ReadPhoto(name);
        bytes.resize(kLargePicture, 0);
        return Write(as, bytes);
    }
    Bytes ReadPhoto(const std::string& name) const {
        std::ifstream file(photos_ / name, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(file), {});
    }
    std::u16string Write(const std::string& as, const Bytes& bytes) {
        std::ofstream(folder_.Path(as), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return FromUtf8(folder_.Path(as));
    }

    std::vector<StoredPicture> Stored() const {
        std::vector<StoredPicture> rows;
        sqlite3* db = nullptr;
        const std::string path = albumd_->DataFolder() + "/albumd.db";
        if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
            sqlite3_stmt* select = nullptr;
            sqlite3_prepare_v2(db, "SELECT id, title, file FROM photos ORDER BY id", -1, &select,
                               nullptr);
            while (select && sqlite3_step(select) == SQLITE_ROW) {
                const auto column = [select](int i) {
                    return std::string(
                        reinterpret_cast<const char*>(sqlite3_column_text(select, i)));
                };
                rows.push_back({column(0), column(1), column(2)});
            }
            sqlite3_finalize(select);
        }
        sqlite3_close(db);
        return rows;
    }

    // The stored file (albumd keeps it under photos/ by the name in its row).
    PictureHeader StoredHeader(const StoredPicture& picture) const {
        const fs::path file = fs::path(albumd_->DataFolder()) / "photos" / picture.file;
        const std::optional<PictureHeader> header = ReadPictureHeaderOfFile(file.string());
        EXPECT_TRUE(header) << file;
        return header.value_or(PictureHeader{});
    }

    std::u16string Home() const { return U16(albumd_->BaseAddress()); }

    fs::path photos_;
    std::unique_ptr<AlbumdProcess> albumd_;
    std::unique_ptr<ThrottledRelay> relay_;
    std::unique_ptr<SdkSession> sdk_;
    std::u16string album_;
    UploadedRegistry registry_{u""};
};

}  // namespace tavopix::test
