// The main window's folder tree on a real page: the tree and list presentations with their
// counts, direct counts set later (carried up, emptied nodes removed, branches turned back into
// leaves), names with markup characters and CJK shown as text with exact paths, and the cache
// file's bytes and the same tree rebuilt from it, in one piece as folder by folder, and large
// collapsed branches holding their folders out of the page until asked for.

#include "engine/Document.h"
#include "engine/Element.h"
#include "library/FolderTestSupport.h"
#include "library/LibraryFiles.h"
#include "library/views/FolderTree.h"

namespace tavopix::test {
namespace {

class FolderTreeTest : public ::testing::Test {
protected:
    FolderTreeTest()
        : page_(Document::FromHtml("<html><body><div id=\"tree_view\"></div></body></html>",
                                   u"/page.htm")) {
        tree_.Bind(View());
        loaded_.Bind(LoadedView());
    }

    Element* View() const { return page_->Root()->FindById(u"tree_view"); }
    Element* LoadedView() const { return loadedPage_->Root()->FindById(u"tree_view"); }

    // Writes `cacheText` as the cache file `file` and loads it into the second tree.
    bool LoadSecondTree(const std::u16string& file, const std::u16string& cacheText) {
        WriteBytes(Utf8(file), Utf16File(cacheText));
        return loaded_.LoadCache(file);
    }

    // "tag path ns nc num" for every node, in document order, indented by depth.
    std::string Dump() const { return Dump(*View()); }
    static std::string Dump(const Element& view) {
        std::string out;
        view.SelectElements("caption", [&](Element& caption) {
            int depth = 0;
            for (Element* e = caption.Parent(); e != &view; e = e->Parent()) {
                ++depth;
            }
            const auto attribute = [&](std::string_view name) {
                const std::u16string* value = caption.GetAttribute(name);
                return value != nullptr ? Utf8(*value) : std::string("-");
            };
            out += std::string(static_cast<std::size_t>(depth - 1) * 2, ' ') +
                   caption.Parent()->Tag() + " " + attribute("path") + " " + attribute("ns") + " " +
                   attribute("nc") + " " + Utf8(caption.FindFirst(".num")->InnerText()) + "\n";
            return Walk::Continue;
        });
        return out;
    }

