// CMsgBox: the program's own message box. It shows a caption, a text and a row of buttons
// chosen by a style bit set, sizes itself to the text, runs modally over its owner and returns
// the id of the pressed button (the button's bit), or 2 when it is closed otherwise. Enter
// presses its first button, Escape its cancel button (取消, Cancel or 否), or closes a box that
// has none.
//
// Its size: the text's half-way width (between its narrowest and its widest line) as the base,
// wide enough for a short text on one line and for the row of buttons, never wider or taller
// than the view; a text taller than that scrolls inside the box.
//
// Styles the program uses: 16, one "确定" button; 48, "确定" and "取消" (16 means yes).
#pragma once

#include <string>
#include <vector>

#include "ui/HskFrame.h"

namespace tavopix {

inline constexpr unsigned MB_HSK_OK_LATIN = 0x01;
inline constexpr unsigned MB_HSK_CANCEL_LATIN = 0x02;
inline constexpr unsigned MB_HSK_YES = 0x04;
inline constexpr unsigned MB_HSK_NO = 0x08;
inline constexpr unsigned MB_HSK_OK = 0x10;
inline constexpr unsigned MB_HSK_CANCEL = 0x20;
inline constexpr unsigned MB_HSK_CONTINUE = 0x40;

class CMsgBox : public CHskFrame {
public:
    CMsgBox(std::u16string text, std::u16string_view caption, unsigned style, HWND owner);

    int Create() override;
    bool OnBehaviorEvent(Element* element, Element* target, std::uint32_t code,
                         std::uintptr_t reason) override;
    bool OnKey(Element& element, KeyParams& params) override;

private:
    void AddButtons(Element& container) const;
    void FitToText(Element& text, Element& caption, Element* buttons);
    // The box's buttons in page order.
    std::vector<Element*> Buttons() const;

    std::u16string text_;
    unsigned style_;
};

// Shows a message box over `owner` (the active window when null) and returns what its run
// returned: the pressed button's id, 2 when closed, 3 when the box could not be created.
int HskMessageBox(std::u16string_view text, std::u16string_view caption, unsigned style,
                  HWND owner);

}  // namespace tavopix
