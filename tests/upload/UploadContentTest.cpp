// Uploads recognised by content and a queue that is kept: the same pictures sent twice into
// one album, a renamed copy of an uploaded picture, and the kept part of a run that is cut off.
#include <algorithm>

#include "UploadDialogFixture.h"
#include "app/TextFile.h"
#include "upload/PendingUploadFile.h"

namespace tavopix::test {
namespace {

constexpr UINT_PTR kAnswerTimer = 4343;

// Answers the box that a run shows over the dialog with the button labelled `choice`, looking
// for it every few milliseconds while the box runs its own loop.
class AnsweringDialog : public TestUploadDlg {
public:
    using TestUploadDlg::TestUploadDlg;

    std::u16string choice;
    std::u16string question;  // the text of the box that was answered

    int Create() override {
        const int error = TestUploadDlg::Create();
        if (error == 0)
            SetTimer(GetHwnd(), kAnswerTimer, 20);
        return error;
    }

    LRESULT OnWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                            bool& handled) override {
        if (message == WM_TIMER && wParam == kAnswerTimer) {
            Answer();
            handled = true;
            return 0;
        }
        return TestUploadDlg::OnWindowMessage(window, message, wParam, lParam, handled);
    }

private:
    void Answer() {
        const HWND active = GetActiveWindow();
        CHskFrame* box = active && active != GetHwnd() ? CHskFrame::FromWindow(active) : nullptr;
        if (!box || !box->Page())
            return;
        Element* root = box->Page()->Root();
        question = root->FindById(u"text_div")->InnerText();
        root->SelectElements("button.hsk_btn", [&](Element& button) {
            const std::u16string* label = button.GetAttribute("value");
            if (!label || *label != choice)
                return Walk::Continue;
            EventDispatcher::Of(button)->SendEvent(button, BUTTON_CLICK);
            return Walk::Stop;
        });
    }
};

class UploadContentTest : public UploadDlgTest {
protected:
    // Runs the dialog over `paths` until its run is over, answering a box with `choice`.
    std::u16string RunToTheEnd(const std::vector<std::u16string>& paths,
                               std::u16string choice = u"跳过") {
        AnsweringDialog dialog(registry_, album_, 1, paths, nullptr);
        dialog.choice = std::move(choice);
        // Closed once the run is over and no box of its own is up: a close while the box asks
        // would end the box as closed instead of answered.
        dialog.after = [](TestUploadDlg& self, UINT, WPARAM) {
            if (self.Over() && GetActiveWindow() == self.GetHwnd())
                self.Close();
        };
        dialog.Run(SW_SHOWNORMAL);
        notes_ = 0;
        for (Element* done = dialog.ById(u"done_list")->FirstChild(); done;
             done = done->NextSibling()) {
            notes_ += done->FindFirst("p.txt_note") != nullptr ? 1 : 0;
        }
        doneTitle_ = dialog.Text(u"done_title");
        return dialog.question;
    }

    std::vector<std::u16string> TenPictures() {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(photos_)) {
            if (entry.path().extension() == ".jpg")
                names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        std::vector<std::u16string> paths;
        for (std::size_t i = 0; i < names.size() && i < 10; ++i)
            paths.push_back(Photo(names[i], "p" + std::to_string(i) + ".jpg"));
        return paths;
    }

