// CAdviceDlg: the feedback dialog ("adviceDlg.htm"), resizable. The text of "adv_msg" is sent to
// the service as an OpenApi request; "req_info" says how it went. The message box follows the
// window's height.
#pragma once

#include "engine/ElementRef.h"
#include "service/OpenApiRequest.h"
#include "ui/HskFrame.h"

namespace tavopix {

// Posted by the feedback completion: wParam the SDK's result (1 = success), lParam its last
// error, shown as the code of a refusal.
inline constexpr UINT WM_FEEDBACK_RESULT = WM_USER + 30;

class CAdviceDlg : public CHskFrame {
public:
    // "adv_msg" is this much shorter than the window's client height.
    static constexpr int kMessageMargin = 115;

    explicit CAdviceDlg(HWND owner);

    int Create() override;
    bool OnBehaviorEvent(Element* element, Element* target, std::uint32_t code,
                         std::uintptr_t reason) override;
    bool OnKey(Element& he, KeyParams& params) override;
    LRESULT OnWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                            bool& handled) override;

private:
    void Send();
    // Shows `text` in "req_info", disabled (greyed) while a send runs.
    void ShowInfo(std::u16string_view text, bool sending);
    void FitMessage(int clientHeight);

    ElementRef advMsg;
    ElementRef info;
    ElementRef btnSend;
    ElementRef btnClose;
    OpenApiRequest request;
};

}  // namespace tavopix
