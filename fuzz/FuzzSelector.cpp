// Any bytes as a selector: parsing either refuses it or compiles it, and matching a compiled one
// against every element of a page with the structures the windows use never faults and agrees
// with its specificity answer.
#include <cstdint>
#include <string_view>

#include "engine/Document.h"
#include "engine/Element.h"
#include "engine/ElementState.h"
#include "engine/Selector.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::optional<tavopix::Selector> selector = tavopix::Selector::Parse(text);
    if (!selector) {
        return 0;
    }
    static const auto page = tavopix::Document::FromHtml(
        "<html><body><div #tree_view><options expanded><caption path=\"/a/\" lang=\"en-US\">"
        "<span .cp sel=\"true\" data=\"a b\">x</span></caption><option checked /></options></div>"
        "<div #grid><div .loc it=\"0\" sel=\"true\"><div .icon></div><p .mark /></div>"
        "<div .loc it=\"1\"></div></div><menu><li sort_type=\"3\">a</li><li disabled /></menu>"
        "</body></html>",
        u"/fuzz.htm");
    unsigned state = 0;
    for (tavopix::Element* e = page->Root(); e; e = e->NextInOrder(page->Root())) {
        e->SetState(1u << (state++ % 28), 0);
        if (selector->Matches(*e) != selector->MatchSpecificity(*e).has_value()) {
            __builtin_trap();
        }
        e->SetState(0, 0xFFFFFFFF);
    }
    return 0;
}
