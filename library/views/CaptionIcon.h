// Where a press on a folder tree's caption lands: the trees' pages draw a node's icons (the
// expander, and in the folder dialog the check box) as images in the caption's left padding,
// left of its content. The engine flags presses on an element's own icon; a press in that
// padding counts the same, so the trees work in every view.
#pragma once

#include "engine/Element.h"
#include "engine/EventParams.h"

namespace tavopix {

// The caption at or above the pressed element, up to (not including) `scope`; null when the
// press was not on a caption.
inline Element* PressedCaption(const MouseParams& params, const Element& scope) {
    for (Element* e = params.target.get(); e != nullptr && e != &scope; e = e->Parent()) {
        if (e->Tag() == "caption") {
            return e;
        }
    }
    return nullptr;
}

// True when the press lies on the icon of `caption`. The press landed on the caption or inside
// it, so it is right of the caption's left edge: left of its content is in its left padding.
// A press on an element inside the caption is in its content, and the view flags a press in
// the padding of the caption itself: the view is asked only when it did not, and then once (a
// press waits for each answer).
inline bool PressOnCaptionIcon(const MouseParams& params, const Element& caption) {
    if (params.isOnIcon) {
        return true;
    }
    if (params.target.get() != &caption) {
        return false;
    }
    return params.posDocument.x < caption.Location(ROOT_RELATIVE | CONTENT_BOX).left;
}

}  // namespace tavopix
