// The upload dialog acting during a transfer over a slow line: the next pictures made ready
// beside it, the service stopping, pause and continue, close icons and scrolls, and closing the
// window. Run under the thread sanitizer too.
#include <chrono>
#include <thread>

#include "UploadDialogFixture.h"
#include "image/PictureFile.h"
#include "image/Thumbnail.h"

namespace tavopix::test {
namespace {

// While the first picture goes over the slow line, the next two are converted beside it, each
// into a scratch file of its own, and wait as 等待中 for their turn; the fourth is made ready only
// once a lane is free. The queue shows the thumbnails the grid cached (an odd 20 x 10 picture
// here, which no decode of the photographs would give), and albumd stores the pictures in queue
// order, each the right one.
TEST_F(UploadDlgTest, TheNextTwoAreMadeReadyWhileOneIsSentAndAllGoInQueueOrder) {
    ASSERT_NO_FATAL_FAILURE(StartService({}, {}, true));
    const std::u16string savedCache = appContext.iconCacheDir;
    appContext.iconCacheDir = FromUtf8(folder_.Path(""));
    const std::vector<std::u16string> paths = {
        LargePhoto("Bridge_by_Sander_Klootwijk.jpg", "b.jpg"), Photo("chelsea.png", "c.png"),
        Photo("coffee.png", "d.png"), Photo("astronaut.png", "e.png")};
    Bytes cachedThumbnail;
    ASSERT_TRUE(EncodeJpeg(ResizeBitmap(*DecodePng(ReadPhoto("chelsea.png")), 20, 10), 85,
                           ChromaSubsampling::S420, cachedThumbnail));
    std::vector<std::u16string> cacheNames;
    for (const std::u16string& path : paths) {
        ASSERT_TRUE(ThumbnailCacheName(path, cacheNames.emplace_back()));
        ASSERT_TRUE(ReplaceFile(Utf8(cacheNames.back()), cachedThumbnail));
    }
    TestUploadDlg dialog(registry_, album_, 1, paths, nullptr);
    int readyBeforeFirstAnswer = -1;
    dialog.after = [&](TestUploadDlg& self, UINT message, WPARAM) {
        if (message == WM_UPLOAD_FILE_READY && readyBeforeFirstAnswer < 0) {
            EXPECT_EQ(self.Status(0), u"上传中");
            for (std::size_t i = 1; i < paths.size(); ++i)
                EXPECT_EQ(self.Status(i), u"等待中");
        } else if (message == WM_UPLOAD_RESULT && readyBeforeFirstAnswer < 0) {
            readyBeforeFirstAnswer = self.fileReadyCount;
        } else if (self.Over()) {
            self.Close();
        }
    };
    dialog.Run(SW_SHOWNORMAL);
    appContext.iconCacheDir = savedCache;
    EXPECT_EQ(readyBeforeFirstAnswer, 3);
    EXPECT_EQ(dialog.fileReadyCount, 4);
    EXPECT_EQ(dialog.Text(u"info_upload"), u"所有图片已上传成功");
    // The done list has the newest first.
    Element* done = dialog.ById(u"done_list")->FirstChild();
    for (std::size_t i = paths.size(); i-- > 0; done = done->NextSibling()) {
        std::u16string shown = cacheNames[i];
        PercentEscape(shown);
        ASSERT_TRUE(done);
        EXPECT_EQ(*done->FindFirst("picture")->GetAttribute("src"), shown);
    }
    const std::vector<StoredPicture> stored = Stored();
    ASSERT_EQ(stored.size(), 4u);
    EXPECT_EQ(stored[0].title, "b.jpg");
    const std::pair<std::string, std::uint32_t> converted[] = {{"c", 451}, {"d", 600}, {"e", 512}};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(stored[i + 1].title, converted[i].first);
        const PictureHeader header = StoredHeader(stored[i + 1]);
        EXPECT_EQ(header.format, PictureFormat::Jpeg);
        EXPECT_EQ(header.width, converted[i].second) << converted[i].first;
    }
}

TEST_F(UploadDlgTest, AStoppedServiceTimesOutAndContinueSendsAgain) {
    ASSERT_NO_FATAL_FAILURE(StartService({}, {}, true));
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
    ASSERT_NO_FATAL_FAILURE(StartService({}, {}, true));
    const std::vector<std::u16string> paths = {
        LargePhoto("Bridge_by_Sander_Klootwijk.jpg", "b.jpg"), Photo("chelsea.png", "c.png")};
    TestUploadDlg dialog(registry_, album_, 1, paths, nullptr);
    int pauses = 0;
    dialog.after = [&](TestUploadDlg& self, UINT message, WPARAM) {
        if (message == WM_UPLOAD_PROGRESS && pauses == 0) {
            ++pauses;
            self.Click(u"btn_pause");
            EXPECT_EQ(self.Status(0), u"等待中");
            EXPECT_EQ(self.Tooltip(0), u"等待上传...");
            EXPECT_EQ(self.Text(u"info_upload"), u"已停止上传, 已完成: 0%");
            EXPECT_EQ(self.Display(u"btn_ctn"), u"block");
            self.Click(u"btn_ctn");
            EXPECT_EQ(self.Status(0), u"上传中");
        } else if (message == WM_UPLOAD_PROGRESS && pauses == 1) {
            // A pause just after albumd stored the picture, its success queued but not handled:
            // the picture counts as sent, and only the other one waits.
            ++pauses;
            MSG queued;
            while (!PeekMessage(&queued, self.GetHwnd(), WM_UPLOAD_RESULT, WM_UPLOAD_RESULT,
                                PM_NOREMOVE))
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            self.Click(u"btn_pause");
            EXPECT_EQ(self.ById(u"task_list")->ChildCount(), 1u);
            EXPECT_EQ(self.Status(0), u"等待中");
            EXPECT_EQ(registry_.Count(), 1u);
            EXPECT_EQ(self.ById(u"done_list")->ChildCount(), 1u);
            self.Click(u"btn_ctn");
        } else if (self.Over()) {
            self.Close();
        }
    };
    dialog.Run(SW_SHOWNORMAL);
    EXPECT_EQ(pauses, 2);
    EXPECT_EQ(dialog.Text(u"info_upload"), u"所有图片已上传成功");
    // The stopped transfer left nothing at albumd: what it stored is what the registry holds.
    EXPECT_EQ(Stored().size(), 2u);
    EXPECT_EQ(registry_.Count(), 2u);
}

TEST_F(UploadDlgTest, CloseIconsAndScrollsLeaveTheRunningUploadRight) {
    ASSERT_NO_FATAL_FAILURE(StartService({}, {}, true));
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
    ASSERT_NO_FATAL_FAILURE(StartService({}, {}, true));
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

}  // namespace
}  // namespace tavopix::test
