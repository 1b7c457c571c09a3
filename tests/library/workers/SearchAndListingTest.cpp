// The picture search and the folder listing as the main window runs them: threads posting to a
// real window whose handlers grow a folder tree on a real page and write the cache; stopping a
// search mid-way; opening a folder while the search runs.
#include <atomic>
#include <fstream>
#include <iterator>

#include "app/TextFile.h"
#include "engine/Document.h"
#include "engine/Element.h"
#include "library/FolderTestSupport.h"
#include "library/LibraryMessages.h"
#include "library/data/FolderList.h"
#include "library/data/FolderResult.h"
#include "library/data/ItemList.h"
#include "library/data/MarkedSet.h"
#include "library/data/SharedPictureFilter.h"
#include "library/data/UploadedRegistry.h"
#include "library/views/FolderTree.h"
#include "library/workers/FolderListing.h"
#include "library/workers/PictureSearch.h"
#include "support/MessagePump.h"
#include "support/WaitUntil.h"

namespace tavopix::test {
namespace {

class SearchAndListingTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Twelve folders of three pictures and a file that is none, one level below "photos".
        for (int i = 0; i < 12; ++i) {
            const std::string folder = "photos/f" + std::to_string(i) + "/";
            for (int j = 0; j < 3; ++j) {
                disk_.File(folder + "p" + std::to_string(j) + ".jpg", 30000);
            }
            disk_.File(folder + "notes.txt", 30000);
        }
        disk_.File("photos/top.jpg", 30000);
        disk_.Folder("program");
        WriteTextFile(disk_.Stored("program/SetPathCfg.dat"), disk_.Stored("photos/") + u"\n");
        folders_.Load();

        window_.handler = [this](UINT message, WPARAM wParam, LPARAM) {
            switch (message) {
                case WM_FOLDER_RESULT: {
                    const std::unique_ptr<FolderResult> result(
                        reinterpret_cast<FolderResult*>(wParam));
                    tree_.AddFolderResult(result->path, result->count);
                    return true;
                }
                case WM_SEARCH_DONE:
                    ++searchesDone_;
                    return tree_.SaveCache(CacheFile());
                case WM_CLEAR_GRID:
                    items_.Clear();
                    return true;
                case WM_BUILD_GRID:
                    ++gridsBuilt_;
                    return true;
                default:
                    return false;
            }
        };
        tree_.Bind(page_->Root()->FindById(u"tree_view"));
    }

    std::u16string CacheFile() const { return disk_.Stored("program/searchPathCache.dat"); }

    PictureSearch::Setup SearchSetup() {
        return {window_.Hwnd(),
                disk_.Stored("program/SetPathCfg.dat"),
                disk_.Stored("program/ImgFilterCfg.dat"),
                &filter_,
                [this] { return listingRunning_(); },
                {}};
    }

    DiskTree disk_;
    TestWindow window_;
    std::unique_ptr<Document> page_ =
        Document::FromHtml("<html><body><div id=\"tree_view\"></div></body></html>", u"/page.htm");
    FolderTree tree_;
    FolderList folders_{disk_.Stored("program/SetPathCfg.dat")};
    SharedPictureFilter filter_;
    ItemList items_;
    MarkedSet marked_;
    UploadedRegistry registry_{disk_.Stored("program/uploadedImg.dat")};
    std::function<bool()> listingRunning_ = [] { return false; };
    int searchesDone_ = 0;
    int gridsBuilt_ = 0;
};

