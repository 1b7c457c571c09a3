// The folder results fed into the tree a slice at a time through the real message queue: a
// burst posted by another thread keeps its order and lets later messages in between, the end
// of the search waits for the last result, and stopping with results taken frees them unapplied.
#include <thread>
#include <vector>

#include "app/TextFile.h"
#include "engine/Document.h"
#include "engine/Element.h"
#include "library/FolderTestSupport.h"
#include "library/LibraryMessages.h"
#include "library/data/SharedPictureFilter.h"
#include "library/views/FolderTree.h"
#include "library/workers/FolderResultFeed.h"
#include "library/workers/PictureSearch.h"
#include "support/MessagePump.h"
#include "support/WaitUntil.h"

namespace tavopix::test {
namespace {

constexpr UINT WM_INPUT_STAND_IN = WM_USER + 600;

class FolderResultFeedTest : public ::testing::Test {
protected:
    void SetUp() override {
        window_.handler = [this](UINT message, WPARAM wParam, LPARAM) {
            switch (message) {
                case WM_FOLDER_RESULT:
                    feed_.OnFolderResult(wParam);
                    return true;
                case WM_TIMER:
                    return feed_.OnTimer(wParam);
                case WM_SEARCH_DONE:
                    feed_.WhenApplied([this] { doneAfter_ = applied_.size(); });
                    return true;
                case WM_INPUT_STAND_IN:
                    inputAfter_.push_back(applied_.size());
                    return true;
                default:
                    return false;
            }
        };
    }

    // The main loop's way, timers included, until `done` holds.
    static void Run(const std::function<bool()>& done) {
        MSG msg;
        while (!done() && GetMessage(&msg, nullptr, 0, 0)) {
            DispatchMessage(&msg);
        }
    }

    static void PostResult(HWND window, std::u16string path, unsigned count) {
        ASSERT_TRUE(PostMessage(window, WM_FOLDER_RESULT,
                                reinterpret_cast<WPARAM>(new FolderResult{std::move(path), count}),
                                0));
    }

    TestWindow window_;
    std::vector<std::u16string> applied_;
    std::vector<std::size_t> inputAfter_;
    std::size_t doneAfter_ = SIZE_MAX;
    std::u16string atOnce_ = u"now/";
    std::function<void(const FolderResult&)> apply_ = [this](const FolderResult& result) {
        applied_.push_back(result.path);
    };
    // One result per slice.
    FolderResultFeed feed_{FolderResultFeed::Setup{
        window_.Hwnd(), [this](const FolderResult& result) { apply_(result); },
        [this](const FolderResult& result) { return result.path == atOnce_; }, 60'000, 1, 10}};
};

TEST_F(FolderResultFeedTest, ABurstKeepsItsOrderLetsLaterMessagesInAndEndsAfterItsLastResult) {
    constexpr int kBurst = 40;
    std::vector<std::u16string> posted;
    std::thread worker([&] {
        for (int i = 0; i < kBurst; ++i) {
            posted.push_back(u"f" + FromUtf8(std::to_string(i)) + u"/");
            PostResult(window_.Hwnd(), posted.back(), 1);
            if (i == kBurst / 2) {
                PostResult(window_.Hwnd(), atOnce_, 1);
            }
        }
        PostMessage(window_.Hwnd(), WM_INPUT_STAND_IN, 0, 0);
        PostMessage(window_.Hwnd(), WM_SEARCH_DONE, 0, 0);
        PostMessage(window_.Hwnd(), WM_INPUT_STAND_IN, 0, 0);
    });
    worker.join();
    Run([&] { return doneAfter_ != SIZE_MAX; });

    // The result that must not wait went in with the first take, then the others in order.
    ASSERT_EQ(applied_.size(), posted.size() + 1);
    EXPECT_EQ(applied_.front(), atOnce_);
    EXPECT_EQ(std::vector(applied_.begin() + 1, applied_.end()), posted);
    // Input queued behind the burst waited one slice, not the whole burst.
    EXPECT_EQ(inputAfter_, (std::vector<std::size_t>{2, 2}));
    EXPECT_EQ(doneAfter_, applied_.size());

    // Closing: what is still queued goes in at once, in order.
    PostResult(window_.Hwnd(), u"late/", 1);
    PostResult(window_.Hwnd(), u"later/", 1);
    feed_.ApplyAll();
    EXPECT_EQ(std::vector(applied_.end() - 2, applied_.end()),
              (std::vector<std::u16string>{u"late/", u"later/"}));
}

// A real search posting while the loop runs: its end comes after every folder it walked is in
// the tree; stopped with results taken and not applied, it leaves them unapplied and freed (the
// sanitizers see a leak or a second free).
TEST_F(FolderResultFeedTest, TheSearchsEndFollowsItsLastResultAndAStopDropsWhatWasTaken) {
    DiskTree disk;
    for (int i = 0; i < 30; ++i) {
        disk.File("photos/d" + std::to_string(i % 5) + "/f" + std::to_string(i) + "/p.jpg", 30000);
    }
    WriteTextFile(disk.Stored("SetPathCfg.dat"), disk.Stored("photos/") + u"\n");
    auto page =
        Document::FromHtml("<html><body><div id=\"tree_view\"></div></body></html>", u"/page.htm");
    FolderTree tree;
    tree.Bind(page->Root()->FindById(u"tree_view"));
    apply_ = [&](const FolderResult& result) {
        applied_.push_back(result.path);
        tree.AddFolderResult(result.path, result.count);
    };
    SharedPictureFilter filter;
    PictureSearch search(PictureSearch::Setup{window_.Hwnd(),
                                              disk.Stored("SetPathCfg.dat"),
                                              disk.Stored("ImgFilterCfg.dat"),
                                              &filter,
                                              {},
                                              {}});

    ASSERT_TRUE(search.Start());
    Run([&] { return doneAfter_ != SIZE_MAX; });
    // photos, its 5 folders and their 30, each folder before the one above it.
    EXPECT_EQ(doneAfter_, 36u);
    EXPECT_EQ(applied_.back(), disk.Stored("photos/"));
    EXPECT_EQ(*tree.NodeOf(disk.Stored("photos/"))->FirstChild()->GetAttribute("nc"), u"30");

    tree.Clear();
    applied_.clear();
    ASSERT_TRUE(search.Start());
    ASSERT_TRUE(WaitUntil([&] { return !search.Running(); }));
    MSG msg;
    ASSERT_TRUE(PeekMessage(&msg, window_.Hwnd(), 0, 0, PM_REMOVE));
    ASSERT_EQ(msg.message, WM_FOLDER_RESULT);
    DispatchMessage(&msg);  // takes every queued result along, applies one
    EXPECT_TRUE(feed_.Pending());
    const std::size_t nodes = tree.NodeCount();
    search.Stop();
    feed_.Drop();
    Pump();
    EXPECT_EQ(applied_.size(), 1u);
    EXPECT_FALSE(feed_.Pending());
    EXPECT_EQ(tree.NodeCount(), nodes);
}

}  // namespace
}  // namespace tavopix::test
