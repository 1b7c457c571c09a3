#include "engine/HeadlessView.h"

#include <gtest/gtest.h>

#include <random>

#include "EngineTestSupport.h"
#include "engine/Document.h"

namespace tavopix {
namespace {

using test::DumpTreeOf;

std::unique_ptr<Document> GridAndQueuePage() {
    return Document::FromHtml(
        "<html><body><div #grid><div .loc it=\"0\"><div .icon></div></div></div>"
        "<div #task_list> <div .item><p .close /><p .txt_wait>等待中</p></div></div></body></html>",
        u"/skin/t.htm");
}

// Random edits of every kind; after each message's worth the mirror must equal the page.
class RandomEdits {
public:
    RandomEdits(Document& page, unsigned seed) : page_(page), random_(seed) {}

    void Step() {
        std::vector<Element*> all;
        for (Element* e = page_.Root(); e; e = e->NextInOrder(page_.Root())) {
            all.push_back(e);
        }
        Element& e = *all[Pick(all.size())];
        static constexpr std::string_view kFragments[] = {
            "<div .loc it=\"3\" style=\"width:8px\" path=\"%mypic%a.jpg\"><div .icon></div> "
            "<p .uped /></div>",
            "text only",
            "<p .mark style=\"left:1px\">",
            "a<b>b</b>c<i>i</i>",
            "",
            "<picture #pic src=\"x.jpg\" />"};
        switch (Pick(12)) {
            case 0:
                e.SetAttribute(Name(), Word());
                break;
            case 1:
                e.SetAttribute(Name(), std::nullopt);
                break;
            case 2:
                e.SetStyleAttribute(Name(), Pick(3) ? Word() : u"");
                break;
            case 3:
                e.SetState(1u << Pick(28), 1u << Pick(28));
                break;
            case 4:
                e.SetText(Word());
                break;
            case 5:
                e.SetTail(Word());
                break;
            case 6:
                e.SetValue(Word());
                break;
            case 7:
                e.SetInnerText(Word());
                break;
            case 8:
                (void)e.SetHtml(kFragments[Pick(std::size(kFragments))],
                                static_cast<HtmlPosition>(Pick(6)));
                break;
            case 9:
                if (&e != page_.Root()) {
                    e.Detach();
                }
                break;
            case 10: {
                // Move an element somewhere else (refused when into itself).
                Element& to = *all[Pick(all.size())];
                if (&e != page_.Root()) {
                    to.InsertChild(ElementRef(&e), Pick(to.ChildCount() + 2));
                }
                break;
            }
            case 11:
                e.InsertChild(Element::Create("span"), Pick(e.ChildCount() + 1));
                break;
        }
    }

private:
    std::size_t Pick(std::size_t n) {
        return std::uniform_int_distribution<std::size_t>(0, n - 1)(random_);
    }
    std::string Name() { return std::string(1, static_cast<char>('a' + Pick(4))); }
    std::u16string Word() {
        static constexpr std::u16string_view kWords[] = {u"true",   u"",           u" ",  u"等待",
                                                         u"a&b<c>", u"\U0001F600", u"x y"};
        return std::u16string(kWords[Pick(std::size(kWords))]);
    }

