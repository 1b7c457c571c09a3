// CMainFrame: the program's main window. It shows "mainframe.htm" with its caption bar, window
// buttons, menu button and fog; closing it ends the program.
#pragma once

#include "ui/HskFrame.h"

namespace tavopix {

class CMainFrame : public CHskFrame {
public:
    // The main window's largest initial size, and its smallest size.
    static constexpr int kMaxInitialWidth = 1600;
    static constexpr int kMaxInitialHeight = 1200;
    static constexpr int kMinWidth = 800;
    static constexpr int kMinHeight = 600;

    CMainFrame();

    int Create() override;
    bool OnHitTest(POINT point, LRESULT& code) override;

private:
    ElementRef menuButton_;  // "hsk_btn_menu": clickable although it sits in the caption
};

}  // namespace tavopix
