// The behaviour "common_scroll_list": a list that tells its window when its content may have
// moved. It raises SCROLL_LIST_EVENT (265) for its element on every wheel turn, every key-down
// of an arrow key and every scroll, and never takes the event from anyone else. The upload
// dialog's queue uses it to remake the thumbnails of the rows that come into view.
#pragma once

#include "engine/Behavior.h"

namespace tavopix {

class CommonScrollList final : public Behavior {
public:
    CommonScrollList();

    bool OnMouse(Element& he, MouseParams& params) override;
    bool OnKey(Element& he, KeyParams& params) override;
    bool OnScroll(Element& he, ScrollParams& params) override;
};

// The one object, registered by name before start-up.
extern CommonScrollList commonScrollList;

}  // namespace tavopix
