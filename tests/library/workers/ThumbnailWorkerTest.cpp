// The thumbnail worker against a real window and an item list of many pictures: each visible
// item handed over once, in order, one at a time; pauses acknowledged, with nothing handed over
// before a pause arriving after it; resumes on new ranges; a guessed range made while the grid
// works its range out; rebuilt grids handed back; stops that end a wait for the grid at once. Run
// under the thread sanitizer.
#include <atomic>
#include <functional>
#include <vector>

#include "app/AppContext.h"
#include "library/FolderTestSupport.h"
#include "library/LibraryMessages.h"
#include "library/data/ItemList.h"
#include "library/workers/ThumbnailWorker.h"
#include "support/MessagePump.h"
#include "support/WaitUntil.h"

namespace tavopix::test {
namespace {

constexpr std::size_t kItems = 500;

class ThumbnailWorkerTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedCache_ = appContext.iconCacheDir;
        savedError_ = appContext.errorImagePath;
        appContext.iconCacheDir = disk_.Stored();
        appContext.errorImagePath = u"error_img.jpg";
        // Pictures that cannot be read get the error picture at once: the worker's hand-overs
        // are what is tested here, not the making of thumbnails.
        for (std::size_t i = 0; i < kItems; ++i) {
            auto item = std::make_unique<PictureItem>();
            item->path = disk_.Stored("missing-" + std::to_string(i) + ".jpg");
            items_.Append(std::move(item));
        }
        window_.handler = [this](UINT message, WPARAM wParam, LPARAM) {
            if (message != WM_THUMBNAIL_READY) {
                return false;
            }
            auto* item = reinterpret_cast<PictureItem*>(wParam);
            handed_.push_back(item->id);
            if (showHanded_) {
                item->shown = true;
            }
            return true;
        };
    }
    void TearDown() override {
        appContext.iconCacheDir = savedCache_;
        appContext.errorImagePath = savedError_;
    }

    // Hands `first`..`last` to the worker as the visible range.
    void ShowRange(std::size_t first, std::size_t last) {
        first_ = first;
        last_ = last;
        worker_.Pause(ThumbResume::Yes);
    }

    std::vector<std::uint32_t> Ids(std::size_t first, std::size_t last) const {
        std::vector<std::uint32_t> ids;
        for (std::size_t i = first; i <= last; ++i) {
            ids.push_back(items_[i].id);
        }
        return ids;
    }

    bool Parked() const { return worker_.CurrentState() == ThumbnailWorker::Parked; }

    DiskTree disk_;
    std::u16string savedCache_;
    std::u16string savedError_;
    TestWindow window_;
    ItemList items_;
    std::size_t first_ = 0;
    std::size_t last_ = 0;
    bool showHanded_ = true;
    std::vector<std::uint32_t> handed_;
    // Runs while the worker asks for the range, as a grid waiting for the browser would.
    std::function<void()> whileAsked_;
    ThumbnailWorker worker_{window_.Hwnd(), items_, [this](std::size_t& first, std::size_t& last) {
                                if (items_.empty()) {
                                    return false;
                                }
                                if (whileAsked_) {
                                    whileAsked_();
                                }
                                first = first_;
                                last = last_;
                                return true;
                            }};
};

TEST_F(ThumbnailWorkerTest, EachVisibleItemIsHandedOverOnceInOrder) {
    ASSERT_TRUE(worker_.Start());
    EXPECT_TRUE(Parked());
    ShowRange(0, 11);
    ASSERT_TRUE(PumpUntil([&] { return handed_.size() == 12 && Parked(); }));
    EXPECT_EQ(handed_, Ids(0, 11));
    for (std::size_t i = 0; i < kItems; ++i) {
        EXPECT_EQ(items_[i].made.load(), i <= 11) << i;
    }
    EXPECT_EQ(items_[0].thumbnail, u"error_img.jpg");
    EXPECT_EQ(items_[0].width, 160);

    // Scrolled on: only the new range, and shown items are passed over.
    handed_.clear();
    ShowRange(6, 30);
    ASSERT_TRUE(PumpUntil([&] { return handed_.size() == 19 && Parked(); }));
    EXPECT_EQ(handed_, Ids(12, 30));

    // A rebuilt grid clears the shown flags: every visible item comes back once more.
    handed_.clear();
    worker_.Pause(ThumbResume::No);
    for (std::size_t i = 0; i < kItems; ++i) {
        items_[i].shown = false;
    }
    ShowRange(0, 11);
    ASSERT_TRUE(PumpUntil([&] { return handed_.size() == 12 && Parked(); }));
    EXPECT_EQ(handed_, Ids(0, 11));
    worker_.Pause(ThumbResume::No);
    worker_.Stop();
    EXPECT_EQ(worker_.CurrentState(), ThumbnailWorker::NoThread);
}

