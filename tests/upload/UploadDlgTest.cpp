// The upload dialog end to end: real albumd on loopback (behind a slow relay where a test must
// act during a transfer), the real skin page in a headless view, real photographs. Each case
// drives the dialog from inside its own message loop and checks the page, the registry and
// what albumd stored.
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
namespace {

namespace fs = std::filesystem;

constexpr UINT_PTR kWatchdogTimer = 4242;
constexpr UINT kWatchdogMs = 240000;
// A picture sent over the slow line outgrows the socket buffers (a few MiB on loopback), so its
// progress follows the line for some seconds.
constexpr std::size_t kSlowLine = 1024 * 1024;
constexpr std::size_t kLargePicture = 7 * 1024 * 1024;

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
            sqlite3_prepare_v2(db, "SELECT title, file FROM photos ORDER BY id", -1, &select,
                               nullptr);
            while (select && sqlite3_step(select) == SQLITE_ROW) {
                rows.push_back({reinterpret_cast<const char*>(sqlite3_column_text(select, 0)),
                                reinterpret_cast<const char*>(sqlite3_column_text(select, 1))});
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

TEST_F(UploadDlgTest, ThreePicturesArriveWithTheirTitlesNewestFirst) {
    StartService();
    const std::vector<std::u16string> paths = {Photo("coffee.png", "a.png"),
                                               Photo("Wine_by_Jakkub_Mede.jpg", "b.jpg"),
                                               Photo("chelsea.png", ".png")};
    TestUploadDlg dialog(registry_, album_, 0, paths, nullptr);
    std::u16string copied;
    dialog.after = [&](TestUploadDlg& self, UINT, WPARAM) {
        if (!self.Over())
            return;
        EXPECT_EQ(self.Text(u"info_upload"), u"所有图片已上传成功");
        EXPECT_EQ(self.Text(u"task_title"), u"未完成(0)");
        EXPECT_EQ(self.Text(u"done_title"), u"已完成(3)");
        EXPECT_EQ(self.Progress(), 100);
        EXPECT_EQ(self.Display(u"btn_pause"), u"none");
        EXPECT_EQ(self.Display(u"btn_ctn"), u"none");
        Element* link = self.ById(u"done_list")->FirstChild()->FindFirst("a.txt_link");
        EventDispatcher::Of(*link)->SendEvent(*link, HYPERLINK_CLICK);
        copied = *link->GetAttribute("url");
        self.Close();
    };
    EXPECT_EQ(dialog.Run(SW_SHOWNORMAL), FRAME_RESULT_OK);

    const std::vector<StoredPicture> stored = Stored();
    ASSERT_EQ(stored.size(), 3u);
    EXPECT_EQ(stored[0].title, "a");
    EXPECT_EQ(stored[1].title, "b.jpg");
    EXPECT_EQ(stored[2].title, ".png");
    // The newest is on top: its link is the last stored picture's address.
    EXPECT_TRUE(copied.ends_with(U16(fs::path(stored[2].file).filename().string()))) << U8(copied);
    EXPECT_EQ(view_.ClipboardText(), copied);
    EXPECT_EQ(registry_.Count(), 3u);
    for (const std::u16string& path : paths)
        EXPECT_TRUE(registry_.Contains(path));
}

TEST_F(UploadDlgTest, FittedToThe1600SideOrSentAsAJpegOfTheSameSize) {
    StartService();
    Bytes large;
    ASSERT_TRUE(EncodeJpeg(
        ResizeBitmap(*DecodeJpeg(ReadPhoto("Bridge_by_Sander_Klootwijk.jpg"), 0, 0), 3000, 2000),
        85, ChromaSubsampling::S420, large));
    Bytes bmp;
    ASSERT_TRUE(EncodeBmp(*DecodePng(ReadPhoto("chelsea.png")), bmp));

    const std::vector<std::u16string> fitted = {Write("large.jpg", large)};
    TestUploadDlg fitting(registry_, album_, 0, fitted, nullptr);
    fitting.after = [](TestUploadDlg& self, UINT, WPARAM) {
        if (self.Over())
            self.Close();
    };
    fitting.Run(SW_SHOWNORMAL);
    const std::vector<std::u16string> full = {Write("cat.bmp", bmp)};
    TestUploadDlg converting(registry_, album_, 1, full, nullptr);
    converting.after = fitting.after;
    converting.Run(SW_SHOWNORMAL);

    const std::vector<StoredPicture> stored = Stored();
    ASSERT_EQ(stored.size(), 2u);
    const PictureHeader first = StoredHeader(stored[0]);
    EXPECT_EQ(first.format, PictureFormat::Jpeg);
    EXPECT_EQ(first.width, 1600u);
    EXPECT_EQ(first.height, 1066u);
    const PictureHeader second = StoredHeader(stored[1]);
    EXPECT_EQ(second.format, PictureFormat::Jpeg);
    EXPECT_EQ(second.width, 451u);
    EXPECT_EQ(second.height, 300u);
    // The scratch file is the user's alone.
    struct stat info {};
    ASSERT_EQ(stat(folder_.Path("~uploadtmp.jpg").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

// The second of five pictures hits one of the album's limits: the run is over for good.
class UploadLimitTest : public UploadDlgTest {
protected:
    // Runs five copies of `photo` at full size, scrolls once the limit stopped the run and
    // closes after the thumbnails of that scroll.
    void RunFive(const std::string& photo, std::u16string_view line, std::u16string_view tooltip) {
        std::vector<std::u16string> paths;
        for (int i = 0; i < 5; ++i)
            paths.push_back(Photo(photo, "p" + std::to_string(i) + ".jpg"));
        TestUploadDlg dialog(registry_, album_, 1, paths, nullptr);
        bool scrolled = false;
        int preparedAtStop = -1;
        dialog.after = [&](TestUploadDlg& self, UINT message, WPARAM) {
            if (message == WM_UPLOAD_RESULT && self.Text(u"info_upload") == line && !scrolled) {
                scrolled = true;
                preparedAtStop = self.fileReadyCount;
                Element* list = self.ById(u"task_list");
                EventDispatcher::Of(*list)->SendEvent(*list, SCROLL_LIST_EVENT);
            } else if (scrolled && message == WM_UPLOAD_THUMBS_DONE) {
                self.Close();
            }
        };
        dialog.Run(SW_SHOWNORMAL);
        ASSERT_TRUE(scrolled) << Utf8(dialog.Text(u"info_upload"));
        EXPECT_EQ(dialog.fileReadyCount, preparedAtStop);  // nothing more started
        EXPECT_EQ(dialog.Text(u"done_title"), u"已完成(1)");
        EXPECT_EQ(dialog.Status(0), u"错误");
        EXPECT_EQ(dialog.Tooltip(0), tooltip);
        for (std::size_t i = 1; i < 4; ++i)
            EXPECT_EQ(dialog.Status(i), u"等待中");
        EXPECT_EQ(dialog.Display(u"btn_pause"), u"none");
        EXPECT_EQ(dialog.Display(u"btn_ctn"), u"none");
        EXPECT_EQ(Stored().size(), 1u);
        EXPECT_EQ(registry_.Count(), 1u);
        EXPECT_TRUE(registry_.Contains(paths[0]));
    }
};

TEST_F(UploadLimitTest, AFullAlbumAnswers414) {
    StartService({}, {{"limits", "--pictures", "1"}});
    RunFive("Wine_by_Jakkub_Mede.jpg", u"相册中图片数量达到上限,请选择或新建其他相册继续上传",
            u"相册图片数量已达上限");
}

TEST_F(UploadLimitTest, AFullSpaceAnswers413) {
    const auto size = fs::file_size(photos_ / "Wine_by_Jakkub_Mede.jpg");
    StartService({}, {{"limits", "--space", std::to_string(2 * size - 1)}});
    RunFive("Wine_by_Jakkub_Mede.jpg", u"相册空间已满,请升级您的相册,更多信息敬请访问 " + Home(),
            u"空间已满");
}

TEST_F(UploadDlgTest, AServerFaultNamesTheHomePageAndTheRunGoesOn) {
    StartService({"--fault", "upload=500"});
    const std::vector<std::u16string> paths = {Photo("chelsea.png", "c1.png"),
                                               Photo("coffee.png", "c2.png")};
    TestUploadDlg dialog(registry_, album_, 0, paths, nullptr);
    dialog.after = [&](TestUploadDlg& self, UINT, WPARAM) {
        if (!self.Over())
            return;
        EXPECT_EQ(self.Text(u"info_upload"),
                  u"上传完成,部分图片上传失败. 查看错误信息,请将鼠标停于相应的图标上");
        for (std::size_t i = 0; i < 2; ++i) {
            EXPECT_EQ(self.Status(i), u"错误");
            EXPECT_EQ(self.Tooltip(i), u"相册服务器异常,请访问" + Home());
        }
        self.Close();
    };
    EXPECT_EQ(dialog.Run(SW_SHOWNORMAL), FRAME_RESULT_CLOSED);
    EXPECT_EQ(registry_.Count(), 0u);
}

TEST_F(UploadDlgTest, AStoppedServiceTimesOutAndContinueSendsAgain) {
    StartService({}, {}, true);
    const std::vector<std::u16string> paths = {
        LargePhoto("Bridge_by_Sander_Klootwijk.jpg", "b.jpg")};
    TestUploadDlg dialog(registry_, album_, 1, paths, nullptr);
    int results = 0;
    dialog.after = [&](TestUploadDlg& self, UINT message, WPARAM) {
        if (message == WM_UPLOAD_PROGRESS && albumd_) {
            albumd_.reset();
        } else if (message == WM_UPLOAD_RESULT && ++results == 1) {
            EXPECT_EQ(self.Status(0), u"超时");
            EXPECT_EQ(self.Tooltip(0), u"网络传输超时");
            EXPECT_EQ(self.Text(u"info_upload"),
                      u"上传停止,部分图片未上传或上传超时. 请按继续按钮重传");
            EXPECT_EQ(self.Display(u"btn_ctn"), u"block");
            self.Click(u"btn_ctn");
            EXPECT_EQ(self.Status(0), u"上传中");
            EXPECT_EQ(self.Display(u"btn_pause"), u"block");
        } else if (message == WM_UPLOAD_RESULT) {
            EXPECT_EQ(self.Status(0), u"超时");
            self.Close();
        }
    };
    dialog.Run(SW_SHOWNORMAL);
    EXPECT_EQ(results, 2);
    EXPECT_EQ(dialog.fileReadyCount, 2);
    EXPECT_EQ(registry_.Count(), 0u);
}

TEST_F(UploadDlgTest, PauseStopsTheTransferAndContinueSendsItFromTheStart) {
    StartService({}, {}, true);
    const std::vector<std::u16string> paths = {
        LargePhoto("Bridge_by_Sander_Klootwijk.jpg", "b.jpg"), Photo("chelsea.png", "c.png")};
    TestUploadDlg dialog(registry_, album_, 1, paths, nullptr);
    bool paused = false;
    dialog.after = [&](TestUploadDlg& self, UINT message, WPARAM) {
        if (message == WM_UPLOAD_PROGRESS && !paused) {
            paused = true;
            self.Click(u"btn_pause");
            EXPECT_EQ(self.Status(0), u"等待中");
            EXPECT_EQ(self.Tooltip(0), u"等待上传...");
            EXPECT_EQ(self.Text(u"info_upload"), u"已停止上传, 已完成: 0%");
            EXPECT_EQ(self.Display(u"btn_ctn"), u"block");
            self.Click(u"btn_ctn");
            EXPECT_EQ(self.Status(0), u"上传中");
        } else if (self.Over()) {
            self.Close();
        }
    };
    dialog.Run(SW_SHOWNORMAL);
    EXPECT_TRUE(paused);
    EXPECT_EQ(dialog.Text(u"info_upload"), u"所有图片已上传成功");
    // The stopped transfer left nothing at albumd: what it stored is what the registry holds.
    EXPECT_EQ(Stored().size(), 2u);
    EXPECT_EQ(registry_.Count(), 2u);
}

TEST_F(UploadDlgTest, APictureThatCannotBeReadIsPassedOver) {
    StartService();
    const std::vector<std::u16string> paths = {Write("broken.jpg", Bytes(4096, 0x5A)),
                                               Photo("chelsea.png", "c.png")};
    TestUploadDlg dialog(registry_, album_, 0, paths, nullptr);
    dialog.after = [](TestUploadDlg& self, UINT, WPARAM) {
        if (self.Over())
            self.Close();
    };
    dialog.Run(SW_SHOWNORMAL);
    EXPECT_EQ(dialog.Status(0), u"错误");
    EXPECT_EQ(dialog.Tooltip(0), u"图片文件扩展名或文件数据错误");
    EXPECT_EQ(dialog.Text(u"done_title"), u"已完成(1)");
    EXPECT_EQ(dialog.fileReadyCount, 1);
    EXPECT_EQ(Stored().size(), 1u);
}

// Closing an item in front of the one being sent keeps the right picture in the upload;
// closing the one being sent stops it and the pass goes on. A scroll meanwhile restarts
// nothing.
TEST_F(UploadDlgTest, CloseIconsAndScrollsLeaveTheRunningUploadRight) {
    StartService({}, {}, true);
    const std::vector<std::u16string> paths = {
        Write("broken.jpg", Bytes(100, 0)), LargePhoto("Wine_by_Jakkub_Mede.jpg", "w.jpg"),
        LargePhoto("Bridge_by_Sander_Klootwijk.jpg", "b.jpg"), Photo("chelsea.png", "c.png")};
    TestUploadDlg dialog(registry_, album_, 1, paths, nullptr);
    bool closedFront = false;
    bool closedSent = false;
    const auto pathOf = [](TestUploadDlg& self, std::size_t index) {
        return *self.Task(index)->FindFirst("picture")->GetAttribute("path");
    };
    dialog.after = [&](TestUploadDlg& self, UINT message, WPARAM) {
        if (message == WM_UPLOAD_PROGRESS && !closedFront) {
            closedFront = true;
            // broken (error), w (sending), b, c.
            EXPECT_EQ(self.Status(1), u"上传中");
            self.PressClose(0);
            EXPECT_EQ(self.Text(u"task_title"), u"未完成(3)");
            Element* list = self.ById(u"task_list");
            EventDispatcher::Of(*list)->SendEvent(*list, SCROLL_LIST_EVENT);
        } else if (message == WM_UPLOAD_PROGRESS && !closedSent && pathOf(self, 0) == paths[2]) {
            // b is being sent: closing it goes on with c.
            closedSent = true;
            self.PressClose(0);
            EXPECT_EQ(self.Status(0), u"上传中");
        } else if (self.Over()) {
            self.Close();
        }
    };
    dialog.Run(SW_SHOWNORMAL);
    EXPECT_TRUE(closedSent);
    EXPECT_EQ(dialog.Text(u"info_upload"), u"所有图片已上传成功");
    EXPECT_EQ(dialog.fileReadyCount, 3);  // w, b (closed while sent) and c, each once
    ASSERT_EQ(Stored().size(), 2u);
    EXPECT_EQ(registry_.Count(), 2u);
    EXPECT_TRUE(registry_.Contains(paths[1]));
    EXPECT_TRUE(registry_.Contains(paths[3]));
}

TEST_F(UploadDlgTest, ClosingDuringATransferStopsItAndLeavesTheRegistryFileAlone) {
    StartService({}, {}, true);
    const std::string registryFile = folder_.Path("uploadedImg.dat");
    UploadedRegistry registry(FromUtf8(registryFile));
    ASSERT_TRUE(registry.Add(u"/earlier/picture.jpg"));
    ASSERT_TRUE(registry.Save(UploadedRegistry::Write::On));
    const auto before = fs::file_size(registryFile);
    const std::vector<std::u16string> paths = {
        LargePhoto("Bridge_by_Sander_Klootwijk.jpg", "b.jpg")};
    TestUploadDlg dialog(registry, album_, 1, paths, nullptr);
    dialog.after = [](TestUploadDlg& self, UINT message, WPARAM) {
        if (message == WM_UPLOAD_PROGRESS)
            self.Close();
    };
    EXPECT_EQ(dialog.Run(SW_SHOWNORMAL), FRAME_RESULT_OK);  // the registry holds an entry
    MSG late;
    EXPECT_FALSE(PeekMessage(&late, nullptr, WM_UPLOAD_BEGIN, WM_UPLOAD_FILE_READY, PM_NOREMOVE));
    EXPECT_EQ(fs::file_size(registryFile), before);
    EXPECT_EQ(registry.Count(), 1u);
}

TEST_F(UploadDlgTest, TheBoxClosesTheWindowOnceEverythingIsUploaded) {
    StartService();
    ASSERT_TRUE(SettingsStore::Set(appContext.programDir + u"tavopix.ini",
                                   u"auto_close_after_upload", u"true"));
    const std::vector<std::u16string> paths = {Photo("chelsea.png", "c.png")};
    TestUploadDlg dialog(registry_, album_, 0, paths, nullptr);
    bool checked = false;
    dialog.after = [&](TestUploadDlg& self, UINT message, WPARAM) {
        if (message == WM_UPLOAD_BEGIN)
            checked = self.ById(u"ck_close")->HasState(STATE_CHECKED);
    };
    EXPECT_EQ(dialog.Run(SW_SHOWNORMAL), FRAME_RESULT_OK);
    EXPECT_TRUE(checked);

    // Unticking is written at once.
    const std::vector<std::u16string> none;
    TestUploadDlg again(registry_, album_, 0, none, nullptr);
    again.after = [](TestUploadDlg& self, UINT message, WPARAM) {
        if (message != WM_UPLOAD_BEGIN)
            return;
        Element* box = self.ById(u"ck_close");
        box->SetState(0, STATE_CHECKED);
        EventDispatcher::Of(*box)->SendEvent(*box, BUTTON_STATE_CHANGED);
        self.Close();
    };
    again.Run(SW_SHOWNORMAL);
    std::u16string value;
    ASSERT_TRUE(SettingsStore::Get(appContext.programDir + u"tavopix.ini",
                                   u"auto_close_after_upload", value));
    EXPECT_EQ(value, u"false");
}

}  // namespace
}  // namespace tavopix::test
