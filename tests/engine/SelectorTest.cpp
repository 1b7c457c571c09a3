#include "engine/Selector.h"

#include <gtest/gtest.h>

#include <memory>

#include "engine/Document.h"
#include "engine/Element.h"
#include "engine/ElementState.h"
#include "platform/Utf8.h"

namespace tavopix {
namespace {

// A page with the structures the windows work on: the folder tree, the grid, the upload queue,
// the sort menu and the message box buttons.
constexpr std::string_view kPage = R"(<html><body>
<div #tree_view>
  <options expanded rt="true"><caption tp="%disk%" path="/home/"><span .cp #c1><span .tl>home</span></span></caption>
    <option><caption path="/home/a/"><span .cp #c2 sel="true"><span .tl>a</span></span></caption></option>
  </options>
</div>
<div #grid>
  <div .loc #g0 it="0" sel="true"><div .icon></div></div>
  <div .loc #g1 it="1"><div .icon></div><p .mark /></div>
  <div .loc #g2 it="2" sel="true"><div .icon></div><p .uped /></div>
  <p #g3 sel="true" />
</div>
<div #task_list><div .item><div .sts><p .close #close1 /><p .txt_wait #w1>x</p></div></div>
  <div .item><div .sts><p .close /><p .txt_timeout #t1>x</p></div></div></div>
<menu #sort><li #s1 sort_type="1" sel="true">name</li><li #s3 sort_type="3">date</li><li #s30 sort_type="30" /></menu>
<div #btns_div><button .hsk_btn #ok btn_id=16 /><button .hsk_btn .big #cancel btn_id=32 /><input #in name="x" /></div>
<span #sp sel="true" lang="en-US" data="alpha beta gamma" />
</body></html>)";

class SelectorMatching : public ::testing::Test {
protected:
    void SetUp() override { page_ = Document::FromHtml(kPage, u"/skin/page.htm"); }

    // The ids of the matches below the root, in document order, joined by blanks.
    std::string Ids(std::string_view selector) const {
        std::optional<Selector> compiled = Selector::Parse(selector);
        EXPECT_TRUE(compiled) << selector;
        if (!compiled) {
            return "<invalid>";
        }
        std::string ids;
        for (const ElementRef& e : page_->Root()->SelectAll(*compiled)) {
            const std::u16string* id = e->GetAttribute("id");
            if (!ids.empty()) {
                ids += ' ';
            }
            ids += id ? Utf16ToUtf8(*id) : "?";
        }
        return ids;
    }

    Element& ById(std::u16string_view id) const { return *page_->Root()->FindById(id); }