    Document& page_;
    std::mt19937 random_;
};

TEST(HeadlessView, MirrorEqualsThePageAfterRandomEdits) {
    for (unsigned seed = 1; seed <= 4; ++seed) {
        HeadlessView view;
        auto page = GridAndQueuePage();
        page->AttachView(&view);
        RandomEdits edits(*page, seed);
        for (int message = 0; message < 150; ++message) {
            for (int i = 0; i < 8; ++i) {
                edits.Step();
            }
            Document::FlushAllChanges();
            ASSERT_EQ(DumpTreeOf(*page), view.MirrorDump(*page)) << "seed " << seed;
        }
        EXPECT_TRUE(view.Faults().empty()) << view.Faults().front();
        // A view that attaches late gets the same page.
        HeadlessView late;
        page->AttachView(&late);
        page->FlushChanges();
        EXPECT_EQ(DumpTreeOf(*page), late.MirrorDump(*page));
        page->AttachView(nullptr);
    }
}

TEST(HeadlessView, ScriptedGeometryLaterSettingsWin) {
    HeadlessView view;
    auto page = GridAndQueuePage();
    page->AttachView(&view);
    Element* grid = page->Root()->FindById(u"grid");
    Element* cell = grid->FirstChild();
    view.SetLocation("#grid", {0, 100, 800, 600}, Rect{2, 102, 798, 598});
    view.SetLocation("div.loc", {10, 110, 146, 246});
    view.SetLocation(*cell, {20, 120, 156, 256});

    EXPECT_EQ((Rect{2, 102, 798, 598}), grid->Location(ROOT_RELATIVE | CONTENT_BOX));
    EXPECT_EQ((Rect{0, 100, 800, 600}), grid->Location(ROOT_RELATIVE | BORDER_BOX));
    EXPECT_EQ((Rect{20, 120, 156, 256}), cell->Location(ROOT_RELATIVE | BORDER_BOX));
    EXPECT_EQ((Rect{0, 0, 136, 136}), cell->Location(SELF_RELATIVE | BORDER_BOX));
    EXPECT_EQ((Rect{20, 20, 156, 156}), cell->Location(CONTAINER_RELATIVE | BORDER_BOX));
    EXPECT_EQ(Rect{}, page->Body()->Location(ROOT_RELATIVE | BORDER_BOX));

    view.SetScrollInfo("#grid", {{0, 40}, {2, 102, 798, 598}, {796, 2000}});
    EXPECT_EQ((Point{0, 40}), grid->GetScrollInfo().scrollPos);
    grid->SetScrollPos({0, 300}, false);
    EXPECT_EQ((Point{0, 300}), grid->GetScrollInfo().scrollPos);
    EXPECT_EQ((Size{796, 2000}), grid->GetScrollInfo().contentSize);
    EXPECT_EQ((Point{0, 300}), *view.LastScrollPos(*grid));

    view.SetIntrinsicWidths("#task_list", {50, 300});
    view.SetIntrinsicHeight("#task_list", [](int width) { return 9000 / width; });
    Element* tasks = page->Root()->FindById(u"task_list");
    EXPECT_EQ((IntrinsicWidths{50, 300}), tasks->GetIntrinsicWidths());
    EXPECT_EQ(30, tasks->IntrinsicHeight(300));

    view.SetLocation("div[", {});
    EXPECT_EQ(1u, view.Faults().size());
}

TEST(HeadlessView, DefaultsComeFromTheText) {
    HeadlessView view;
    auto page = Document::FromHtml("<body><div #t>a longerword b</div><p #e></p></body>", u"/x");
    page->AttachView(&view);
    Element* t = page->Root()->FindById(u"t");
    EXPECT_EQ((IntrinsicWidths{80, 112}), t->GetIntrinsicWidths());
    EXPECT_EQ(16, t->IntrinsicHeight(500));
    EXPECT_EQ(48, t->IntrinsicHeight(50));
    EXPECT_EQ(16, page->Root()->FindById(u"e")->IntrinsicHeight(0));
    EXPECT_EQ((Size{1920, 1080}), view.ScreenSize());
    view.SetScreen({1280, 800}, {0, 0, 1280, 770});
    EXPECT_EQ((Rect{0, 0, 1280, 770}), view.WorkArea());

    ElementRef loose = Element::Create("div");
    EXPECT_EQ(IntrinsicWidths{}, loose->GetIntrinsicWidths());  // no page, no view
}

TEST(HeadlessView, KeepsTheWindowsAsPlaced) {
    HeadlessView view;
    auto page = GridAndQueuePage();
    WindowPlacement main;
    main.document = page.get();
    main.title = u"Tavopix";
    main.bounds = {0, 0, 1200, 800};
    main.visible = true;
    view.PlaceWindow(7, main);
    WindowPlacement dialog = main;
    dialog.owner = 7;
    dialog.enabled = false;
    view.PlaceWindow(9, dialog);
    ASSERT_EQ(2u, view.Windows().size());
    EXPECT_EQ(7u, view.Windows().at(9).owner);
    view.RemoveWindow(9);
    EXPECT_EQ(1u, view.Windows().size());
    EXPECT_EQ(u"Tavopix", view.Windows().at(7).title);
}

}  // namespace
}  // namespace tavopix
