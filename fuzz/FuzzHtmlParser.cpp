// Any bytes as a page fragment: parsing never fails, what the serializer writes parses back to
// the same tree, and the fragment set into a page at any position reaches a view's mirror
// exactly as the page has it.
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/Document.h"
#include "engine/Element.h"
#include "engine/HeadlessView.h"
#include "engine/HtmlParser.h"
#include "engine/TreeDump.h"

namespace {

struct Written {
    std::string dump;
    std::string html;
};

Written Write(const tavopix::HtmlFragment& fragment) {
    tavopix::ElementRef holder = tavopix::Element::Create("fragment");
    holder->SetText(fragment.leadingText);
    for (const tavopix::ElementRef& element : fragment.elements) {
        holder->AppendChild(element);
    }
    return {tavopix::DumpTree(*holder, tavopix::DumpBlankText::Show), holder->InnerHtml()};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view html(reinterpret_cast<const char*>(data), size);
    const Written first = Write(tavopix::ParseHtml(html));
    if (Write(tavopix::ParseHtml(first.html)).dump != first.dump) {
        __builtin_trap();
    }

    tavopix::HeadlessView view;
    auto page = tavopix::Document::FromHtml("<html><body><div #a>x<p #b>y</p>z</div></body></html>",
                                            u"/fuzz.htm");
    page->AttachView(&view);
    tavopix::Element* b = page->Root()->FindById(u"b");
    const auto where = static_cast<tavopix::HtmlPosition>(size % 6);
    (void)b->SetHtml(html, where);
    page->FlushChanges();
    if (view.MirrorDump(*page) != tavopix::DumpTree(*page->Root(), tavopix::DumpBlankText::Show) ||
        !view.Faults().empty()) {
        __builtin_trap();
    }
    page->AttachView(nullptr);
    return 0;
}