    std::unique_ptr<Document> page_;
};

TEST_F(SelectorMatching, TheSelectorsTheWindowsUse) {
    EXPECT_EQ("c2", Ids("caption .cp[sel=\"true\"]"));
    EXPECT_EQ("g0 g2", Ids("div.loc[sel=\"true\"]"));
    EXPECT_EQ("g0 g2", Ids(".loc[sel=\"true\"]"));
    EXPECT_EQ("g0 g2 g3", Ids("[sel=\"true\"]:not(li):not(span):not(.cp)"));
    EXPECT_EQ("g0 g2", Ids("div[sel=\"true\"]"));
    EXPECT_EQ("s3", Ids("li[sort_type=\"3\"]"));
    EXPECT_EQ("s1", Ids("li[sel=\"true\"]"));
    EXPECT_EQ("ok cancel", Ids("button.hsk_btn"));
    EXPECT_EQ("c2 sp", Ids("span[sel=\"true\"]"));
    EXPECT_EQ("w1 t1", Ids("p.txt_wait, p.txt_timeout"));
    EXPECT_EQ("in", Ids("[name]"));
    EXPECT_EQ("grid", Ids("#grid"));
    EXPECT_EQ(page_->Body(), page_->Root()->FindFirst("body"));
}

TEST_F(SelectorMatching, StatePseudoClassesReadTheStateBits) {
    EXPECT_EQ("", Ids("p.close:hover"));
    EXPECT_EQ("", Ids("caption:hover .cp"));
    ById(u"close1").SetState(STATE_HOVER, 0);
    ById(u"c2").Parent()->SetState(STATE_HOVER, 0);
    EXPECT_EQ("close1", Ids("p.close:hover"));
    EXPECT_EQ("c2", Ids("caption:hover .cp"));

    Element& node = *ById(u"c1").Parent()->Parent();
    node.SetState(STATE_CURRENT | STATE_EXPANDED, 0);
    EXPECT_EQ(&node, page_->Root()->FindFirst(":current"));
    EXPECT_EQ(&node, page_->Root()->FindFirst("options:expanded:current"));
    EXPECT_EQ(nullptr, page_->Root()->FindFirst(":collapsed"));

    ById(u"ok").SetState(STATE_DISABLED | STATE_CHECKED, 0);
    EXPECT_EQ("ok", Ids("button:disabled:checked"));
    EXPECT_EQ("cancel", Ids("button:enabled"));
    EXPECT_EQ("cancel", Ids("button:not(:disabled)"));
}

TEST_F(SelectorMatching, AttributeOperators) {
    EXPECT_EQ("sp", Ids("[data~=beta]"));
    EXPECT_EQ("", Ids("[data~=bet]"));
    EXPECT_EQ("sp", Ids("[lang|=en]"));
    EXPECT_EQ("s3 s30", Ids("li[sort_type^='3']"));
    EXPECT_EQ("s30", Ids("[sort_type$=\"0\"]"));
    EXPECT_EQ("sp", Ids("[data*=\"ta ga\"]"));
    EXPECT_EQ("", Ids("[data*=\"\"]"));
    EXPECT_EQ("s1", Ids("LI[SORT_TYPE=\"1\"]"));  // names ignore case, values do not
    EXPECT_EQ("", Ids("[lang=EN-US]"));
    EXPECT_EQ("cancel", Ids(".hsk_btn.big"));
}

TEST_F(SelectorMatching, CombinatorsAndStructure) {
    EXPECT_EQ(&ById(u"g2"),
              page_->Root()->FindFirst("div.loc > .icon + p.uped, #nothing")->Parent());
    EXPECT_EQ("g0 g1 g2", Ids("#grid > div.loc"));
    EXPECT_EQ("", Ids("body > div.loc"));
    EXPECT_EQ("g1 g2", Ids("div.loc + div.loc"));
    EXPECT_EQ("g1 g2 g3", Ids("#g0 ~ *"));
    EXPECT_EQ("s1", Ids("menu li:first-child"));
    EXPECT_EQ("s30", Ids("menu > li:last-child"));
    EXPECT_EQ("w1", Ids("#task_list .item:first-child .sts > p:last-child"));
    EXPECT_EQ("s30 ok cancel in", Ids("#grid ~ * *:empty:not(p):not(.loc)"));
    EXPECT_TRUE(page_->Root()->Matches(*Selector::Parse(":root")));
    EXPECT_FALSE(page_->Body()->Matches(*Selector::Parse(":root")));
}

TEST(SelectorParse, RejectsWhatItCannotMatch) {
    for (std::string_view text :
         {"",          " ",   ",",       "div,",   "div >", "> div",        "[",
          "[a",        "[a=", "[a=\"x]", "[a!=x]", "a:",    ":nosuchstate", ":not(",
          ":not(a b)", "#",   ".",       "a..b",   "a$b",   "a {"}) {
        EXPECT_FALSE(Selector::Parse(text)) << text;
    }
    std::string deep;
    for (int i = 0; i < 40; ++i) {
        deep += "div ";
    }
    EXPECT_FALSE(Selector::Parse(deep));  // too many steps to match cheaply
    EXPECT_TRUE(Selector::Parse("  div.loc [ sel = \"true\" ] , p  "));
    EXPECT_EQ(nullptr, CachedSelector("p >"));
    EXPECT_NE(nullptr, CachedSelector("p"));
}

TEST(SelectorParse, SpecificityOfTheBestMatchingAlternative) {
    ElementRef e = Element::Create("div");
    e->SetAttribute("id", u"x");
    e->SetAttribute("class", u"a b");
    EXPECT_EQ(0x10000u, *Selector::Parse("#x")->MatchSpecificity(*e));
    EXPECT_EQ(0x201u, *Selector::Parse("div.a.b, .a")->MatchSpecificity(*e));
    EXPECT_EQ(0x10101u, *Selector::Parse("div#x:not(.c)")->MatchSpecificity(*e));
    EXPECT_FALSE(Selector::Parse("p, .c")->MatchSpecificity(*e));
}

}  // namespace
}  // namespace tavopix
