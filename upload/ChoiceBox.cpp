#include "upload/ChoiceBox.h"

#include "app/HtmlEscape.h"
#include "app/TextConvert.h"
#include "engine/Element.h"
#include "platform/Window.h"
#include "ui/PageHost.h"

namespace tavopix {

CChoiceBox::CChoiceBox(std::u16string text, std::u16string_view caption,
                       std::vector<std::u16string> choices, HWND owner)
    : CMsgBox(std::move(text), caption, 0, owner), choices_(std::move(choices)) {}

int CChoiceBox::Create() {
    if (const int error = CMsgBox::Create(); error != 0)
        return error;
    Element* buttons = Page()->Root()->FindById(u"btns_div");
    if (!buttons)
        return 0;
    std::string html;
    for (std::size_t i = 0; i < choices_.size(); ++i) {
        html += "<button .hsk_btn value=\"" + Utf8(HtmlEscape(choices_[i])) +
                "\" btn_id=" + std::to_string(kFirstChoice + static_cast<int>(i)) + " />";
    }
    (void)buttons->SetHtml(html, SIH_APPEND_AFTER_LAST);
    if (Element* first = buttons->FindFirst("button.hsk_btn"))
        first->SetState(STATE_FOCUS, 0);
    return 0;
}

int AskChoice(std::u16string_view text, std::u16string_view caption,
              std::vector<std::u16string> choices, HWND owner) {
    if (!owner)
        owner = GetActiveWindow();
    CChoiceBox box(std::u16string(text), caption, std::move(choices), owner);
    const int result = box.Run(SW_SHOWNORMAL);
    return result >= CChoiceBox::kFirstChoice ? result - CChoiceBox::kFirstChoice : -1;
}

}  // namespace tavopix
