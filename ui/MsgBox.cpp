#include "ui/MsgBox.h"

#include <algorithm>
#include <string_view>

#include "app/AppContext.h"
#include "engine/Element.h"
#include "engine/EventCodes.h"
#include "platform/MessageQueue.h"
#include "platform/SystemMetrics.h"
#include "platform/Utf8.h"
#include "platform/Window.h"
#include "ui/DialogKeys.h"
#include "ui/PageHost.h"

namespace tavopix {
namespace {

// One template per style bit, in ascending order of the bits.
struct ButtonTemplate {
    unsigned bit;
    std::string_view html;  // "%u" takes the bit as the button's id
};
constexpr ButtonTemplate kButtons[] = {
    {MB_HSK_OK_LATIN, R"(<button .hsk_btn value="OK" btn_id=%u />)"},
    {MB_HSK_CANCEL_LATIN, R"(<button .hsk_btn value="Cancel" btn_id=%u />)"},
    {MB_HSK_YES, R"(<button .hsk_btn value="是" btn_id=%u />)"},
    {MB_HSK_NO, R"(<button .hsk_btn value="否" btn_id=%u />)"},
    {MB_HSK_OK, R"(<button .hsk_btn value="确定" btn_id=%u />)"},
    {MB_HSK_CANCEL, R"(<button .hsk_btn value="取消" btn_id=%u />)"},
    {MB_HSK_CONTINUE, R"(<button .hsk_btn value="继续" btn_id=%u />)"},
};

constexpr int kMinWidth = 160;
constexpr int kMinHeight = 130;
// A text whose one line fits this box width is shown on one line.
constexpr int kOneLineWidth = 420;
// Room kept between the box and the edges of the view.
constexpr int kViewMargin = 16;
// The buttons that answer no, in the order Escape looks for them.
constexpr unsigned kCancelBits[] = {MB_HSK_CANCEL, MB_HSK_CANCEL_LATIN, MB_HSK_NO};

}  // namespace

CMsgBox::CMsgBox(std::u16string text, std::u16string_view caption, unsigned style, HWND owner)
    : CHskFrame(owner), text_(std::move(text)), style_(style) {
    skinPage = appContext.programDir + u"skin/msgBox.htm";
    flags = HSK_CLOSE;
    width = kMinWidth;
    height = kMinHeight;
    title = caption.empty() ? std::u16string(u" ") : std::u16string(caption);
}

int CMsgBox::Create() {
    if (const int error = CHskFrame::Create(); error != 0)
        return error;
    Element* root = Page()->Root();
    Element* caption = root->FindById(u"hsk_cp_txt");
    Element* text = root->FindById(u"text_div");
    if (caption)
        caption->SetInnerText(title);
    if (text)
        text->SetInnerText(text_);
    Element* buttons = root->FindById(u"btns_div");
    if (buttons)
        AddButtons(*buttons);
    if (text && caption)
        FitToText(*text, *caption, buttons);
    return 0;
}

std::vector<Element*> CMsgBox::Buttons() const {
    std::vector<Element*> buttons;
    if (Element* body = parts[PART_BODY].get()) {
        body->SelectElements("button.hsk_btn", [&](Element& button) {
            buttons.push_back(&button);
            return Walk::Continue;
        });
    }
    return buttons;
}

bool CMsgBox::OnKey(Element&, KeyParams& params) {
    const std::vector<Element*> buttons = Buttons();
    Element* cancel = nullptr;
    for (unsigned bit : kCancelBits) {
        for (Element* button : buttons) {
            const std::u16string* id = button->GetAttribute("btn_id");
            if (!cancel && id && *id == Utf8ToUtf16(std::to_string(bit)))
                cancel = button;
        }
    }
    // Without a button that says no, Escape closes the box as its close button does.
    if (!cancel)
        cancel = parts[PART_CLOSE].get();
    return HandleDialogKey(params, buttons.empty() ? nullptr : buttons.front(), cancel);
}

void CMsgBox::AddButtons(Element& container) const {
    for (const ButtonTemplate& button : kButtons) {
        if (!(style_ & button.bit))
            continue;
        std::string html(button.html);
        html.replace(html.find("%u"), 2, std::to_string(button.bit));
        (void)container.SetHtml(html, SIH_APPEND_AFTER_LAST);
    }
}

void CMsgBox::FitToText(Element& text, Element& caption, Element* buttons) {
    const IntrinsicWidths textWidths = text.GetIntrinsicWidths();
    const IntrinsicWidths captionWidths = caption.GetIntrinsicWidths();
    const int w1 = (textWidths.minWidth + textWidths.maxWidth) / 2 + 35;
    const int w2 = (captionWidths.minWidth + captionWidths.maxWidth) / 2 + 50;
    int w = w1 > w2 ? w1 : w2;
    // A short text is not broken into lines, and the buttons stay inside the box.
    const int oneLine = textWidths.maxWidth + 35;
    if (oneLine > w && oneLine <= kOneLineWidth)
        w = oneLine;
    if (buttons)
        w = std::max(w, buttons->GetIntrinsicWidths().maxWidth);
    const int viewWidth = GetSystemMetrics(SM_CXMAXIMIZED);
    const int viewHeight = GetSystemMetrics(SM_CYMAXIMIZED);
    w = std::min(w, viewWidth - 2 * kViewMargin);
    const int h = std::min(text.IntrinsicHeight(w) + 50, viewHeight - 2 * kViewMargin);
    if (w > width)
        width = w;
    if (h > height)
        height = h;
    x = (viewWidth - width) / 2;
    y = (viewHeight - height) / 2;
    MoveWindow(hwnd, x, y, width, height, true);
}

bool CMsgBox::OnBehaviorEvent(Element* element, Element* target, std::uint32_t code,
                              std::uintptr_t reason) {
    if (CHskFrame::OnBehaviorEvent(element, target, code, reason))
        return true;
    if (code != BUTTON_CLICK || !target)
        return false;
    Element* body = parts[PART_BODY].get();
    if (!body)
        return false;
    bool ours = false;
    body->SelectElements("button.hsk_btn", [&](Element& button) {
        ours = &button == target;
        return ours ? Walk::Stop : Walk::Continue;
    });
    if (!ours)
        return false;
    const std::u16string* id = target->GetAttribute("btn_id");
    resultCode = 0;
    if (id) {
        int value = 0;
        for (char16_t c : *id) {
            if (c < u'0' || c > u'9')
                break;
            value = value * 10 + (c - u'0');
        }
        resultCode = value;
    }
    PostMessage(hwnd, WM_CLOSE, 0, 0);
    return true;
}

int HskMessageBox(std::u16string_view text, std::u16string_view caption, unsigned style,
                  HWND owner) {
    if (!owner)
        owner = GetActiveWindow();
    CMsgBox box(std::u16string(text), caption, style, owner);
    return box.Run(SW_SHOWNORMAL);
}

}  // namespace tavopix
