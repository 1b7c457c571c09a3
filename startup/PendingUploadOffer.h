// At start, an upload that a close, a crash or a power loss left unfinished
// (upload/PendingUploadFile.h) is offered once the main window runs: 继续上传 logs in when
// needed and opens the upload dialog with exactly the pictures the service did not acknowledge,
// 放弃 forgets them, and closing the question keeps them for the next start.
//
// The offer has to wait for the main window's message loop, which start-up does not run
// itself: a hidden window of its own receives a message posted before that loop begins.
#pragma once

#include "platform/WindowHandle.h"

namespace tavopix {

class CMainFrame;

class PendingUploadOffer {
public:
    // Arms the offer when an unfinished upload is kept; `mainFrame` must outlive this object.
    explicit PendingUploadOffer(CMainFrame& mainFrame);
    ~PendingUploadOffer();
    PendingUploadOffer(const PendingUploadOffer&) = delete;
    PendingUploadOffer& operator=(const PendingUploadOffer&) = delete;

private:
    void Offer();

    CMainFrame& mainFrame_;
    HWND window_ = nullptr;
};

}  // namespace tavopix