TEST_F(SearchAndListingTest, SearchGrowsTheTreeAndItsCacheRebuildsIt) {
    PictureSearch search(SearchSetup());
    ASSERT_TRUE(search.Start());
    EXPECT_TRUE(search.Started());
    ASSERT_TRUE(PumpUntil([&] { return searchesDone_ == 1; }));
    search.Stop();
    EXPECT_FALSE(search.Running());
    // Without a filter file the search's own default holds: middle-sized JPEGs.
    EXPECT_EQ(filter_.Get(), kSearchPictureFilter);

    const Element* photos = tree_.NodeOf(disk_.Stored("photos/"));
    ASSERT_NE(photos, nullptr);
    EXPECT_EQ(*photos->FirstChild()->GetAttribute("ns"), u"1");
    EXPECT_EQ(*photos->FirstChild()->GetAttribute("nc"), u"36");
    EXPECT_EQ(photos->FindFirst(".num")->InnerText(), u"(37)");

    std::u16string cache;
    ASSERT_TRUE(ReadTextFile(CacheFile(), cache));
    EXPECT_NE(cache.find(u"\"" + disk_.Stored("photos/f3/") + u"\" 3\r\n"), std::u16string::npos);
    auto again =
        Document::FromHtml("<html><body><div id=\"tree_view\"></div></body></html>", u"/page.htm");
    FolderTree rebuilt;
    rebuilt.Bind(again->Root()->FindById(u"tree_view"));
    ASSERT_TRUE(rebuilt.LoadCache(CacheFile()));
    EXPECT_EQ(again->Root()->FindById(u"tree_view")->InnerHtml(),
              page_->Root()->FindById(u"tree_view")->InnerHtml());
}

TEST_F(SearchAndListingTest, StoppingDropsQueuedResultsAndLeavesTheCacheUnwritten) {
    // The search walks a few entries, then holds as if a listing ran.
    std::atomic<int> looks{0};
    listingRunning_ = [&] { return ++looks > 30; };
    PictureSearch search(SearchSetup());
    ASSERT_TRUE(search.Start());
    ASSERT_TRUE(WaitUntil([&] { return looks >= 40; }));
    MSG msg;
    EXPECT_TRUE(PeekMessage(&msg, window_.Hwnd(), WM_FOLDER_RESULT, WM_FOLDER_RESULT, PM_NOREMOVE));
    search.Stop();
    EXPECT_FALSE(search.Running());
    EXPECT_FALSE(PeekMessage(&msg, window_.Hwnd(), WM_FOLDER_RESULT, WM_SEARCH_DONE, PM_NOREMOVE));
    Pump();
    EXPECT_EQ(tree_.NodeCount(), 0u);
    EXPECT_EQ(searchesDone_, 0);
    std::u16string cache;
    EXPECT_FALSE(ReadTextFile(CacheFile(), cache));
}

TEST_F(SearchAndListingTest, OpeningAFolderWhileTheSearchRunsListsItsPicturesFirst) {
    const std::u16string folder = disk_.Stored("photos/f5/");
    marked_.Toggle(folder + u"p1.jpg");
    registry_.Add(folder + u"p2.jpg");
    items_.Append(std::make_unique<PictureItem>());  // what the grid showed before
    filter_.Set(kStartPictureFilter);

    FolderListing listing(FolderListing::Setup{window_.Hwnd(), &items_, &folders_, &filter_,
                                               &marked_, &registry_, [] { return false; }, [] {}});
    listingRunning_ = [&] { return listing.Running(); };
    PictureSearch search(SearchSetup());
    ASSERT_TRUE(search.Start());
    ASSERT_TRUE(listing.Start(folder));
    // The grid was emptied before the listing thread could add anything.
    ASSERT_TRUE(PumpUntil([&] { return gridsBuilt_ == 1; }));
    ASSERT_EQ(items_.size(), 3u);
    for (std::size_t i = 0; i < items_.size(); ++i) {
        const PictureItem& item = items_[i];
        EXPECT_EQ(item.path, folder + item.name);
        EXPECT_EQ(item.size, 30000u);
        EXPECT_EQ(item.marked, item.name == u"p1.jpg");
        EXPECT_EQ(item.uploaded, item.name == u"p2.jpg");
    }
    ASSERT_TRUE(PumpUntil([&] { return searchesDone_ == 1; }));
    EXPECT_EQ(*tree_.NodeOf(folder)->FirstChild()->GetAttribute("ns"), u"3");

    // A folder outside the chosen ones lists nothing in the tree view.
    ASSERT_TRUE(listing.Start(disk_.Stored("program/")));
    ASSERT_TRUE(PumpUntil([&] { return gridsBuilt_ == 2; }));
    EXPECT_TRUE(items_.empty());
}

}  // namespace
}  // namespace tavopix::test
