#include "engine/Change.h"

#include <gtest/gtest.h>

#include <memory>

#include "EngineTestSupport.h"
#include "engine/Document.h"
#include "engine/HeadlessView.h"

namespace tavopix {
namespace {

using test::DumpTreeOf;

// Keeps every batch it is given, as kinds, so the tests can read what was recorded.
class BatchLog final : public HeadlessView {
public:
    void ApplyChanges(const Document& document, const std::vector<Change>& changes) override {
        std::string kinds;
        for (const Change& change : changes) {
            static constexpr const char* kNames[] = {"reset", "insert", "remove", "attr", "style",
                                                     "state", "text",   "tail",   "value"};
            if (!kinds.empty()) {
                kinds += ' ';
            }
            kinds += kNames[static_cast<int>(change.kind)];
        }
        batches.push_back(kinds);
        HeadlessView::ApplyChanges(document, changes);
    }
    std::vector<std::string> batches;
};

std::unique_ptr<Document> BoxPage() {
    return Document::FromHtml("<html><body><div #box>x<p #p>y</p></div></body></html>",
                              u"/skin/t.htm");
}

TEST(ChangeRecording, NothingIsRecordedWithoutAView) {
    auto page = BoxPage();
    page->Root()->FindById(u"p")->SetAttribute("a", u"1");
    EXPECT_FALSE(page->HasPendingChanges());
    Document::FlushAllChanges();
}

TEST(ChangeRecording, EveryKindOfEditIsRecordedAndFlushedOncePerMessage) {
    BatchLog view;  // outlives the page
    auto page = BoxPage();
    page->AttachView(&view);
    Document::FlushAllChanges();
    ASSERT_EQ(std::vector<std::string>{"reset"}, view.batches);

    Element* box = page->Root()->FindById(u"box");
    Element* p = page->Root()->FindById(u"p");
    p->SetAttribute("sel", u"true");
    p->SetAttribute("sel", u"true");  // unchanged: nothing to record
    p->SetStyleAttribute("cursor", u"wait");
    p->SetState(STATE_CHECKED, 0);
    p->SetState(STATE_CHECKED, 0);
    p->SetValue(u"v");
    p->SetTail(u"t");
    box->SetText(u"lead");
    ASSERT_TRUE(box->SetHtml("<i>1</i>", SIH_APPEND_AFTER_LAST));
    p->Detach();
    EXPECT_TRUE(page->HasPendingChanges());
    Document::FlushAllChanges();
    Document::FlushAllChanges();  // nothing new: no empty batch
    ASSERT_EQ(2u, view.batches.size());
    EXPECT_EQ("attr style state value tail text insert remove", view.batches[1]);
    EXPECT_EQ(page->Root()->FindById(u"box")->OuterHtml(), "<div id=\"box\">lead<i>1</i></div>");
    EXPECT_TRUE(view.Faults().empty());
    EXPECT_EQ(DumpTreeOf(*page), view.MirrorDump(*page));
}

// A page filled before its first batch goes out whole in the reset: the view reads it from
// the document then, and the edits are not recorded one by one.
TEST(ChangeRecording, EditsBeforeTheFirstBatchAreInTheReset) {
    BatchLog view;  // outlives the page
    auto page = BoxPage();
    page->AttachView(&view);
    Element* box = page->Root()->FindById(u"box");
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(box->SetHtml("<i>n</i>", SIH_APPEND_AFTER_LAST));
    }
    box->LastChild()->SetAttribute("sel", u"true");
    page->Root()->FindById(u"p")->Detach();
    Document::FlushAllChanges();
    ASSERT_EQ(std::vector<std::string>{"reset"}, view.batches);
    EXPECT_EQ(DumpTreeOf(*page), view.MirrorDump(*page));

    box->FirstChild()->SetText(u"after");  // recorded again once the reset went out
    Document::FlushAllChanges();
    EXPECT_EQ("text", view.batches.back());
    EXPECT_EQ(DumpTreeOf(*page), view.MirrorDump(*page));
}

TEST(ChangeRecording, DetachedElementsChangeSilentlyAndArriveWhole) {
    BatchLog view;  // outlives the page
    auto page = BoxPage();
    page->AttachView(&view);
    Document::FlushAllChanges();

    ElementRef cell = Element::Create("div");
    ASSERT_TRUE(cell->SetHtml("<div .icon></div><p .mark />", SIH_REPLACE_CONTENT));
    cell->SetAttribute("it", u"7");
    EXPECT_FALSE(page->HasPendingChanges());
    page->Body()->AppendChild(cell);
    EXPECT_EQ(page->Body()->LastChild(), page->ElementByUid(cell->GetUid()));
    EXPECT_EQ(cell->FirstChild(), page->ElementByUid(cell->FirstChild()->GetUid()));
    Document::FlushAllChanges();
    EXPECT_EQ("insert", view.batches.back());
    EXPECT_EQ(DumpTreeOf(*page), view.MirrorDump(*page));

    // Moving within the page is a removal and an insertion of the same uids.
    const Element::Uid uid = cell->GetUid();
    page->Root()->FindById(u"box")->InsertChild(cell, 0);
    Document::FlushAllChanges();
    EXPECT_EQ("remove insert", view.batches.back());
    EXPECT_EQ(uid, cell->GetUid());

    cell->Detach();
    EXPECT_EQ(nullptr, page->ElementByUid(uid));
    EXPECT_EQ(nullptr, page->ElementByUid(cell->FirstChild()->GetUid()));
    cell->SetAttribute("it", u"8");
    Document::FlushAllChanges();
    EXPECT_EQ("remove", view.batches.back());
    EXPECT_EQ(DumpTreeOf(*page), view.MirrorDump(*page));
}

TEST(ChangeRecording, AGeometryQueryFlushesFirst) {
    HeadlessView view;
    auto page = BoxPage();
    page->AttachView(&view);
    view.SetLocation("p.fresh", {10, 20, 110, 40});
    Element* p = page->Root()->FindById(u"p");
    p->SetAttribute("class", u"fresh");
    EXPECT_EQ(0u, view.BatchCount());
    EXPECT_EQ((Rect{10, 20, 110, 40}), p->Location(ROOT_RELATIVE | BORDER_BOX));
    EXPECT_EQ(1u, view.BatchCount());
    EXPECT_FALSE(page->HasPendingChanges());
    EXPECT_EQ(DumpTreeOf(*page), view.MirrorDump(*page));
}

TEST(ChangeRecording, ALateViewStartsFromTheWholePageAndADyingPageLeavesIt) {
    HeadlessView view;
    {
        auto page = BoxPage();
        page->Root()->FindById(u"p")->SetState(STATE_HOVER, 0);
        page->AttachView(&view);
        page->AttachView(&view);
        Document::FlushAllChanges();
        EXPECT_EQ(1u, view.ChangeCount());
        EXPECT_EQ(DumpTreeOf(*page), view.MirrorDump(*page));
        page->Body()->SetAttribute("pending", u"1");
    }  // destroyed with a change pending
    Document::FlushAllChanges();
    EXPECT_EQ(1u, view.BatchCount());
}

}  // namespace
}  // namespace tavopix
