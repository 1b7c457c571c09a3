#include "startup/Startup.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "app/AppContext.h"
#include "app/AppContextSetup.h"
#include "app/PathTokens.h"
#include "app/SettingsFile.h"
#include "app/SettingsStore.h"
#include "app/TextConvert.h"
#include "app/UserDataFiles.h"
#include "engine/browser/BrowserView.h"
#include "mainframe/MainFrame.h"
#include "platform/BrowserWindow.h"
#include "platform/LastError.h"
#include "sdk/OvkSdk.h"
#include "startup/PendingUploadOffer.h"
#include "ui/HskFrame.h"
#include "ui/MsgBox.h"
#include "ui/PageHost.h"
#include "ui/WindowMirror.h"
#include "update/ApplyUpdate.h"
#include "update/UpdateInstaller.h"

namespace tavopix {
namespace {

constexpr std::u16string_view kStartupCaption = u"初始化错误";
// How long start-up waits for the browser to connect before it places windows on a default
// screen.
constexpr std::chrono::seconds kFirstPageWait{15};

// A start-up failure of the service SDK, shown in the message box: `what` followed by the
// last error's code.
void ShowStartupFailure(std::u16string_view what) {
    const unsigned code = GetLastError();
    HskMessageBox(std::u16string(what) + FromUtf8(std::to_string(code)), kStartupCaption, MB_HSK_OK,
                  nullptr);
}

// Opens the interface in a browser unless tavopix.ini says "ui_browser = none".
void OpenUserInterface(const BrowserView& view) {
    const std::string url = view.Url();
    std::printf("Tavopix UI: %s\n", url.c_str());
    std::fflush(stdout);
    std::u16string browser;
    if (SettingsStore::Get(SettingsFilePath(), u"ui_browser", browser) && browser == u"none") {
        return;
    }
    // The app window is the main window, so it opens at the main window's size for the
    // display (Chromium's own size where the display is unknown).
    POINT size{0, 0};
    int displayWidth = 0;
    int displayHeight = 0;
    if (ConnectedDisplaySize(displayWidth, displayHeight))
        size = CMainFrame::InitialSize(displayWidth, displayHeight);
    OpenBrowserWindow(url, Utf8(appContext.programDir + std::u16string(kBrowserProfileFolderName)),
                      size.x, size.y);
}

}  // namespace

int RunProgram(int showCommand) {
    ResolveAppContext(ProgramFolder());
    // An update cut off by a crash or a power loss is finished before anything reads the folder.
    FinishInterruptedUpdate(Utf8(appContext.programDir));

    if (RegisterFrameClass() != 0) {
        std::fprintf(stderr, "初始化错误: 初始化界面错误\n");
        return 2;
    }
    std::string viewError;
    std::unique_ptr<BrowserView> view =
        BrowserView::Start(Utf8(appContext.programDir) + "web", viewError);
    if (!view) {
        std::fprintf(stderr, "初始化错误: 初始化界面错误 (%s)\n", viewError.c_str());
        UnregisterFrameClass();
        return 2;
    }
    // The pages and their resources, not the program folder as a whole: it also holds the
    // remembered login. Pictures and thumbnails are served one by one as the pages show them.
    view->AllowFolder(Utf8(appContext.programDir) + "skin");
    PageHost::SetView(view.get());
    int exitCode = 0;
    {
        WindowMirror mirror(*view);
        OpenUserInterface(*view);
        view->WaitForPage(kFirstPageWait);

        if (!ovkStartup()) {
            ShowStartupFailure(u"OVK_SDK_Startup Failed,ErrorCode:");
        } else if (const std::u16string config =
                       appContext.programDir + std::u16string(kSdkConfigFileName);
                   !ovkLoadCfg(config.c_str())) {
            ShowStartupFailure(u"OVK_SDK_ovkSetCfg Failed,ErrorCode:");
        } else if ((appContext.serviceSession = ovkCreateSession()) == 0) {
            ShowStartupFailure(u"OVK_SDK_ovkCreateSession_Failed,ErrorCode:");
        } else {
            CMainFrame mainFrame;
            const PendingUploadOffer offer(mainFrame);
            exitCode = mainFrame.Run(showCommand);
        }

        ovkCleanup();
        view->SayGoodbye();
    }
    PageHost::SetView(nullptr);
    view.reset();
    UnregisterFrameClass();
    if (!appContext.updateFilePath.empty()) {
        ApplyUpdateAndRestart(Utf8(appContext.programDir),
                              Utf8(ExpandPath(appContext.updateFilePath)));
    }
    return exitCode;
}

}  // namespace tavopix