TEST_F(ThumbnailWorkerTest, NothingHandedOverBeforeAPauseArrivesAfterIt) {
    ASSERT_TRUE(worker_.Start());
    ShowRange(0, 40);
    // The worker has handed item 0 over and waits for the grid, which has not looked yet.
    ASSERT_TRUE(WaitUntil([&] {
        MSG msg;
        return PeekMessage(&msg, window_.Hwnd(), WM_THUMBNAIL_READY, WM_THUMBNAIL_READY,
                           PM_NOREMOVE);
    }));
    worker_.Pause(ThumbResume::No);
    EXPECT_TRUE(Parked());
    Pump();
    EXPECT_TRUE(handed_.empty());

    // The list may change now; the new items are handed over, the made one again.
    EXPECT_TRUE(items_[0].made);
    items_.Remove(&items_[1]);
    ShowRange(0, 3);
    ASSERT_TRUE(PumpUntil([&] { return handed_.size() == 4 && Parked(); }));
    EXPECT_EQ(handed_, Ids(0, 3));
}

// While the grid works out its range, the worker makes a guess of it (as many items as the
// widest range so far, from where the last one began) without handing any of them over; what
// the grid answers is what is handed over.
TEST_F(ThumbnailWorkerTest, TheRangeIsGuessedWhileTheGridWorksItOut) {
    ASSERT_TRUE(worker_.Start());
    ShowRange(100, 111);
    ASSERT_TRUE(PumpUntil([&] { return handed_.size() == 12 && Parked(); }));
    worker_.Pause(ThumbResume::No);
    for (std::size_t i = 100; i <= 111; ++i) {
        items_[i].made = false;
        items_[i].shown = false;
    }
    handed_.clear();
    bool guessMade = false;
    whileAsked_ = [&] {
        guessMade = WaitUntil([&] {
            for (std::size_t i = 100; i <= 111; ++i) {
                if (!items_[i].made) {
                    return false;
                }
            }
            return true;
        });
    };
    ShowRange(200, 203);
    whileAsked_ = nullptr;
    EXPECT_TRUE(guessMade);
    ASSERT_TRUE(PumpUntil([&] { return handed_.size() == 4 && Parked(); }));
    EXPECT_EQ(handed_, Ids(200, 203));
    EXPECT_FALSE(items_[112].made);
    worker_.Pause(ThumbResume::No);
    worker_.Stop();
}

TEST_F(ThumbnailWorkerTest, StoppingWhileTheWorkerWaitsForTheGridEndsAtOnce) {
    showHanded_ = false;
    ASSERT_TRUE(worker_.Start());
    ShowRange(0, 11);
    ASSERT_TRUE(PumpUntil([&] { return handed_.size() == 1; }));
    EXPECT_TRUE(worker_.IsWorking());
    worker_.Stop();
    EXPECT_EQ(worker_.CurrentState(), ThumbnailWorker::NoThread);
    Pump();
    EXPECT_EQ(handed_.size(), 1u);
}

TEST_F(ThumbnailWorkerTest, AnEmptyListDoesNotWakeTheWorker) {
    items_.Clear();
    ASSERT_TRUE(worker_.Start());
    worker_.Pause(ThumbResume::Yes);
    EXPECT_TRUE(Parked());
    // Without a thread, pauses and resumes return at once and nothing works.
    worker_.Stop();
    worker_.Pause(ThumbResume::Yes);
    EXPECT_EQ(worker_.CurrentState(), ThumbnailWorker::NoThread);
}

TEST_F(ThumbnailWorkerTest, ManyPausesAndResumesWhileTheGridScrolls) {
    ASSERT_TRUE(worker_.Start());
    for (std::size_t step = 0; step < 40; ++step) {
        const std::size_t first = (step * 37) % (kItems - 24);
        ShowRange(first, first + 23);
        // The grid takes a few items, then scrolls on (or, every fifth step, is rebuilt).
        const std::size_t before = handed_.size();
        PumpUntil([&] { return handed_.size() >= before + 3 || Parked(); });
        if (step % 5 == 4) {
            worker_.Pause(ThumbResume::No);
            for (std::size_t i = 0; i < items_.size(); ++i) {
                items_[i].shown = false;
            }
        }
    }
    ShowRange(kItems - 24, kItems - 1);
    ASSERT_TRUE(PumpUntil([&] { return Parked(); }));
    for (std::size_t i = kItems - 24; i < kItems; ++i) {
        EXPECT_TRUE(items_[i].shown) << i;
    }
    worker_.Pause(ThumbResume::No);
    worker_.Stop();
}

}  // namespace
}  // namespace tavopix::test
