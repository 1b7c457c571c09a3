// CAboutDlg: the about dialog ("aboutDlg.htm"): the program's name and version, and a
// "feedback" link that opens the feedback dialog over it.
#pragma once

#include <string_view>

#include "engine/ElementRef.h"
#include "ui/HskFrame.h"

namespace tavopix {

// The version the about dialog shows.
inline constexpr std::u16string_view kProgramVersion = u"0.1.1.0";

class CAboutDlg : public CHskFrame {
public:
    explicit CAboutDlg(HWND owner);

    int Create() override;
    bool OnBehaviorEvent(Element* element, Element* target, std::uint32_t code,
                         std::uintptr_t reason) override;
    bool OnKey(Element& he, KeyParams& params) override;

private:
    ElementRef btnClose;
};

}  // namespace tavopix
