// The keys every dialog answers the same way: Enter presses the dialog's default button and
// Escape its cancel button. Keys a focused control uses itself are left to it: Enter on a
// button or link presses that one, Enter in a text area starts a new line, and Escape first
// closes an open popup (a drop-down list).
#pragma once

#include "engine/EventParams.h"

namespace tavopix {

class Element;

// Call from a frame's OnKey; true when the key pressed one of the two buttons. A button that is
// null, disabled or hidden by its run-time style is not pressed.
bool HandleDialogKey(const KeyParams& params, Element* defaultButton, Element* cancelButton);

}  // namespace tavopix
