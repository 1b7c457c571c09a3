#include "ui/MsgBox.h"

#include <string_view>

#include "app/AppContext.h"
#include "engine/Element.h"
#include "engine/EventCodes.h"
#include "platform/MessageQueue.h"
#include "platform/SystemMetrics.h"
#include "platform/Utf8.h"
#include "platform/Window.h"
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
    if (Element* buttons = root->FindById(u"btns_div"))
        AddButtons(*buttons);
    if (text && caption)
        FitToText(*text, *caption);
    return 0;
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

void CMsgBox::FitToText(Element& text, Element& caption) {
    const IntrinsicWidths textWidths = text.GetIntrinsicWidths();
    const IntrinsicWidths captionWidths = caption.GetIntrinsicWidths();
    const int w1 = (textWidths.minWidth + textWidths.maxWidth) / 2 + 35;
    const int w2 = (captionWidths.minWidth + captionWidths.maxWidth) / 2 + 50;
    const int w = w1 > w2 ? w1 : w2;
    const int h = text.IntrinsicHeight(w) + 50;
    if (w > width)
        width = w;
    if (h > height)
        height = h;
    x = (GetSystemMetrics(SM_CXMAXIMIZED) - width) / 2;
    y = (GetSystemMetrics(SM_CYMAXIMIZED) - height) / 2;
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
