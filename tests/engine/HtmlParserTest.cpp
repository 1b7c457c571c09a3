#include "engine/HtmlParser.h"

#include <gtest/gtest.h>

#include "EngineTestSupport.h"
#include "engine/Element.h"

namespace tavopix {
namespace {

using test::DumpFragment;

// Every fragment the program generates, and the dialect's recovery cases: input in
// data/fragments/<name>.html, expected tree in <name>.txt.
class FragmentDump : public ::testing::TestWithParam<const char*> {};

TEST_P(FragmentDump, ParsesIntoTheExpectedTree) {
    const std::string name = std::string("fragments/") + GetParam();
    const std::string dump = DumpFragment(test::ReadData(name + ".html"));
    if (test::UpdatingDumps()) {
        test::WriteData(name + ".txt", dump);
    }
    EXPECT_EQ(test::ReadData(name + ".txt"), dump);
}

INSTANTIATE_TEST_SUITE_P(
    Fragments, FragmentDump,
    ::testing::Values("message_box_buttons", "album_options", "folder_dialog_nodes",
                      "folder_list_node", "folder_tree_nodes", "grid_cell", "grid_cell_thumbnail",
                      "grid_mark_unclosed", "detail_picture", "detail_hint", "upload_queue_items",
                      "upload_status", "upload_done_item", "uploaded_flag", "recovery_mismatched",
                      "character_references", "raw_text", "comments", "attributes",
                      "stray_angle_brackets", "no_implied_structure"));

// What the serializer writes must read back as the same tree.
TEST_P(FragmentDump, SerializesToHtmlThatParsesBackTheSame) {
    const std::string html = test::ReadData(std::string("fragments/") + GetParam() + ".html");
    HtmlFragment fragment = ParseHtml(html);
    ElementRef holder = Element::Create("fragment");
    holder->SetText(fragment.leadingText);
    for (const ElementRef& element : fragment.elements) {
        holder->AppendChild(element);
    }
    const std::string written = holder->InnerHtml();
    EXPECT_EQ(DumpFragment(html), DumpFragment(written)) << written;
}

TEST(HtmlParser, ShorthandsMatchTheirLongForms) {
    EXPECT_EQ(DumpFragment("<div class=\"loc\" it=\"3\"></div>"),
              DumpFragment("<div .loc it=\"3\"></div>"));
    EXPECT_EQ(DumpFragment("<picture id=\"pic\" src=\"a\"></picture>"),
              DumpFragment("<picture #pic src=\"a\" />"));
    EXPECT_EQ(DumpFragment("<p class=\"a b\"></p>"), DumpFragment("<p .a.b>"));
}

TEST(HtmlParser, SelfClosingEndsAnyElement) {
    HtmlFragment fragment = ParseHtml("<p .close /><p .txt_wait>x</p>");
    ASSERT_EQ(2u, fragment.elements.size());
    EXPECT_EQ(0u, fragment.elements[0]->ChildCount());
    EXPECT_EQ(u"x", fragment.elements[1]->InnerText());
}

TEST(HtmlParser, DeepNestingIsCutInsteadOfOverflowing) {
    std::string html;
    for (int i = 0; i < 100000; ++i) {
        html += "<div>";
    }
    HtmlFragment fragment = ParseHtml(html);
    ASSERT_EQ(1u, fragment.elements.size());
    int depth = 0;
    for (const Element* e = fragment.elements[0].get(); e; e = e->FirstChild()) {
        ++depth;
    }
    EXPECT_LE(depth, 300);
}

TEST(HtmlParser, InvalidUtf8BecomesReplacementCharacters) {
    HtmlFragment fragment = ParseHtml("<p a=\"\xff\">\xc3(\xe4\xb8\xad</p>");
    ASSERT_EQ(1u, fragment.elements.size());
    EXPECT_EQ(u"\uFFFD", *fragment.elements[0]->GetAttribute("a"));
    EXPECT_EQ(u"\uFFFD(\u4E2D", fragment.elements[0]->Text());
}

TEST(HtmlParser, TruncatedMarkupNeverLosesWhatCameBefore) {
    for (std::string_view html :
         {"<p>x</p><", "<p>x</p><div a=\"", "<p>x</p><div a=", "<p>x</p><!--", "<p>x</p><script>",
          "<p>x</p><p .", "<p>x</p></"}) {
        HtmlFragment fragment = ParseHtml(html);
        ASSERT_FALSE(fragment.elements.empty()) << html;
        EXPECT_EQ(u"x", fragment.elements[0]->Text()) << html;
    }
}

TEST(HtmlParser, CharacterReferencesNeedTheirSemicolon) {
    EXPECT_EQ(u"a&b &amp c <\u00A0", DecodeCharacterReferences(u"a&b &amp c &lt;&nbsp;"));
    EXPECT_EQ(u"\U0001F600", DecodeCharacterReferences(u"&#x1F600;"));
    EXPECT_EQ(u"&#;&#x;", DecodeCharacterReferences(u"&#;&#x;"));
}

}  // namespace
}  // namespace tavopix
