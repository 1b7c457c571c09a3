#include <gtest/gtest.h>

#include <memory>

#include "EngineTestSupport.h"
#include "engine/Document.h"
#include "engine/Element.h"
#include "engine/ElementState.h"

namespace tavopix {
namespace {

std::unique_ptr<Document> Page(std::string_view body) {
    return Document::FromHtml("<html><body>" + std::string(body) + "</body></html>",
                              u"/pages/test.htm");
}

TEST(ElementTree, NavigatesChildrenSiblingsAndDocumentOrder) {
    auto page = Page("<div #a><p #b></p><p #c><span #d></span></p></div><div #e></div>");
    Element* body = page->Body();
    ASSERT_NE(nullptr, body);
    EXPECT_EQ("html", page->Root()->Tag());
    Element* c = body->FindById(u"c");
    ASSERT_NE(nullptr, c);
    EXPECT_EQ(1, c->Index());
    EXPECT_EQ(u"b", *c->PreviousSibling()->GetAttribute("id"));
    EXPECT_EQ(nullptr, c->NextSibling());
    EXPECT_EQ(page->Root(), c->Root());
    EXPECT_EQ(page.get(), c->GetDocument());

    std::u16string order;
    for (Element* e = body->FirstChild(); e; e = e->NextInOrder(body)) {
        order += *e->GetAttribute("id");
    }
    EXPECT_EQ(u"abcde", order);
    // A walk scoped to an element stays inside it.
    std::u16string inside;
    Element* a = body->FindById(u"a");
    for (Element* e = a->FirstChild(); e; e = e->NextInOrder(a)) {
        inside += *e->GetAttribute("id");
    }
    EXPECT_EQ(u"bcd", inside);
}

TEST(ElementTree, InsertMovesAndRefusesCycles) {
    auto page = Page("<ul #list><li>1</li><li>2</li></ul><div #other></div>");
    Element* list = page->Body()->FindById(u"list");
    Element* other = page->Body()->FindById(u"other");

    ElementRef item = Element::Create("LI");
    EXPECT_EQ("li", item->Tag());
    EXPECT_EQ(nullptr, item->GetDocument());
    ASSERT_TRUE(list->InsertChild(item, 1));
    EXPECT_EQ(1, item->Index());
    EXPECT_EQ(page.get(), item->GetDocument());
    EXPECT_EQ(2, list->Child(2)->Index());

    ASSERT_TRUE(other->InsertChild(item, 99));  // clamped; taken out of the list first
    EXPECT_EQ(2u, list->ChildCount());
    EXPECT_EQ(1, list->Child(1)->Index());
    EXPECT_EQ(other, item->Parent());

    EXPECT_FALSE(item->AppendChild(ElementRef(other)));  // its own ancestor
    EXPECT_FALSE(other->AppendChild(ElementRef(other)));
    EXPECT_FALSE(other->AppendChild(ElementRef()));
}

TEST(ElementRef, KeepsADeletedElementReadable) {
    ElementRef kept;
    {
        auto page = Page("<div #cell it=\"3\"><p .mark /></div>");
        kept = ElementRef(page->Body()->FindById(u"cell"));
        ElementRef mark(kept->FirstChild());
        kept->Detach();
        EXPECT_EQ(nullptr, kept->Parent());
        EXPECT_EQ(nullptr, kept->GetDocument());
        EXPECT_EQ(nullptr, page->Body()->FindById(u"cell"));
        EXPECT_EQ(-1, kept->Index());
        EXPECT_EQ(kept.get(), mark->Parent());

        ElementRef body(page->Body());
        page.reset();  // the page goes; references into it stay valid
        EXPECT_EQ(nullptr, body->GetDocument());
        EXPECT_EQ("body", body->Tag());
        body->SetAttribute("x", u"1");  // detached elements are still editable
    }
    EXPECT_EQ(u"3", *kept->GetAttribute("it"));
    EXPECT_TRUE(kept->FirstChild()->HasClass(u"mark"));
    ElementRef copy = kept;
    kept.reset();
    EXPECT_EQ("div", copy->Tag());
}

TEST(ElementAttributes, KeepOrderAndRemoveOnNull) {
    ElementRef e = Element::Create("div");
    e->SetAttribute("b", u"1");
    e->SetAttribute("A", u"2");
    e->SetAttribute("c", u"");
    e->SetAttribute("b", u"3");  // replaced in place
    ASSERT_EQ(3u, e->Attributes().size());
    EXPECT_EQ("b", e->Attributes()[0].name);
    EXPECT_EQ(u"3", e->Attributes()[0].value);
    EXPECT_EQ("a", e->Attributes()[1].name);
    EXPECT_EQ(u"2", *e->GetAttribute("a"));
    EXPECT_TRUE(e->HasAttribute("C"));
    e->SetAttribute("a", std::nullopt);
    e->SetAttribute("missing", std::nullopt);
    EXPECT_FALSE(e->HasAttribute("a"));
    EXPECT_EQ(2u, e->Attributes().size());

    e->SetAttribute("class", u"  loc\tsel  ");
    EXPECT_TRUE(e->HasClass(u"loc"));
    EXPECT_TRUE(e->HasClass(u"sel"));
    EXPECT_FALSE(e->HasClass(u"lo"));
    EXPECT_FALSE(e->HasClass(u""));
}

TEST(ElementStyle, RunTimePropertiesLeaveTheStyleAttributeAlone) {
    auto page = Page("<div #fog style=\"visibility:hidden\"></div>");
    Element* fog = page->Body()->FindById(u"fog");
    EXPECT_EQ(nullptr, fog->GetStyleAttribute("visibility"));
    fog->SetStyleAttribute("cursor", u"wait");
    fog->SetStyleAttribute("Display", u"none");
    EXPECT_EQ(u"wait", *fog->GetStyleAttribute("cursor"));
    EXPECT_EQ(u"none", *fog->GetStyleAttribute("display"));
    EXPECT_EQ(u"visibility:hidden", *fog->GetAttribute("style"));
    fog->SetStyleAttribute("cursor", u"");
    fog->SetStyleAttribute("display", std::nullopt);
    EXPECT_TRUE(fog->StyleProperties().empty());
}

TEST(ElementState, SetsThenClears) {
    ElementRef e = Element::Create("options");
    e->SetState(STATE_COLLAPSED | STATE_CHECKED, 0);
    EXPECT_TRUE(e->HasState(STATE_CHECKED));
    e->SetState(STATE_EXPANDED, STATE_COLLAPSED);
    EXPECT_EQ(STATE_EXPANDED | STATE_CHECKED, e->State());
    e->SetState(STATE_DISABLED, STATE_DISABLED);  // clearing wins
    EXPECT_FALSE(e->HasState(STATE_DISABLED));
    EXPECT_EQ(0x40u, STATE_CHECKED);
    EXPECT_EQ(0x80u, STATE_DISABLED);
}

TEST(ElementText, InnerTextIsPlainUtf16BothWays) {
    auto page = Page("<div #t>a<b>b</b>c<i>d<u>e</u></i>f</div>");
    Element* t = page->Body()->FindById(u"t");
    EXPECT_EQ(u"abcdef", t->InnerText());

    const std::u16string text = u"<b>不是标签</b> & \U0001F600";
    t->SetInnerText(text);
    EXPECT_EQ(0u, t->ChildCount());
    EXPECT_EQ(text, t->InnerText());
    EXPECT_EQ("&lt;b&gt;不是标签&lt;/b&gt; &amp; \xF0\x9F\x98\x80", t->InnerHtml());
}

TEST(ElementHtml, SetHtmlAtEveryPosition) {
    auto page = Page("<div #box>lead<p #x>x</p>tail</div>");
    Element* box = page->Body()->FindById(u"box");
    Element* x = box->FindById(u"x");

    ASSERT_TRUE(box->SetHtml("<i>s</i>", SIH_INSERT_AT_START));
    ASSERT_TRUE(box->SetHtml("end<b>e</b>", SIH_APPEND_AFTER_LAST));
    ASSERT_TRUE(x->SetHtml("<u>before</u>", SOH_INSERT_BEFORE));
    ASSERT_TRUE(x->SetHtml("<s>after</s>", SOH_INSERT_AFTER));
    // The text after an element travels with it, so "after" lands behind "tailend".
    EXPECT_EQ("<i>s</i>lead<u>before</u><p id=\"x\">x</p>tailend<s>after</s><b>e</b>",
              box->InnerHtml());

    ElementRef replaced(x);
    ASSERT_TRUE(x->SetHtml("new<em>1</em><em>2</em>", SOH_REPLACE));
    EXPECT_EQ(nullptr, replaced->Parent());
    EXPECT_EQ(u"x", replaced->InnerText());
    EXPECT_EQ("<i>s</i>lead<u>before</u>new<em>1</em><em>2</em>tailend<s>after</s><b>e</b>",
              box->InnerHtml());

    ASSERT_TRUE(box->SetHtml("<picture #pic src=\"a.jpg\" />", SIH_REPLACE_CONTENT));
    EXPECT_EQ("<div id=\"box\"><picture id=\"pic\" src=\"a.jpg\"></picture></div>",
              box->OuterHtml());

    ElementRef loose = Element::Create("div");
    EXPECT_FALSE(loose->SetHtml("<p/>", SOH_REPLACE));
    EXPECT_FALSE(loose->SetHtml("<p/>", static_cast<HtmlPosition>(9)));
    EXPECT_TRUE(loose->SetHtml("<p/>", SIH_APPEND_AFTER_LAST));
}

TEST(ElementHtml, SerializationEscapesValuesAndText) {
    ElementRef e = Element::Create("div");
    e->SetAttribute("path", u"C:/Tom & Jerry/\"x\"<1>.jpg");
    e->SetText(u"1 < 2 & 3 > 2");
    EXPECT_EQ("<div path=\"C:/Tom &amp; Jerry/&quot;x&quot;<1>.jpg\">1 &lt; 2 &amp; 3 &gt; 2</div>",
              e->OuterHtml());
    ElementRef back = Element::Create("x");
    ASSERT_TRUE(back->SetHtml(e->OuterHtml(), SIH_REPLACE_CONTENT));
    EXPECT_EQ(*e->GetAttribute("path"), *back->FirstChild()->GetAttribute("path"));
    EXPECT_EQ(e->Text(), back->FirstChild()->Text());

    ElementRef img = Element::Create("img");
    img->SetAttribute("src", u"a.jpg");
    EXPECT_EQ("<img src=\"a.jpg\">", img->OuterHtml());
}

TEST(ElementSelect, WalkStopsAndToleratesEditsFromTheCallback) {
    auto page = Page(
        "<div .loc sel=\"true\"></div><div .loc></div><div .loc sel=\"true\"></div>"
        "<div .loc sel=\"true\"></div>");
    int seen = 0;
    EXPECT_EQ(Walk::Stop, page->Root()->SelectElements("div.loc[sel=\"true\"]", [&](Element&) {
        return ++seen == 2 ? Walk::Stop : Walk::Continue;
    }));
    EXPECT_EQ(2, seen);

    // Deselecting every selected cell while walking over them.
    EXPECT_EQ(Walk::Continue,
              page->Root()->SelectElements("div.loc[sel=\"true\"]", [](Element& cell) {
                  cell.Detach();
                  return Walk::Continue;
              }));
    EXPECT_EQ(1u, page->Body()->ChildCount());
    EXPECT_EQ(Walk::Continue,
              page->Root()->SelectElements("div[", [](Element&) { return Walk::Stop; }));
    EXPECT_EQ(nullptr, page->Root()->FindFirst("p >"));
}

}  // namespace
}  // namespace tavopix
