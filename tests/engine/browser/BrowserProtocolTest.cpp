#include "engine/browser/BrowserProtocol.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "BrowserTestSupport.h"
#include "engine/Document.h"
#include "engine/Element.h"
#include "platform/Utf8.h"

namespace tavopix {
namespace {

using nlohmann::json;

std::unique_ptr<Document> Page(std::string_view html = "<html><body></body></html>") {
    return Document::FromHtml(html, u"/opt/tavopix/skin/mainframe.htm");
}

TEST(ServerAddressTest, FileReferencesBecomeAddressesOfTheServer) {
    auto page = Page();
    EXPECT_EQ(ServerAddressOf(*page, u"res/error_img.jpg"),
              u"f/opt/tavopix/skin/res/error_img.jpg");
    EXPECT_EQ(ServerAddressOf(*page, u"skin.css"), u"f/opt/tavopix/skin/skin.css");
    EXPECT_EQ(ServerAddressOf(*page, u"/home/ann/Pictures/a.jpg"), u"f/home/ann/Pictures/a.jpg");
    // The program writes paths percent-escaped; the address carries the same bytes.
    EXPECT_EQ(ServerAddressOf(*page, u"/home/ann/%E7%9B%B8%E5%86%8C/a.jpg"),
              u"f/home/ann/%E7%9B%B8%E5%86%8C/a.jpg");
    EXPECT_EQ(ServerAddressOf(*page, u"/home/ann/相册/a.jpg"),
              u"f/home/ann/%E7%9B%B8%E5%86%8C/a.jpg");
    // Characters that mean something in an address or in markup are escaped too.
    EXPECT_EQ(ServerAddressOf(*page, u"/p/a b\"<&>'?#.jpg"), u"f/p/a%20b%22%3C%26%3E%27%3F%23.jpg");
}

// A path escaped by the program is decoded exactly once, and the file it names is the one the
// server is told of: "%41.png" stays itself, not "A.png", and an escaped "/" stays in the name.
TEST(ServerAddressTest, AnEscapedPathIsDecodedOnceAndItsFilePlaced) {
    auto page = Page();
    std::vector<std::string> placed;
    const FilePlacer placer = [&](const std::string& path) { placed.push_back(path); };
    // As PercentEscape writes them: "%", "#" and "?" escaped.
    for (const auto& [escaped, path] :
         {std::pair{u"/p/%2541.png", "/p/%41.png"},
          std::pair{u"/p/inner/%252e%252e%252fA.jpg", "/p/inner/%2e%2e%2fA.jpg"},
          std::pair{u"/p/a%23b%3F.jpg", "/p/a#b?.jpg"}}) {
        ServerAddressOf(*page, escaped, &placer);
        EXPECT_EQ(placed.back(), path);
    }
    EXPECT_EQ(ServerAddressOf(*page, u"/p/%2541.png?v=3", &placer), u"f/p/%2541.png?v=3");
    EXPECT_EQ(placed.back(), "/p/%41.png");
    EXPECT_EQ(ServerStyleValue(*page, "", u"background:url(/p/%25.png)", &placer),
              u"background:url(\"f/p/%25.png\")");
    EXPECT_EQ(placed.back(), "/p/%.png");
    ServerAddressOf(*page, u"#top", &placer);
    EXPECT_EQ(placed.size(), 5u);  // a fragment names no file
}

TEST(ServerAddressTest, OtherReferencesStayAsTheyAre) {
    auto page = Page();
    for (std::u16string_view reference :
         {u"http://127.0.0.1:8080/a.png", u"https://example.org/x", u"data:image/png;base64,AAAA",
          u"#top", u"", u"javascript:alert(1)", u"JavaScript:alert(1)", u"mailto:a@b.c"}) {
        EXPECT_EQ(ServerAddressOf(*page, reference), reference);
    }
}

// A literal "%" in a file name is not an escape: the picture must still be found.
TEST(ServerAddressTest, PercentSignThatIsNoEscapeStaysPartOfTheName) {
    auto page = Page();
    EXPECT_EQ(ServerAddressOf(*page, u"/p/50%off.jpg"), u"f/p/50%25off.jpg");
    EXPECT_EQ(ServerAddressOf(*page, u"/p/100%.jpg"), u"f/p/100%25.jpg");
}

TEST(ServerStyleTest, UrlValuesAreRewritten) {
    auto page = Page();
    EXPECT_EQ(ServerStyleValue(*page, "background-image", u"url(res/a.png)"),
              u"url(\"f/opt/tavopix/skin/res/a.png\")");
    EXPECT_EQ(ServerStyleValue(*page, "", u"color:red; background: url( 'res/a.png' ) no-repeat"),
              u"color:red; background: url(\"f/opt/tavopix/skin/res/a.png\") no-repeat");
    EXPECT_EQ(ServerStyleValue(*page, "", u"background:url(\"/x/%E7%9B%B8.png\"),url(b.png)"),
              u"background:url(\"f/x/%E7%9B%B8.png\"),url(\"f/opt/tavopix/skin/b.png\")");
    EXPECT_EQ(ServerStyleValue(*page, "", u"background:url(data:image/png;base64,AA)"),
              u"background:url(\"data:image/png;base64,AA\")");
    EXPECT_EQ(ServerStyleValue(*page, "width", u"10px"), u"10px");
    EXPECT_EQ(ServerStyleValue(*page, "", u"background:url(unclosed"), u"background:url(unclosed");
}

TEST(ServerStyleTest, QuotesInsideAUrlCannotEndIt) {
    auto page = Page();
    const std::u16string value =
        ServerStyleValue(*page, "", u"background:url(http://x/a\"b\\c.png);color:red");
    EXPECT_EQ(value, u"background:url(\"http://x/abc.png\");color:red");
}

TEST(ServerStyleTest, CursorPictureGetsTheFallbackBrowsersRequire) {
    auto page = Page();
    EXPECT_EQ(ServerStyleValue(*page, "cursor", u"url(/opt/%E7%9B%B8/skin/res/view_prev.ani)"),
              u"url(\"f/opt/%E7%9B%B8/skin/res/view_prev.ani\"), pointer");
    EXPECT_EQ(ServerStyleValue(*page, "cursor", u"url(a.cur), auto"),
              u"url(\"f/opt/tavopix/skin/a.cur\"), auto");
    EXPECT_EQ(ServerStyleValue(*page, "cursor", u"pointer"), u"pointer");
}

TEST(EncodeTest, DocumentCarriesItsSheetsAndTreeWithAddressesRewritten) {
    test::TempFolder folder;
    folder.Write("skin/skin.css", "body{color:red}");
    folder.Write("skin/page.htm",
                 "<html><head><link rel=\"stylesheet\" href=\"skin.css\"><style>p{}</style></head>"
                 "<body style=\"background:url(res/bg.png)\"><picture #pic src=\"res/a.jpg\" />"
                 "<p .name title='x\"y'>Tom &amp; Jerry</p>tail</body></html>");
    const std::string pagePath = folder.Path("skin/page.htm").string();
    auto page = Document::LoadFile(std::u16string(pagePath.begin(), pagePath.end()));
    ASSERT_TRUE(page);
    const std::string skin = folder.Path("skin").string();

    const json doc = json::parse(EncodeDocument(7, *page));
    EXPECT_EQ(doc["t"], "doc");
    EXPECT_EQ(doc["doc"], 7);
    ASSERT_EQ(doc["sheets"].size(), 2u);
    EXPECT_EQ(doc["sheets"][0]["href"], "f" + skin + "/skin.css");
    EXPECT_EQ(doc["sheets"][0]["text"], "body{color:red}");  // styles the page as it is built
    EXPECT_EQ(doc["sheets"][1]["text"], "p{}");
    EXPECT_FALSE(doc["sheets"][1].contains("href"));

    const json& root = doc["root"];
    EXPECT_EQ(root["g"], "html");
    const json* body = nullptr;
    for (const json& child : root["c"]) {
        if (child["g"] == "body")
            body = &child;
    }
    ASSERT_NE(body, nullptr);
    EXPECT_EQ((*body)["a"][0],
              json::array({"style", "background:url(\"f" + skin + "/res/bg.png\")"}));
    const json& picture = (*body)["c"][0];
    EXPECT_EQ(picture["g"], "picture");
    EXPECT_EQ(picture["a"], json::array({json::array({"id", "pic"}),
                                         json::array({"src", "f" + skin + "/res/a.jpg"})}));
    const json& p = (*body)["c"][1];
    EXPECT_EQ(p["x"], "Tom & Jerry");
    EXPECT_EQ(p["l"], "tail");
    EXPECT_EQ(p["u"], page->Body()->Child(1)->GetUid());
    // Empty fields are left out: a page's first state is tens of thousands of nodes.
    for (const char* key : {"s", "st", "v", "c"}) {
        EXPECT_FALSE(p.contains(key)) << key;
    }
    EXPECT_FALSE(picture.contains("x"));
}

// Text of every kind reaches the page whole through the writer's own escaping: quotes,
// backslashes, control characters, CJK, a character outside the BMP, and an unpaired surrogate
// (which becomes U+FFFD, as everywhere in the program).
TEST(EncodeTest, NodeTextIsEscapedIntoValidJson) {
    auto page = Page();
    const std::u16string text = u"a\"b\\c\n\t\x01 相册 \U0001F600";
    ElementRef item = Element::Create("p");
    item->SetAttribute("title", text);
    item->SetText(text + u'\xD800');
    item->SetState(0x40, 0);
    page->Body()->AppendChild(item);

    const json doc = json::parse(EncodeDocument(1, *page));
    const json& node = doc["root"]["c"].back()["c"][0];
    EXPECT_EQ(node["a"][0][1], Utf16ToUtf8(text));
    EXPECT_EQ(node["x"], Utf16ToUtf8(text) + "\xEF\xBF\xBD");
    EXPECT_EQ(node["st"], 0x40);
}

// Names taken from the disk reach the page as data, character for character.
TEST(EncodeTest, HostileNamesTravelAsPlainText) {
    auto page = Page();
    const std::u16string name = u"a\"b<img src=x onerror=alert(1)>&amp; onmouseover=alert(2) '.jpg";
    Element* body = page->Body();
    ASSERT_NE(body, nullptr);
    ElementRef item = Element::Create("div");
    item->SetAttribute("title", name);
    item->SetText(name);
    body->AppendChild(item);

    const json doc = json::parse(EncodeDocument(1, *page));
    const json& node = doc["root"]["c"].back()["c"][0];
    EXPECT_EQ(node["x"], Utf16ToUtf8(name));
    ASSERT_EQ(node["a"].size(), 1u);
    EXPECT_EQ(node["a"][0][1], Utf16ToUtf8(name));
}

TEST(EncodeTest, ChangesKeepTheirOrderAndShape) {
    auto page = Page("<html><body><div #grid></div></body></html>");
    Element* grid = page->Body()->FirstChild();
    ElementRef cell = Element::Create("div");
    cell->SetAttribute("class", u"loc");
    cell->SetText(u"a.jpg");

    std::vector<Change> changes;
    changes.push_back({ChangeKind::Reset, 0, 0, 0, "", std::nullopt, nullptr});
    changes.push_back({ChangeKind::Insert, grid->GetUid(), 0, 0, "", std::nullopt,
                       std::make_unique<NodeSnapshot>(SnapshotOf(*cell))});
    changes.push_back({ChangeKind::Attribute, grid->GetUid(), 0, 0, "src", u"pics/b.jpg", nullptr});
    changes.push_back({ChangeKind::Attribute, grid->GetUid(), 0, 0, "sel", std::nullopt, nullptr});
    changes.push_back({ChangeKind::Style, grid->GetUid(), 0, 0, "cursor", u"url(c.ani)", nullptr});
    changes.push_back({ChangeKind::State, grid->GetUid(), 0, 0x40, "", std::nullopt, nullptr});
    changes.push_back({ChangeKind::Text, grid->GetUid(), 0, 0, "", u"<b>x</b>", nullptr});
    changes.push_back({ChangeKind::Tail, grid->GetUid(), 0, 0, "", std::nullopt, nullptr});
    changes.push_back({ChangeKind::Value, grid->GetUid(), 0, 0, "", u"42", nullptr});
    changes.push_back({ChangeKind::Remove, grid->GetUid(), 0, 0, "", std::nullopt, nullptr});

    const json batch = json::parse(EncodeChanges(3, 99, *page, changes));
    EXPECT_EQ(batch["t"], "ops");
    EXPECT_EQ(batch["doc"], 3);
    EXPECT_EQ(batch["seq"], 99);
    const json& ops = batch["ops"];
    ASSERT_EQ(ops.size(), 9u);  // the reset is sent as a whole document instead
    const auto uid = grid->GetUid();
    EXPECT_EQ(ops[0][0], "ins");
    EXPECT_EQ(ops[0][1], uid);
    EXPECT_EQ(ops[0][2], 0);
    EXPECT_EQ(ops[0][3]["g"], "div");
    EXPECT_EQ(ops[0][3]["x"], "a.jpg");
    EXPECT_EQ(ops[1], json::array({"attr", uid, "src", "f/opt/tavopix/skin/pics/b.jpg"}));
    EXPECT_EQ(ops[2], json::array({"attr", uid, "sel", nullptr}));
    EXPECT_EQ(ops[3],
              json::array({"style", uid, "cursor", "url(\"f/opt/tavopix/skin/c.ani\"), pointer"}));
    EXPECT_EQ(ops[4], json::array({"state", uid, 0x40}));
    EXPECT_EQ(ops[5], json::array({"text", uid, "<b>x</b>"}));
    EXPECT_EQ(ops[6], json::array({"tail", uid, nullptr}));
    EXPECT_EQ(ops[7], json::array({"value", uid, "42"}));
    EXPECT_EQ(ops[8], json::array({"rm", uid}));
}

// The page keeps the text the user typed after the edit the program's value answers.
TEST(EncodeTest, AFieldsValueNamesThePagesLastEditTheProgramTook) {
    auto page =
        Page("<html><body><input #name><textarea #note></textarea><p #info/></body></html>");
    const auto name = page->Root()->FindById(u"name")->GetUid();
    const auto note = page->Root()->FindById(u"note")->GetUid();
    const auto info = page->Root()->FindById(u"info")->GetUid();
    std::vector<Change> changes;
    changes.push_back({ChangeKind::Value, name, 0, 0, "", u"abc", nullptr});
    changes.push_back({ChangeKind::Text, note, 0, 0, "", u"line", nullptr});
    changes.push_back({ChangeKind::Text, info, 0, 0, "", u"done", nullptr});
    const EditAcknowledgements edits{{name, 3}, {note, 7}};
    const json ops = json::parse(EncodeChanges(1, 1, *page, changes, &edits))["ops"];
    EXPECT_EQ(ops[0], json::array({"value", name, "abc", 3}));
    EXPECT_EQ(ops[1], json::array({"text", note, "line", 7}));
    EXPECT_EQ(ops[2], json::array({"text", info, "done"}));

    PageMessage message;
    std::string error;
    ASSERT_TRUE(DecodePageMessage(R"({"t":"in","win":5,"k":"value","u":9,"v":"abcd","n":4})",
                                  message, error))
        << error;
    const auto& input = std::get<PageInput>(message);
    EXPECT_EQ(input.text, u"abcd");
    EXPECT_EQ(input.edit, 4u);
    EXPECT_FALSE(DecodePageMessage(R"({"t":"in","win":5,"k":"value","u":9,"v":"x","n":-1})",
                                   message, error));
}

TEST(EncodeTest, BrokenTextStillMakesValidJson) {
    auto page = Page();
    std::vector<Change> changes;
    const std::u16string loneSurrogate{u'a', static_cast<char16_t>(0xD800), u'b'};
    changes.push_back({ChangeKind::Text, page->Body()->GetUid(), 0, 0, "", loneSurrogate, nullptr});
    const json batch = json::parse(EncodeChanges(1, 1, *page, changes), nullptr, false);
    ASSERT_FALSE(batch.is_discarded());
    EXPECT_EQ(batch["ops"][0][0], "text");
}

TEST(EncodeTest, WindowDescription) {
    auto page = Page();
    WindowPlacement placement;
    placement.owner = 5;
    placement.document = page.get();
    placement.title = u"上传 \"照片\"";
    placement.bounds = {10, 20, 410, 320};
    placement.minTrack = {300, 200};
    placement.maxTrack = {0, 0};
    placement.visible = true;
    placement.enabled = false;
    placement.show = WindowShow::Maximized;
    const json win = json::parse(EncodeWindow(9, 4, placement, true, {0, 0, 1280, 800}));
    EXPECT_EQ(win, json::parse(R"({"t":"win","id":9,"owner":5,"doc":4,"title":"上传 \"照片\"",
        "x":10,"y":20,"w":400,"h":300,"minW":300,"minH":200,"maxW":0,"maxH":0,"workW":1280,
        "workH":800,"visible":true,"enabled":false,"show":"max","active":true,"fill":false})"));
}

}  // namespace
}  // namespace tavopix
