// upload-dialog-show PHOTO...: the upload dialog in a real browser, for the end-to-end test of
// its page. Starts albumd on loopback behind a slow relay (so each transfer lasts long enough
// to be seen and hovered), logs in, and runs the dialog over the photographs through the browser
// view: it prints "Tavopix UI: <url>" and ends when the dialog is closed. The program folder is
// a fresh one beside the pages of this build.
//
// With TAVOPIX_SHOW_OUTAGE=SECONDS every picture goes in resumable pieces, and once 300 KB have
// reached albumd it is stopped for SECONDS and started again: the page shows a transfer waiting
// for the service and going on by itself.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ThrottledRelay.h"
#include "app/AppContext.h"
#include "app/TextConvert.h"
#include "engine/browser/BrowserView.h"
#include "library/data/UploadedRegistry.h"
#include "platform/ScratchFolder.h"
#include "platform/Window.h"
#include "sdk/SdkTestSupport.h"
#include "support/AlbumdProcess.h"
#include "ui/HskFrame.h"
#include "ui/PageHost.h"
#include "ui/WindowMirror.h"
#include "upload/UploadDlg.h"

int main(int argc, char** argv) {
    using namespace tavopix;
    namespace fs = std::filesystem;
    const fs::path build = fs::read_symlink("/proc/self/exe").parent_path();
    test::ScratchFolder folder;
    fs::copy(build / "skin", folder.Path("skin"), fs::copy_options::recursive);
    appContext.programDir = FromUtf8(folder.Path());
    appContext.iconCacheDir = FromUtf8(folder.Path("iconsdb/"));
    appContext.errorImagePath = appContext.programDir + u"skin/res/error_img.jpg";
    PercentEscape(appContext.errorImagePath);
    fs::create_directories(folder.Path("iconsdb"));

    std::unique_ptr<test::AlbumdProcess> albumd = test::AlbumdProcess::Start({"alice"});
    if (!albumd)
        return 1;
    test::ThrottledRelay relay(test::PortOf(albumd->BaseAddress()), 96 * 1024);
    const char* outage = std::getenv("TAVOPIX_SHOW_OUTAGE");
    test::SdkSession sdk(relay.BaseAddress(), outage ? "[uploads]\nresumable_from = 0\n" : "");
    if (sdk.Login("alice", "secret-pw") != 1)
        return 1;
    appContext.serviceSession = sdk.Session();
    const test::ApiReply album =
        test::CallOpenApi(sdk.Session(), OVK_API_ALBUM_CREATE, u"",
                          u"{\"album_name\":\"trip\",\"privacy_lev\":\"1\"}");
    const std::size_t at = album.text.find(u"\"album_id\":\"") + 12;
    const std::u16string albumId = album.text.substr(at, album.text.find(u'"', at) - at);

    RegisterFrameClass();
    std::string error;
    std::unique_ptr<BrowserView> view = BrowserView::Start(build / "web", error);
    if (!view) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    view->AllowFolder(folder.Path("skin"));
    view->AllowFolder(folder.Path("iconsdb"));
    std::vector<std::u16string> paths;
    for (int i = 1; i < argc; ++i) {
        paths.push_back(FromUtf8(fs::absolute(argv[i]).string()));
        view->AllowFolder(fs::absolute(argv[i]).parent_path());
    }
    PageHost::SetView(view.get());
    std::thread stopper;
    std::atomic<bool> closed{false};
    if (outage) {
        stopper = std::thread([&] {
            while (relay.BytesToServer() < 300 * 1024) {
                if (closed)
                    return;
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
            albumd->Stop();
            std::this_thread::sleep_for(std::chrono::seconds(std::atoi(outage)));
            if (albumd->Listen())
                relay.RetargetTo(albumd->Port());
        });
    }
    int result = 0;
    {
        WindowMirror mirror(*view);
        std::printf("Tavopix UI: %s\n", view->Url().c_str());
        std::fflush(stdout);
        view->WaitForPage(std::chrono::seconds(30));
        UploadedRegistry registry(FromUtf8(folder.Path("uploadedImg.dat")));
        CUploadDlg dialog(registry, albumId, 0, paths, nullptr);
        result = dialog.Run(SW_SHOWNORMAL);
        view->SayGoodbye();
    }
    PageHost::SetView(nullptr);
    closed = true;
    if (stopper.joinable())
        stopper.join();
    std::printf("result %d\n", result);
    return 0;
}
