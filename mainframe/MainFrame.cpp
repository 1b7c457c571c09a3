#include "mainframe/MainFrame.h"

#include <algorithm>

#include "app/AppContext.h"
#include "engine/Element.h"
#include "platform/Accelerator.h"
#include "platform/SystemMetrics.h"
#include "ui/PageHost.h"

namespace tavopix {

CMainFrame::CMainFrame() : CHskFrame(nullptr) {
    skinPage = appContext.programDir + u"skin/mainframe.htm";
    title = u"Tavopix";
    flags = HSK_CLOSE | HSK_MIN | HSK_MAX | 0x08 | HSK_ICON | HSK_CORNER;
    width = kMinWidth;
    height = kMinHeight;
    minWidth = kMinWidth;
    minHeight = kMinHeight;
    accelId = IDR_FRAME_ACCELERATORS;
}

int CMainFrame::Create() {
    width = std::min(GetSystemMetrics(SM_CXMAXIMIZED) * 3 / 4, kMaxInitialWidth);
    height = std::min(GetSystemMetrics(SM_CYMAXIMIZED) * 3 / 4, kMaxInitialHeight);
    if (const int error = CHskFrame::Create(); error != 0)
        return error;
    menuButton_ = ElementRef(Page()->Root()->FindById(u"hsk_btn_menu"));
    return 0;
}

bool CMainFrame::OnHitTest(POINT point, LRESULT& code) {
    if (menuButton_ &&
        menuButton_->Location(ROOT_RELATIVE | BORDER_BOX).Contains({point.x, point.y})) {
        code = HTCLIENT;
        return true;
    }
    return false;
}

}  // namespace tavopix
