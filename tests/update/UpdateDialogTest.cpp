// The update dialog and the main window's silent check against a real albumd on loopback (and a
// loopback host that never answers), over the real skin page and a headless view.
#include <gtest/gtest.h>
#include <sodium.h>

#include <filesystem>
#include <functional>
#include <memory>

#include "app/SettingsFile.h"
#include "app/SettingsStore.h"
#include "platform/Utf8.h"
#include "sdk/LoopbackServer.h"
#include "sdk/SdkTestSupport.h"
#include "support/AlbumdProcess.h"
#include "ui/UiTestSupport.h"
#include "update/SilentUpdateCheck.h"
#include "update/UpdateConfirmDlg.h"
#include "update/UpdateMessages.h"

namespace tavopix::test {
namespace {

namespace fs = std::filesystem;

// The dialog with a hook that hears each of its messages after the dialog has handled it.
class ScriptedDialog : public CUpdateConfirmDlg {
public:
    using CUpdateConfirmDlg::CUpdateConfirmDlg;
    std::function<void(ScriptedDialog&, UINT)> after;

    LRESULT OnWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                            bool& handled) override {
        const LRESULT result =
            CUpdateConfirmDlg::OnWindowMessage(window, message, wParam, lParam, handled);
        if (after && message != WM_CLOSE)
            after(*this, message);
        return result;
    }

    int Create() override {
        const int error = CUpdateConfirmDlg::Create();
        if (error == 0)
            PostMessage(GetHwnd(), WM_TEST_STEP, 0, 0);
        return error;
    }

    Element* ById(std::u16string_view id) const { return Page()->Root()->FindById(id); }
    std::u16string Info() const { return ById(u"info")->InnerText(); }
    // The buttons shown, in page order: "start", "cancel", "close".
    std::string Buttons() const {
        std::string shown;
        for (const auto& [id, name] :
             {std::pair{u"btn_start_update", "start "}, std::pair{u"btn_cancel", "cancel "},
              std::pair{u"btn_close", "close "}}) {
            const std::u16string* display = ById(id)->GetStyleAttribute("display");
            if (display && *display == u"block")
                shown += name;
        }
        return shown;
    }
    void Press(std::u16string_view id) {
        Element* target = ById(id);
        EventDispatcher::Of(*target)->SendEvent(*target, BUTTON_CLICK);
    }
    // What a click on a check box does: the state flips, then the change is told.
    void Check(std::u16string_view id) {
        Element* box = ById(id);
        box->SetState(STATE_CHECKED, 0);
        EventDispatcher::Of(*box)->SendEvent(*box, BUTTON_STATE_CHANGED);
    }
    void Close() { PostMessage(GetHwnd(), WM_CLOSE, 0, 0); }
};

// A loopback host's answer: `package` as a download named p.tar.gz.
std::string PackageReply(const std::string& package) {
    return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(package.size()) +
           "\r\nContent-Disposition: attachment; filename=\"p.tar.gz\"\r\n\r\n" + package;
}

// `archive` signed as albumd signs a package, with a key of its own.
std::string SignedByAnotherKey(const std::string& archive) {
    unsigned char publicKey[crypto_sign_PUBLICKEYBYTES];
    unsigned char secretKey[crypto_sign_SECRETKEYBYTES];
    crypto_sign_keypair(publicKey, secretKey);
    crypto_sign_state state;
    crypto_sign_init(&state);
    crypto_sign_update(&state, reinterpret_cast<const unsigned char*>(archive.data()),
                       archive.size());
    std::string signature(crypto_sign_BYTES, '\0');
    crypto_sign_final_create(&state, reinterpret_cast<unsigned char*>(signature.data()), nullptr,
                             secretKey);
    return archive + signature + "tavopix-signed-1";
}

class UpdateDialogTest : public UiTest {
protected:
    static void SetUpTestSuite() {
        albumd = AlbumdProcess::Start({});
        if (!albumd)
            return;
        const fs::path package =
            fs::path(albumd->DataFolder()).parent_path() / "tavopix-0.1.1.1.tar.gz";
        WritePictureFile(package.string(), 2 * 1024 * 1024 + 5, 7);
        packageBytes = fs::file_size(package);
        EXPECT_EQ(albumd->RunCommand({"update", "set", "0.1.1.1", package.string(), "--base-url",
                                      albumd->BaseAddress()}),
                  0);
    }
    static void TearDownTestSuite() { albumd.reset(); }