    std::unique_ptr<Document> page_;
    FolderTree tree_;
    // A second tree over a page of its own, for what a cache file gives.
    std::unique_ptr<Document> loadedPage_ =
        Document::FromHtml("<html><body><div id=\"tree_view\"></div></body></html>", u"/page.htm");
    FolderTree loaded_;
};

TEST_F(FolderTreeTest, TreeViewCountsUpwardsAndSetsDirectCountsLater) {
    tree_.AddFolderResult(u"%mypic%Trip/", 3);
    EXPECT_EQ(Dump(),
              "options %mypic% 0 3 (3)\n"
              "  option %mypic%Trip/ 3 0 (3)\n");
    // Found directly in the top folder: its ns, and the sum.
    tree_.AddFolderResult(u"%mypic%", 2);
    tree_.AddFolderResult(u"%mypic%Trip/Day/", 4);
    tree_.AddFolderResult(u"%mypic%Empty/", 0);
    EXPECT_EQ(Dump(),
              "options %mypic% 2 7 (9)\n"
              "  options %mypic%Trip/ 3 4 (7)\n"
              "    option %mypic%Trip/Day/ 4 0 (4)\n");
    EXPECT_TRUE(View()->FirstChild()->HasAttribute("expanded"));
    EXPECT_EQ(*View()->FirstChild()->GetAttribute("rt"), u"true");

    // The last pictures below Trip go: Day's node goes and Trip becomes a leaf again, in place.
    EXPECT_TRUE(tree_.SetDirectCount(u"%mypic%Trip/Day/", 0));
    EXPECT_EQ(Dump(),
              "options %mypic% 2 3 (5)\n"
              "  option %mypic%Trip/ 3 0 (3)\n");
    EXPECT_EQ(tree_.NodeOf(u"%mypic%Trip/Day/"), nullptr);
    EXPECT_EQ(tree_.NodeOf(u"%mypic%Trip/")->Tag(), "option");
    // Emptying everything removes the emptied ancestors and their map entries too.
    tree_.SetDirectCount(u"%mypic%Trip/", 0);
    tree_.SetDirectCount(u"%mypic%", 0);
    EXPECT_EQ(Dump(), "");
    EXPECT_EQ(tree_.NodeCount(), 0u);
    // A later result for the same path makes fresh nodes.
    tree_.AddFolderResult(u"%mypic%Trip/", 1);
    EXPECT_EQ(Dump(),
              "options %mypic% 0 1 (1)\n"
              "  option %mypic%Trip/ 1 0 (1)\n");
    EXPECT_FALSE(tree_.SetDirectCount(u"%mypic%Other/", 5));
}

TEST_F(FolderTreeTest, ListViewHasOneFlatNodePerFolderWithPictures) {
    tree_.SetPresentation(FolderPresentation::List);
    tree_.AddFolderResult(u"/data/a/", 2);
    tree_.AddFolderResult(u"/data/", 0);
    tree_.AddFolderResult(u"/data/b/", 5);
    tree_.AddFolderResult(u"/data/a/", 3);
    EXPECT_EQ(Dump(),
              "option /data/a/ 3 - (3)\n"
              "option /data/b/ 5 - (5)\n");
    EXPECT_EQ(Utf8(View()->FirstChild()->FindFirst(".tl")->InnerText()), "a");
}

TEST_F(FolderTreeTest, MarkupCharactersAndCjkShowAsTextAndKeepTheirPaths) {
    const std::u16string odd = u"/data/Tom & \"Jerry\" <b>照片/";
    tree_.SetPresentation(FolderPresentation::List);
    tree_.AddFolderResult(odd, 1);
    Element* node = tree_.NodeOf(odd);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(*node->FirstChild()->GetAttribute("path"), odd);
    EXPECT_EQ(node->FindFirst(".tl")->InnerText(), u"Tom & \"Jerry\" <b>照片");
    EXPECT_EQ(node->FindFirst("b"), nullptr);
}

TEST_F(FolderTreeTest, CacheHoldsDirectCountsInDocumentOrderAndRebuildsTheSameTree) {
    DiskTree disk;
    const std::u16string file = disk.Stored("searchPathCache.dat");
    tree_.AddFolderResult(u"%mypic%Trip/", 3);
    tree_.AddFolderResult(u"%mypic%", 2);
    tree_.AddFolderResult(u"/data/a\"q\"/", 1);
    tree_.AddFolderResult(u"/data/照片 & <x>/", 7);
    tree_.AddFolderResult(u"/data/it's \"quoted\" <&> dir/", 4);
    ASSERT_TRUE(tree_.SaveCache(file));
    EXPECT_EQ(ReadBytes(Utf8(file)),
              Utf16File(u"\"%mypic%\" 2\r\n\"%mypic%Trip/\" 3\r\n\"/data/a\"q\"/\" 1\r\n"
                        u"\"/data/照片 & <x>/\" 7\r\n\"/data/it's \"quoted\" <&> dir/\" 4\r\n"));

    auto other =
        Document::FromHtml("<html><body><div id=\"tree_view\"></div></body></html>", u"/page.htm");
    Element* otherView = other->Root()->FindById(u"tree_view");
    FolderTree rebuilt;
    rebuilt.Bind(otherView);
    ASSERT_TRUE(rebuilt.LoadCache(file));
    EXPECT_EQ(Dump(*otherView), Dump());
    EXPECT_NE(rebuilt.NodeOf(u"/data/it's \"quoted\" <&> dir/"), nullptr);
    EXPECT_FALSE(rebuilt.LoadCache(disk.Stored("missing.dat")));

    // A line written bare by earlier versions (a quoted path without blanks) still reads back;
    // a line without a count is passed over.
    WriteBytes(Utf8(file), Utf16File(u"/old/a\"q\"/ 5\r\nno-count\r\n"));
    FolderTree old;
    old.Bind(otherView);
    old.Clear();
    old.SetPresentation(FolderPresentation::List);
    ASSERT_TRUE(old.LoadCache(file));
    EXPECT_EQ(old.NodeCount(), 1u);
    ASSERT_NE(old.NodeOf(u"/old/a\"q\"/"), nullptr);
}

TEST_F(FolderTreeTest, CacheLoadedInOnePieceIsTheTreeItsFoldersMakeOneByOne) {
    // Folders out of document order: a known folder's count later, a top folder with pictures
    // that gets folders below it, one seen twice.
    const std::vector<std::pair<std::u16string, unsigned>> folders{
        {u"%mypic%Trip/Day/", 4}, {u"/data/", 2},           {u"/data/a/", 1},
        {u"%mypic%Trip/", 3},     {u"/data/a/b/", 6},       {u"/data/a/", 5},
        {u"%mypic%Other/", 1},    {u"/data/照片 & <x>/", 7}};
    std::u16string text;
    for (const auto& [path, count] : folders) {
        text += u"\"" + path + u"\" " + FromUtf8(std::to_string(count)) + u"\r\n";
        tree_.AddFolderResult(path, count);
    }
    DiskTree disk;
    const std::u16string file = disk.Stored("searchPathCache.dat");
    ASSERT_TRUE(LoadSecondTree(file, text));
    Element* otherView = LoadedView();
    FolderTree& loaded = loaded_;
    EXPECT_EQ(otherView->InnerHtml(), View()->InnerHtml());
    EXPECT_EQ(loaded.NodeCount(), tree_.NodeCount());
    for (const auto& [path, count] : folders) {
        ASSERT_NE(loaded.NodeOf(path), nullptr);
        EXPECT_EQ(loaded.NodeOf(path)->OuterHtml(), tree_.NodeOf(path)->OuterHtml());
    }
    // The loaded tree goes on as any other.
    loaded.AddFolderResult(u"/data/a/b/", 0);
    tree_.AddFolderResult(u"/data/a/b/", 0);
    EXPECT_EQ(otherView->InnerHtml(), View()->InnerHtml());
}

TEST_F(FolderTreeTest, LargeCollapsedBranchesHoldTheirFoldersOutOfThePageUntilAskedFor) {
    // Two albums of 40 days below the top folder (one day with a folder below it), into the
    // cache and folder by folder into the fixture's tree.
    std::u16string text;
    const auto add = [&](const std::u16string& path, unsigned count) {
        text += u"\"" + path + u"\" " + FromUtf8(std::to_string(count)) + u"\r\n";
        tree_.AddFolderResult(path, count);
    };
    for (int album = 0; album < 2; ++album) {
        for (int day = 0; day < 40; ++day) {
            add(FromUtf8("%mypic%a" + std::to_string(album) + "/d" + std::to_string(day) + "/"),
                1 + static_cast<unsigned>(day % 5));
        }
    }
    add(u"%mypic%a1/d3/x/", 2);
    DiskTree disk;
    const std::u16string file = disk.Stored("searchPathCache.dat");
    ASSERT_TRUE(LoadSecondTree(file, text));
    Element* otherView = LoadedView();
    FolderTree& loaded = loaded_;
    // Either way the page holds the top folder and its albums with their totals; every folder is
    // counted and written to the cache in its place.
    EXPECT_EQ(Dump(*otherView),
              "options %mypic% 0 242 (242)\n"
              "  options %mypic%a0/ 0 120 (120)\n"
              "  options %mypic%a1/ 0 122 (122)\n");
    EXPECT_EQ(otherView->InnerHtml(), View()->InnerHtml());
    EXPECT_EQ(loaded.NodeCount(), tree_.NodeCount());
    const std::u16string written = disk.Stored("written.dat");
    const std::u16string expected = disk.Stored("expected.dat");
    ASSERT_TRUE(loaded.SaveCache(written));
    ASSERT_TRUE(tree_.SaveCache(expected));
    EXPECT_TRUE(ReadBytes(Utf8(written)) == ReadBytes(Utf8(expected)));

    // A held folder's new count and a folder found below a holding branch go into the plan and
    // up the built nodes; a folder asked for comes into the page with its branch, an opened
    // branch with its folders.
    for (FolderTree* tree : {&tree_, &loaded}) {
        tree->AddFolderResult(u"%mypic%a0/new/", 5);
        tree->AddFolderResult(u"%mypic%a0/d1/", 7);
        ASSERT_NE(tree->NodeOf(u"%mypic%a1/d3/x/"), nullptr);
        Element* album = tree->NodeOf(u"%mypic%a0/");
        ASSERT_NE(album, nullptr);
        EXPECT_EQ(album->FindFirst(".num")->InnerText(), u"(130)");
        EXPECT_EQ(album->ChildCount(), 1u);
        album->SetState(STATE_EXPANDED, STATE_COLLAPSED);
        tree->BuildHeldFolders(*album);
        EXPECT_EQ(album->ChildCount(), 42u);
        EXPECT_EQ(tree->NodeOf(u"%mypic%a0/d1/")->FindFirst(".num")->InnerText(), u"(7)");
    }
    EXPECT_EQ(otherView->InnerHtml(), View()->InnerHtml());
    EXPECT_EQ(loaded.NodeCount(), tree_.NodeCount());

    // A branch whose folder the user selected keeps its folders in the page.
    loaded.Clear();
    loaded.AddFolderResult(u"%mypic%b/d0/", 1);
    loaded.NodeOf(u"%mypic%b/d0/")->FindFirst(".cp")->SetAttribute("sel", u"true");
    for (int day = 1; day < 40; ++day) {
        loaded.AddFolderResult(FromUtf8("%mypic%b/d" + std::to_string(day) + "/"), 1);
    }
    EXPECT_EQ(loaded.NodeOf(u"%mypic%b/")->ChildCount(), 41u);
}

}  // namespace
}  // namespace tavopix::test
