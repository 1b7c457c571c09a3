// The folder listing worker asks the registry and the folder list while the UI thread changes
// them; these tests run both sides at once (and under the thread sanitizer).
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "library/LibraryFiles.h"
#include "library/data/FolderList.h"
#include "library/data/UploadedRegistry.h"

namespace tavopix {
namespace {

using test::TempFolder;

constexpr int kRounds = 2000;

std::u16string Picture(int i) {
    return u"%mypic%Trip/" + FromUtf8(std::to_string(i)) + u".jpg";
}

TEST(LibraryLocking, RegistryLookupsDuringChanges) {
    TempFolder folder;
    UploadedRegistry registry(folder.File("uploadedImg.dat"));
    test::WriteBytes(folder.Native("always.jpg"), "jpeg");
    const std::u16string always = folder.File("always.jpg");
    ASSERT_TRUE(registry.Add(always));
    std::atomic<bool> done{false};
    std::atomic<int> wrongAnswers{0};

    std::thread listing([&] {
        int i = 0;
        while (!done.load()) {
            if (!registry.Contains(always)) {
                ++wrongAnswers;
            }
            (void)registry.Contains(Picture(i++ % kRounds));
        }
    });
    for (int i = 0; i < kRounds; ++i) {
        ASSERT_TRUE(registry.Add(Picture(i)));
        if (i % 100 == 0) {
            ASSERT_TRUE(registry.Remove(Picture(i / 2)));
            registry.PruneMissing([](const std::u16string&) {});
        }
    }
    done = true;
    listing.join();
    EXPECT_EQ(wrongAnswers.load(), 0);
    EXPECT_TRUE(registry.Contains(always));
}

TEST(LibraryLocking, FolderListCoversDuringIncludeAndExclude) {
    TempFolder folder;
    FolderList list(folder.File("SetPathCfg.dat"));
    ASSERT_TRUE(list.Include(u"/fixed/"));
    std::atomic<bool> done{false};
    std::atomic<int> misses{0};

    std::thread listing([&] {
        while (!done.load()) {
            if (!list.Covers(u"/fixed/a/b/")) {
                ++misses;
            }
            (void)list.CheckAttributeFor(u"/moving/");
        }
    });
    for (int i = 0; i < kRounds; ++i) {
        const std::u16string moving = u"/moving/" + FromUtf8(std::to_string(i)) + u"/";
        ASSERT_TRUE(list.Include(moving));
        ASSERT_TRUE(list.Exclude(moving));
        if (i % 200 == 0) {
            ASSERT_TRUE(list.Save());
        }
    }
    done = true;
    listing.join();
    EXPECT_EQ(misses.load(), 0);
}

}  // namespace
}  // namespace tavopix