    void SetUp() override {
        ASSERT_TRUE(albumd);
        ASSERT_GE(sodium_init(), 0);
        UiTest::SetUp();
        appContext.updateFilePath.clear();
        // The program trusts the packages of this albumd, as an operator of a service of their
        // own sets it up.
        fs::copy_file(albumd->DataFolder() + "/update-signing.pub",
                      folder_.Path("update-signing.pub"));
    }
    void TearDown() override {
        appContext.updateFilePath.clear();
        appContext.serviceSession = 0;
        UiTest::TearDown();
    }

    static inline std::unique_ptr<AlbumdProcess> albumd;
    static inline std::uintmax_t packageBytes = 0;
};

TEST_F(UpdateDialogTest, ChecksOffersDownloadsAndEndsWithThePackage) {
    SdkSession sdk(albumd->BaseAddress());
    appContext.serviceSession = sdk.Session();
    ScriptedDialog dialog({}, {}, nullptr);
    std::vector<std::string> seen;
    dialog.after = [&](ScriptedDialog& self, UINT message) {
        if (message == WM_VERSION_LINE) {
            seen.push_back(Utf16ToUtf8(self.Info()) + " | " + self.Buttons());
            self.Check(u"ck_auto_update");
            self.Press(u"btn_start_update");
            seen.push_back(Utf16ToUtf8(self.Info()) + " | " + self.Buttons());
            // More received than the total (a service that miscounts) still shows 100%.
            PostMessage(self.GetHwnd(), WM_UPDATE_PROGRESS, 150, 100);
        } else if (message == WM_UPDATE_PROGRESS && seen.size() == 2) {
            seen.push_back(Utf16ToUtf8(self.Info()));
        }
    };
    ASSERT_EQ(dialog.Run(SW_SHOWNORMAL), FRAME_RESULT_OK);
    EXPECT_EQ(seen,
              (std::vector<std::string>{"发现新版本V0.1.1.1,请确定开始更新! | start cancel ",
                                        "正在下载更新(0%)... | cancel ", "正在下载更新(100%)..."}));
    const std::string path = Utf16ToUtf8(appContext.updateFilePath);
    EXPECT_EQ(path, folder_.Path(".update/download/tavopix-0.1.1.1.tar.gz"));
    EXPECT_EQ(fs::file_size(path), packageBytes + crypto_sign_BYTES + 16);  // with the signature
    std::u16string autoCheck;
    EXPECT_TRUE(SettingsStore::Get(SettingsFilePath(), u"auto_check_update", autoCheck));
    EXPECT_EQ(autoCheck, u"true");
}

TEST_F(UpdateDialogTest, FailedOrRefusedDownloadsOfferTheStartAgain) {
    SdkSession sdk(albumd->BaseAddress());
    appContext.serviceSession = sdk.Session();
    const std::string archive = "\x1f\x8b an archive of the program";
    LoopbackServer unsignedHost(PackageReply(archive));
    LoopbackServer otherKeyHost(PackageReply(SignedByAnotherKey(archive)));
    // A redirect from a loopback host to an address the package rule refuses.
    LoopbackServer redirectTarget(PackageReply(SignedByAnotherKey(archive)));
    const std::string refusedAddress =
        "http://127.1:" + redirectTarget.BaseAddress().substr(17) + "p.tar.gz";
    LoopbackServer redirecting("HTTP/1.1 302 Found\r\nLocation: " + refusedAddress +
                               "\r\nContent-Length: 0\r\n\r\n");
    for (const std::u16string& address :
         {Utf8ToUtf16(albumd->BaseAddress() + "tavopix/packages/missing.tar.gz"),
          std::u16string(u"http://albums.example/tavopix-0.1.1.1.tar.gz"),
          Utf8ToUtf16(redirecting.BaseAddress() + "p.tar.gz"),
          Utf8ToUtf16(unsignedHost.BaseAddress() + "p.tar.gz"),
          Utf8ToUtf16(otherKeyHost.BaseAddress() + "p.tar.gz")}) {
        ScriptedDialog dialog(u"0.1.1.1", address, nullptr);
        std::string before;
        std::string after;
        dialog.after = [&](ScriptedDialog& self, UINT message) {
            if (message == WM_TEST_STEP) {
                before = Utf16ToUtf8(self.Info()) + " | " + self.Buttons();
                self.Press(u"btn_start_update");
            } else if (message == WM_UPDATE_DONE) {
                after = Utf16ToUtf8(self.Info()) + " | " + self.Buttons();
                self.Close();
            }
        };
        EXPECT_EQ(dialog.Run(SW_SHOWNORMAL), FRAME_RESULT_CLOSED);
        EXPECT_EQ(before, "发现新版本V0.1.1.1,请确定开始更新! | start cancel ");
        EXPECT_EQ(after, "下载更新失败,请稍后再试! | start cancel ") << Utf16ToUtf8(address);
        EXPECT_TRUE(appContext.updateFilePath.empty());
        EXPECT_FALSE(fs::exists(folder_.Path(".update/download/p.tar.gz")));
    }
    EXPECT_EQ(redirecting.Connections(), 1);
    EXPECT_EQ(redirectTarget.Connections(), 0);
    EXPECT_EQ(unsignedHost.Connections(), 1);
    EXPECT_EQ(otherKeyHost.Connections(), 1);
}

// Closing while the package host is silent abandons the download at once: the run ends, no path
// is set and no message of the workers is left for a window that is gone.
TEST_F(UpdateDialogTest, ClosingDuringADownloadAbandonsIt) {
    LoopbackServer silent;
    SdkSession sdk(albumd->BaseAddress());
    appContext.serviceSession = sdk.Session();
    ScriptedDialog dialog(u"0.1.1.1", Utf8ToUtf16(silent.BaseAddress() + "p.tar.gz"), nullptr);
    dialog.after = [&](ScriptedDialog& self, UINT message) {
        if (message == WM_TEST_STEP) {
            self.Press(u"btn_start_update");
            PostMessage(self.GetHwnd(), WM_TEST_LATER, 0, 0);
        } else if (message == WM_TEST_LATER) {
            self.Close();
        }
    };
    EXPECT_EQ(dialog.Run(SW_SHOWNORMAL), FRAME_RESULT_CLOSED);
    EXPECT_TRUE(appContext.updateFilePath.empty());
    MSG msg;
    EXPECT_FALSE(PeekMessage(&msg, nullptr, WM_UPDATE_PROGRESS, WM_UPDATE_DONE, PM_REMOVE));
}

TEST_F(UpdateDialogTest, TheSilentCheckPostsOnlyWhatItFetchedAndStopsAtOnce) {
    SettingsStore::Set(SettingsFilePath(), u"auto_check_update", u"true");
    SilentUpdateCheck check;
    std::u16string line;
    TestFrame mainWindow(u"mainframe.htm", HSK_CLOSE);
    mainWindow.onCreated = [&](TestFrame& self) { check.StartIfWanted(self.GetHwnd()); };
    mainWindow.onMessage = [&](TestFrame& self, UINT message, WPARAM wParam,
                               LPARAM) -> std::optional<LRESULT> {
        if (message != WM_SILENT_VERSION_LINE)
            return std::nullopt;
        const std::unique_ptr<std::u16string> owned(reinterpret_cast<std::u16string*>(wParam));
        line = *owned;
        PostMessage(self.GetHwnd(), WM_CLOSE, 0, 0);
        return 0;
    };
    {
        SdkSession sdk(albumd->BaseAddress());
        appContext.serviceSession = sdk.Session();
        mainWindow.Run(SW_SHOWNORMAL);
    }
    EXPECT_EQ(line.substr(0, 16), u"version 0.1.1.1 ");

    // A service that never answers: closing stops the check without waiting for its time-out.
    LoopbackServer silent;
    SdkSession sdk(silent.BaseAddress());
    appContext.serviceSession = sdk.Session();
    TestFrame second(u"mainframe.htm", HSK_CLOSE);
    second.onCreated = [&](TestFrame& self) {
        check.StartIfWanted(self.GetHwnd());
        EXPECT_TRUE(check.IsRunning());
        PostMessage(self.GetHwnd(), WM_CLOSE, 0, 0);
    };
    second.onMessage = [&](TestFrame&, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (message == WM_CLOSE)
            check.Stop();
        return std::nullopt;
    };
    second.Run(SW_SHOWNORMAL);
    EXPECT_FALSE(check.IsRunning());
    MSG msg;
    EXPECT_FALSE(
        PeekMessage(&msg, nullptr, WM_SILENT_VERSION_LINE, WM_SILENT_VERSION_LINE, PM_REMOVE));

    SettingsStore::Set(SettingsFilePath(), u"auto_check_update", u"false");
    check.StartIfWanted(HWND());
    EXPECT_FALSE(check.IsRunning());
}

}  // namespace
}  // namespace tavopix::test
