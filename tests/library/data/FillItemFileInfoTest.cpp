#include "library/data/FillItemFileInfo.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "app/AppContext.h"
#include "library/LibraryFiles.h"

namespace tavopix {
namespace {

using test::TempFolder;
using test::WriteBytes;

// Sets the file's last-write time to `seconds` and `nanoseconds` after 1970.
void SetWriteTime(const std::string& path, time_t seconds, long nanoseconds) {
    const timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

class FillItemFileInfoTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = appContext.myPicturesDir;
        appContext.myPicturesDir = folder_.Folder();
    }
    void TearDown() override { appContext.myPicturesDir = saved_; }

    TempFolder folder_;
    std::u16string saved_;
};

TEST_F(FillItemFileInfoTest, ReadsNameSizeAndHighHalfOfTheWriteTime) {
    WriteBytes(folder_.Native("\xE6\x97\x85.jpg"), std::string(1234, 'x'));
    // 2008-03-02 08:05:09 UTC is file time 0x01C87C3C_21FA6880.
    SetWriteTime(folder_.Native("\xE6\x97\x85.jpg"), 1204445109, 0);
    PictureItem item;
    item.path = u"%mypic%\u65C5.jpg";
    ASSERT_TRUE(FillItemFileInfo(item));
    EXPECT_EQ(item.name, u"\u65C5.jpg");
    EXPECT_EQ(item.size, 1234u);
    EXPECT_EQ(item.time, 0x01C87C3Cu);
}

TEST_F(FillItemFileInfoTest, MissingFileKeepsSizeAndTimeButGetsItsName) {
    PictureItem item;
    item.path = folder_.File("gone.jpg");
    item.size = 7;
    item.time = 9;
    EXPECT_FALSE(FillItemFileInfo(item));
    EXPECT_EQ(item.name, u"gone.jpg");
    EXPECT_EQ(item.size, 7u);
    EXPECT_EQ(item.time, 9u);
}

TEST_F(FillItemFileInfoTest, UnexpandablePathIsNamedFromTheStoredPath) {
    PictureItem item;
    item.path = u"%temp%dir/x.jpg";
    EXPECT_FALSE(FillItemFileInfo(item));
    EXPECT_EQ(item.name, u"x.jpg");
}

}  // namespace
}  // namespace tavopix
