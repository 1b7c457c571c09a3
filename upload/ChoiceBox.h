// A message box whose buttons say what they do ("跳过" / "再次上传", "继续上传" / "放弃")
// instead of 确定 and 取消: the program's message box with buttons of its own. Run returns the
// pressed button's index plus kFirstChoice, so that closing the box (2) is never taken for a
// choice. The first button has the focus, so Enter takes it.
#pragma once

#include <string>
#include <vector>

#include "ui/MsgBox.h"

namespace tavopix {

class CChoiceBox : public CMsgBox {
public:
    // What Run returns for the first button; the next buttons follow on.
    static constexpr int kFirstChoice = 100;

    CChoiceBox(std::u16string text, std::u16string_view caption,
               std::vector<std::u16string> choices, HWND owner);

    int Create() override;

private:
    std::vector<std::u16string> choices_;
};

// Shows the box and returns the index of the chosen button (0 for the first), or -1 when the
// box was closed without a choice.
int AskChoice(std::u16string_view text, std::u16string_view caption,
              std::vector<std::u16string> choices, HWND owner);

}  // namespace tavopix
