// The upload dialog's runs to their end: what albumd stores and what the page shows for
// successes, sizes, titles, the album's limits, a server fault, an unreadable picture and the
// auto-close box.
#include "UploadDialogFixture.h"
#include "app/SettingsFile.h"

namespace tavopix::test {
namespace {

TEST_F(UploadDlgTest, ThreePicturesArriveWithTheirTitlesNewestFirst) {
    ASSERT_NO_FATAL_FAILURE(StartService());
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
    // The newest is on top: its link is the last stored picture's page.
    EXPECT_TRUE(copied.ends_with(U16("/" + stored[2].id))) << U8(copied);
    EXPECT_EQ(view_.ClipboardText(), copied);
    EXPECT_EQ(registry_.Count(), 3u);
    for (const std::u16string& path : paths)
        EXPECT_TRUE(registry_.Contains(path));
}

TEST_F(UploadDlgTest, FittedToThe1600SideOrSentAsAJpegOfTheSameSize) {
    ASSERT_NO_FATAL_FAILURE(StartService());
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
        // Copies that differ in their last byte: the same picture twice would be answered as
        // one the album holds already.
        std::vector<std::u16string> paths;
        for (int i = 0; i < 5; ++i) {
            Bytes bytes = ReadPhoto(photo);
            bytes.push_back(static_cast<Bytes::value_type>(i));
            paths.push_back(Write("p" + std::to_string(i) + ".jpg", bytes));
        }
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
    ASSERT_NO_FATAL_FAILURE(StartService({}, {{"limits", "--pictures", "1"}}));
    RunFive("Wine_by_Jakkub_Mede.jpg", u"相册中图片数量达到上限,请选择或新建其他相册继续上传",
            u"相册图片数量已达上限");
}

TEST_F(UploadLimitTest, AFullSpaceAnswers413) {
    const auto size = fs::file_size(photos_ / "Wine_by_Jakkub_Mede.jpg") + 1;
    ASSERT_NO_FATAL_FAILURE(
        StartService({}, {{"limits", "--space", std::to_string(2 * size - 1)}}));
    RunFive("Wine_by_Jakkub_Mede.jpg", u"相册空间已满,请升级您的相册,更多信息敬请访问 " + Home(),
            u"空间已满");
}

TEST_F(UploadDlgTest, AServerFaultNamesTheHomePageAndTheRunGoesOn) {
    ASSERT_NO_FATAL_FAILURE(StartService({"--fault", "upload=500"}));
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

TEST_F(UploadDlgTest, APictureThatCannotBeReadIsPassedOver) {
    ASSERT_NO_FATAL_FAILURE(StartService());
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

TEST_F(UploadDlgTest, TheBoxClosesTheWindowOnceEverythingIsUploaded) {
    ASSERT_NO_FATAL_FAILURE(StartService());
    ASSERT_TRUE(SettingsStore::Set(SettingsFilePath(), u"auto_close_after_upload", u"true"));
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
    ASSERT_TRUE(SettingsStore::Get(SettingsFilePath(), u"auto_close_after_upload", value));
    EXPECT_EQ(value, u"false");
}

}  // namespace
}  // namespace tavopix::test
