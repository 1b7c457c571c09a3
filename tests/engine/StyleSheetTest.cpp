#include "engine/internal/StyleSheet.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "EngineTestSupport.h"
#include "engine/Document.h"
#include "engine/Element.h"
#include "platform/Utf8.h"

namespace tavopix {
namespace {

using Names = std::vector<std::string>;

ElementRef Parse(std::string_view html) {
    ElementRef holder = Element::Create("body");
    EXPECT_TRUE(holder->SetHtml(html, SIH_REPLACE_CONTENT));
    return holder;
}

TEST(StyleSheet, TheMostSpecificThenTheLastBehaviorRuleWins) {
    StyleSheet sheet;
    sheet.Add(R"(
        /* the grid { behavior: not-this } */
        div { behavior: generic; color: red }
        #grid { behavior: bhv_img_view }
        .list { behavior: common_scroll_list; }
        .list { behavior: none }
        .list.task { BEHAVIOR: common_scroll_list !important }
        @import url(other.css);
        @media screen { #tree { behavior: bhv_folder_view bhv_extra } }
        @font-face { font-family: x; behavior: ignored }
        p >>> q { behavior: broken }
        caption { color: blue }
    )");
    ElementRef page = Parse(
        "<div #grid .list></div><div .list></div><div .list .task></div><div #tree></div>"
        "<p></p><div style=\"behavior: own\"></div>");
    EXPECT_EQ(Names{"bhv_img_view"}, sheet.BehaviorsOf(*page->Child(0)));
    EXPECT_EQ(Names{}, sheet.BehaviorsOf(*page->Child(1)));
    EXPECT_EQ(Names{"common_scroll_list"}, sheet.BehaviorsOf(*page->Child(2)));
    EXPECT_EQ((Names{"bhv_folder_view", "bhv_extra"}), sheet.BehaviorsOf(*page->Child(3)));
    EXPECT_EQ(Names{}, sheet.BehaviorsOf(*page->Child(4)));
    EXPECT_EQ(Names{"own"}, sheet.BehaviorsOf(*page->Child(5)));
    EXPECT_EQ(6u, sheet.RuleCount());
}

TEST(StyleSheet, ForgivesBrokenText) {
    for (std::string_view css : {"div { behavior: a", "div { behavior: a } }}} p { behavior: b",
                                 "@media {", "/* open", "{}{}{", "@x;", "div", ";;;"}) {
        StyleSheet sheet;
        sheet.Add(css);
        ElementRef page = Parse("<div></div>");
        sheet.BehaviorsOf(*page->Child(0));
    }
    StyleSheet sheet;
    sheet.Add("div { behavior: a } }}} p { behavior: b }");
    ElementRef page = Parse("<p></p>");
    EXPECT_EQ(Names{"b"}, sheet.BehaviorsOf(*page->Child(0)));
}

TEST(StyleSheet, DeclarationValueTakesTheLastOne) {
    EXPECT_EQ("b", DeclarationValue("Behavior: a; color: red; behavior: b ", "behavior"));
    EXPECT_FALSE(DeclarationValue("visibility:hidden", "behavior"));
    EXPECT_EQ("", DeclarationValue("behavior:", "behavior"));
}

class PageFiles : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() /
                  ("tavopix-engine-" + std::to_string(::getpid()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(folder_ / "skin" / "res");
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    void Write(const std::string& relative, std::string_view text) {
        std::ofstream(folder_ / relative, std::ios::binary) << text;
    }
    std::u16string Path(const std::string& relative) const {
        return Utf8ToUtf16((folder_ / relative).string());
    }

    std::filesystem::path folder_;
};

TEST_F(PageFiles, LoadsThePageWithItsStyleSheetsAndContextMenus) {
    Write("skin/res/main.css",
          "#tree_view { behavior: bhv_folder_view; context-menu: selector(#tree_menu) }\n"
          "#grid { behavior: bhv_img_view; context-menu: selector(menu.pl) }\n"
          "caption { context-menu: none }");
    Write("skin/main.htm",
          "\xEF\xBB\xBF<!DOCTYPE html><html><head>"
          "<link rel=\"Stylesheet\" href=\"res/main.css\"><link rel=\"icon\" href=\"x.ico\">"
          "<link rel=stylesheet href=\"res/missing.css\">"
          "<style>.list { behavior: common_scroll_list }</style></head>"
          "<body><div #tree_view><caption>c</caption></div><div #grid .list></div>"
          "<menu #tree_menu><li #tvmu_open>打开</li></menu><menu .pl #plmu></menu>"
          "<div #own style=\"context-menu: selector(#tree_menu)\"></div></body></html>");

    std::unique_ptr<Document> page = Document::LoadFile(Path("skin/main.htm"));
    ASSERT_TRUE(page);
    EXPECT_EQ("html", page->Root()->Tag());
    EXPECT_EQ(Path("skin/main.htm"), page->Url());
    ASSERT_EQ(2u, page->StyleSheets().size());
    EXPECT_EQ(Path("skin/res/main.css"), page->StyleSheets()[0].url);
    EXPECT_EQ(u"", page->StyleSheets()[1].url);
    EXPECT_EQ(".list { behavior: common_scroll_list }", page->StyleSheets()[1].text);

    Element* tree = page->Root()->FindById(u"tree_view");
    Element* grid = page->Root()->FindById(u"grid");
    EXPECT_EQ(Names{"bhv_folder_view"}, page->BehaviorsOf(*tree));
    EXPECT_EQ(Names{"bhv_img_view"}, page->BehaviorsOf(*grid));  // #id beats .class
    EXPECT_EQ(page->Root()->FindById(u"tree_menu"), page->ContextMenuOf(*tree));
    EXPECT_EQ(page->Root()->FindById(u"plmu"), page->ContextMenuOf(*grid));
    EXPECT_EQ(nullptr, page->ContextMenuOf(*tree->FirstChild()));
    EXPECT_EQ(page->Root()->FindById(u"tree_menu"),
              page->ContextMenuOf(*page->Root()->FindById(u"own")));
    EXPECT_EQ(Path("skin/res/x.png"), page->ResolveUrl(u"res/x.png"));
    EXPECT_EQ(u"/abs/x.png", page->ResolveUrl(u"/abs/x.png"));
}

TEST_F(PageFiles, MissingFilesAndEmptyPages) {
    EXPECT_FALSE(Document::LoadFile(Path("skin/none.htm")));
    EXPECT_FALSE(Document::LoadFile(Path("skin")));  // a folder is no page

    Write("skin/empty.htm", "  <!-- nothing --> ");
    std::unique_ptr<Document> empty = Document::LoadFile(Path("skin/empty.htm"));
    ASSERT_TRUE(empty);
    EXPECT_EQ(nullptr, empty->Root());
    EXPECT_EQ(nullptr, empty->Body());

    // Several top-level elements get a root of their own.
    std::unique_ptr<Document> loose = Document::FromHtml("<p>a</p> <p>b</p>", u"/x.htm");
    EXPECT_EQ("html", loose->Root()->Tag());
    EXPECT_EQ(2u, loose->Root()->ChildCount());
}

// A whole skin page, read from its file with its sheets: the tree as expected in
// data/pages/msgBox.txt (blank text left out), and the behaviours its rules give.
TEST(SkinPage, LoadsIntoTheExpectedTreeWithItsBehaviours) {
    std::unique_ptr<Document> page =
        Document::LoadFile(Utf8ToUtf16(test::DataPath("pages/msgBox.htm")));
    ASSERT_TRUE(page);
    const std::string dump = DumpTree(*page->Root());
    if (test::UpdatingDumps()) {
        test::WriteData("pages/msgBox.txt", dump);
    }
    EXPECT_EQ(test::ReadData("pages/msgBox.txt"), dump);
    ASSERT_EQ(2u, page->StyleSheets().size());
    Element* buttons = page->Root()->FindById(u"btns_div");
    EXPECT_EQ(Names{"common_scroll_list"}, page->BehaviorsOf(*buttons));
    ASSERT_TRUE(
        buttons->SetHtml("<button .hsk_btn value=\"确定\" btn_id=16 />", SIH_APPEND_AFTER_LAST));
    EXPECT_EQ(Names{"button"}, page->BehaviorsOf(*buttons->FirstChild()));
    EXPECT_EQ(Names{"caption-drag"}, page->BehaviorsOf(*page->Root()->FindById(u"hsk_cp")));
}

}  // namespace
}  // namespace tavopix