    int notes_ = 0;
    std::u16string doneTitle_;
};

TEST_F(UploadContentTest, TheSamePicturesTwiceLeaveOneCopyEachUnlessAskedAgain) {
    ASSERT_NO_FATAL_FAILURE(StartService());
    const std::vector<std::u16string> paths = TenPictures();
    ASSERT_EQ(paths.size(), 10u);
    EXPECT_EQ(RunToTheEnd(paths), u"");  // nothing to ask the first time
    EXPECT_EQ(Stored().size(), 10u);
    EXPECT_EQ(notes_, 0);

    // The second pass finds all ten in the album before it starts, and skips them.
    EXPECT_EQ(RunToTheEnd(paths), u"所选图片中有 10 张已在相册中。\n跳过这些图片,还是再上传一份?");
    EXPECT_EQ(Stored().size(), 10u);
    EXPECT_EQ(notes_, 10);
    EXPECT_EQ(doneTitle_, u"已完成(10)");

    // A copy under another name is the same picture: asked for again, it is stored again.
    const std::u16string copy = FromUtf8(folder_.Path("copy-of-p0.jpg"));
    fs::copy_file(Utf8(paths[0]), Utf8(copy), fs::copy_options::overwrite_existing);
    EXPECT_FALSE(RunToTheEnd({copy}, u"再次上传").empty());
    EXPECT_EQ(Stored().size(), 11u);
    EXPECT_EQ(notes_, 0);
}

TEST_F(UploadContentTest, AnUploadThatTheCheckMissedIsAnsweredWithThePictureThere) {
    ASSERT_NO_FATAL_FAILURE(StartService());
    const std::u16string first = Photo("Wine_by_Jakkub_Mede.jpg", "w.jpg");
    RunToTheEnd({first});
    // Sent straight through the SDK, as a pass does once the check has answered.
    const std::u16string again = Photo("Wine_by_Jakkub_Mede.jpg", "again.jpg");
    char16_t hash[65];
    ASSERT_TRUE(ovkContentHash(again.c_str(), hash));
    EventRecorder events;
    UploadRequest request;
    request.session = sdk_->Session();
    request.filePath = again.c_str();
    request.albumId = album_.c_str();
    request.title = u"again";
    request.callback = &EventRecorder::OnUpload;
    request.context = &events;
    request.contentHash = hash;
    const OvkHandle upload = ovkImgUploadCreate(&request);
    ASSERT_TRUE(ovkImgUploadStart(upload, 30000));
    ASSERT_TRUE(events.WaitForEnd());
    char16_t* reply = nullptr;
    std::uint32_t status = 0;
    ASSERT_TRUE(ovkImgUploadInfo(upload, 0, &reply, &status));
    EXPECT_EQ(status, 200u);
    EXPECT_NE(std::u16string(reply).find(u"\"duplicate\":true"), std::u16string::npos);
    ovkReleaseBuffer(&reply);
    ovkCloseHandle(upload);
    EXPECT_EQ(Stored().size(), 1u);
}

TEST_F(UploadContentTest, ARenamedCopyOfAnUploadedPictureIsKnownAfterARestart) {
    ASSERT_NO_FATAL_FAILURE(StartService());
    const std::u16string file = FromUtf8(folder_.Path("uploadedImg.dat"));
    const std::u16string original = Photo("Bridge_by_Sander_Klootwijk.jpg", "bridge.jpg");
    const std::u16string other = Photo("Wine_by_Jakkub_Mede.jpg", "wine.jpg");
    {
        UploadedRegistry registry(file);
        const std::vector<std::u16string> paths = {original};
        AnsweringDialog dialog(registry, album_, 1, paths, nullptr);
        dialog.after = [](TestUploadDlg& self, UINT, WPARAM) {
            if (self.Over() && GetActiveWindow() == self.GetHwnd())
                self.Close();
        };
        ASSERT_EQ(dialog.Run(SW_SHOWNORMAL), FRAME_RESULT_OK);
        ASSERT_TRUE(registry.Save(UploadedRegistry::Write::On));
    }
    const std::u16string moved = FromUtf8(folder_.Path("elsewhere.jpg"));
    fs::rename(Utf8(original), Utf8(moved));

    UploadedRegistry registry(file);
    ASSERT_TRUE(registry.Load());
    EXPECT_EQ(registry.Count(), 1u);
    EXPECT_TRUE(registry.Contains(moved));
    EXPECT_FALSE(registry.Contains(other));
    // uploadedImg.dat keeps its format: the one path it was given.
    std::u16string text;
    ASSERT_TRUE(ReadTextFile(file, text));
    EXPECT_EQ(text, original + u"\r\n");
}

TEST_F(UploadContentTest, ThePartNotAcknowledgedIsKeptAsThePassGoes) {
    ASSERT_NO_FATAL_FAILURE(StartService());
    const std::vector<std::u16string> paths = TenPictures();
    const PendingUploadFile kept(PendingUploadFilePath());
    std::vector<std::u16string> left;
    {
        AnsweringDialog dialog(registry_, album_, 1, paths, nullptr);
        dialog.choice = u"确定";  // closing with pictures left
        int results = 0;
        dialog.after = [&](TestUploadDlg& self, UINT message, WPARAM) {
            if (message == WM_UPLOAD_RESULT && ++results == 3) {
                self.Click(u"btn_pause");  // nothing moves while the question is asked
                const std::optional<PendingUpload> pending = kept.Read();
                ASSERT_TRUE(pending);
                EXPECT_EQ(pending->albumId, album_);
                EXPECT_EQ(pending->keepFullSize, 1);
                left = pending->paths;
                self.Click(u"btn_cmpl");
            }
        };
        dialog.Run(SW_SHOWNORMAL);
        EXPECT_EQ(
            dialog.question,
            u"上传尚未完成,还有 7 张图片未上传。\n关闭窗口后,下次启动时可以继续上传这些图片。");
    }
    EXPECT_EQ(left, std::vector<std::u16string>(paths.begin() + 3, paths.end()));
    ASSERT_TRUE(kept.Read());
    EXPECT_EQ(kept.Read()->paths, left);

    // Going on with exactly those, and nothing is left to keep afterwards.
    RunToTheEnd(left);
    EXPECT_EQ(Stored().size(), 10u);
    EXPECT_FALSE(kept.Read());
}

}  // namespace
}  // namespace tavopix::test
