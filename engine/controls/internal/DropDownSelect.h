// A drop-down select (<select>): a "caption" child shows the chosen option, a "popup" child
// holds the "option" elements. A press on the select opens the popup below it (a second press
// closes it); a click on an option chooses it and closes the popup; Up and Down choose the
// option before or after the chosen one while the select has the focus.
//
// Choosing an option marks it current and checked (and no other), puts the option's content into
// the caption and gives the caption the option's attributes (all but id, class and style, which
// stay the caption's own), so the program reads the choice there, for example its "aid". A
// choice by the user raises SELECT_SELECTION_CHANGED for the select with the option as the
// source; a choice by ControlSetValue raises nothing. Choosing nothing clears the caption.
#pragma once

#include "engine/controls/Control.h"

namespace tavopix {

class DropDownSelectControl final : public Control {
public:
    void MouseDown(ControlHost& host, Element& control, const MouseParams& params) const override;
    void Click(ControlHost& host, Element& control, const MouseParams& params) const override;
    bool KeyDown(ControlHost& host, Element& control, const KeyParams& params) const override;
    // The chosen option's "value" attribute, or its text; nothing when none is chosen.
    ControlValue GetValue(const Element& control) const override;
    // An integer chooses the option at that index; a string the option whose value it is.
    // Anything that names no option chooses nothing and returns false.
    bool SetValue(Element& control, const ControlValue& value) const override;

private:
    static void Choose(Element& control, Element* option);
    static void ChooseByUser(ControlHost& host, Element& control, Element& option);
};

}  // namespace tavopix
