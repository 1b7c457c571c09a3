// The search's walk over real folder trees: the direct count of every folder for the default
// filter and for each size, type and age class, post order, hidden folders, names with markup
// characters and CJK kept exactly, symbolic links to folders never followed, and other file
// systems' pseudo mounts never entered.
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <vector>

#include "library/FolderTestSupport.h"
#include "library/workers/FolderWalk.h"

namespace tavopix::test {
namespace {

constexpr char kOddName[] = "Tom & \"Jerry\" <1>/";
constexpr char kOddPicture[] = "图片 & <2>.jpg";

class FolderWalkTest : public ::testing::Test {
protected:
    void SetUp() override {
        tree_.File("a.jpg", 30000);
        tree_.File("b.JPEG", 30000);
        tree_.File("c.jpe", 30000);
        tree_.File("small.jpg", 20480);
        tree_.File("s2.jpg", 20481);
        tree_.File("big.jpg", 2000000);
        tree_.File("old.jpg", 30000, 25);
        tree_.File("p.png", 30000);
        tree_.File(".hidden/h.jpg", 30000);
        tree_.File("nested/deeper/d.jpg", 30000);
        tree_.File("closed/x.jpg", 30000);
        tree_.File(std::string(kOddName) + kOddPicture, 30000);
        tree_.Link("loop", tree_.Native());
        tree_.Link("nested/up", "..");
        tree_.Close("closed");
    }

    // Every reported folder (relative to the root) with its count, and the report order.
    std::map<std::string, unsigned> Walk(const PictureFilter& filter, unsigned* total = nullptr) {
        FolderWalkHooks hooks;
        hooks.report = [this](std::u16string path, unsigned count) {
            const std::string native = Utf8(path);
            const std::string relative = native.substr(tree_.Native().size());
            EXPECT_TRUE(counts_.emplace(relative, count).second) << "reported twice: " << native;
            order_.push_back(relative);
        };
        counts_.clear();
        order_.clear();
        const unsigned all = WalkFolder(tree_.Stored(), filter, hooks);
        if (total != nullptr) {
            *total = all;
        }
        return counts_;
    }

    DiskTree tree_;
    std::map<std::string, unsigned> counts_;
    std::vector<std::string> order_;
};

TEST_F(FolderWalkTest, CountsEachFolderForTheDefaultFilterInPostOrder) {
    unsigned total = 0;
    const auto counts = Walk(kStartPictureFilter, &total);
    // Readable for root even without permissions: then it counts like any folder.
    const unsigned closed = tree_.Readable("closed") ? 1 : 0;
    std::map<std::string, unsigned> expected{
        {"", 6}, {".hidden/", 1}, {"nested/", 0}, {"nested/deeper/", 1}, {kOddName, 1}};
    if (closed != 0) {
        expected["closed/"] = 1;
    }
    EXPECT_EQ(counts, expected);
    EXPECT_EQ(total, 9 + closed);
    // Children come before their parents; the root comes last.
    ASSERT_FALSE(order_.empty());
    EXPECT_EQ(order_.back(), "");
    const auto position = [&](const std::string& path) {
        return std::find(order_.begin(), order_.end(), path) - order_.begin();
    };
    EXPECT_LT(position("nested/deeper/"), position("nested/"));
}

TEST_F(FolderWalkTest, EachSizeTypeAndAgeClassCountsItsOwnFiles) {
    EXPECT_EQ(Walk({kTypeJpeg, kSizeSmall, 0, {}})[""], 1u);  // 20480 bytes only
    EXPECT_EQ(Walk({kTypeJpeg, kSizeMiddle, 0, {}})[""], 5u);
    EXPECT_EQ(Walk({kTypeJpeg, kSizeLarge, 0, {}})[""], 1u);
    EXPECT_EQ(Walk({kTypeJpeg | kTypePng, kSizeMiddle | kSizeLarge, 0, {}})[""], 7u);
    EXPECT_EQ(Walk({kTypePng, kSizeMiddle, 0, {}})[""], 1u);
    // Written 25 hours ago: outside one day, inside two.
    EXPECT_EQ(Walk({kTypeJpeg, kSizeMiddle | kSizeLarge, 1, {}})[""], 5u);
    EXPECT_EQ(Walk({kTypeJpeg, kSizeMiddle | kSizeLarge, 2, {}})[""], 6u);
}

TEST_F(FolderWalkTest, OddNamesKeepTheirExactPathsAndLinksToFoldersAreNotFollowed) {
    const auto counts = Walk(kStartPictureFilter);
    EXPECT_EQ(counts.count(kOddName), 1u);
    for (const auto& [path, count] : counts) {
        EXPECT_EQ(path.find("loop"), std::string::npos) << path;
        EXPECT_EQ(path.find("up/"), std::string::npos) << path;
    }
}

TEST_F(FolderWalkTest, StoppingEndsTheWalkButReportsTheFoldersItWasIn) {
    FolderWalkHooks hooks;
    std::vector<std::string> reported;
    int entries = 0;
    hooks.beforeEntry = [&] { ++entries; };
    hooks.stopped = [&] { return entries >= 2; };
    hooks.report = [&](std::u16string path, unsigned) { reported.push_back(Utf8(path)); };
    WalkFolder(tree_.Stored(), kStartPictureFilter, hooks);
    EXPECT_LE(entries, 2 + 2);
    ASSERT_FALSE(reported.empty());
    EXPECT_EQ(reported.back(), tree_.Native());
}

TEST(FolderWalk, AFolderThatCannotBeListedCountsZeroAndIsNotReported) {
    FolderWalkHooks hooks;
    bool reported = false;
    hooks.report = [&](std::u16string, unsigned) { reported = true; };
    EXPECT_EQ(WalkFolder(u"/no/such/folder/", kStartPictureFilter, hooks), 0u);
    EXPECT_EQ(WalkFolder(u"%nosuchtoken%", kStartPictureFilter, hooks), 0u);
    EXPECT_FALSE(reported);
}

// /dev is small and holds other file systems' mounts (devpts, shm): the walk stays out of
// them, as a chosen "/" stays out of /proc and /sys.
TEST(FolderWalk, PseudoFileSystemsMountedInsideAreNotEntered) {
    std::ifstream table("/proc/self/mounts");
    std::set<std::string> inside;
    std::string line;
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string device, point;
        fields >> device >> point;
        if (point.starts_with("/dev/")) {
            inside.insert(point + "/");
        }
    }
    if (inside.empty()) {
        GTEST_SKIP() << "no file system is mounted inside /dev here";
    }
    FolderWalkHooks hooks;
    std::vector<std::string> reported;
    hooks.report = [&](std::u16string path, unsigned) { reported.push_back(Utf8(path)); };
    WalkFolder(u"/dev/", kStartPictureFilter, hooks);
    ASSERT_FALSE(reported.empty());
    EXPECT_EQ(reported.back(), "/dev/");
    for (const std::string& path : reported) {
        for (const std::string& mount : inside) {
            EXPECT_FALSE(path.starts_with(mount)) << path << " lies in the mount " << mount;
        }
    }
}

}  // namespace
}  // namespace tavopix::test
