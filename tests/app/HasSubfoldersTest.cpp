#include "app/HasSubfolders.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "app/AppContext.h"
#include "app/TextConvert.h"
#include "platform/ScratchFolder.h"

namespace tavopix {
namespace {

TEST(HasSubfolders, CountsFoldersOnly) {
    test::ScratchFolder folder;
    std::filesystem::create_directories(folder.Path("files"));
    folder.Write("files/a.jpg", "");
    folder.Write("files/.hidden", "");
    EXPECT_FALSE(HasSubfolders(FromUtf8(folder.Path("files/"))));
    EXPECT_FALSE(HasSubfolders(FromUtf8(folder.Path("files"))));

    std::filesystem::create_directories(folder.Path("tree/sub"));
    EXPECT_TRUE(HasSubfolders(FromUtf8(folder.Path("tree/"))));
    std::filesystem::create_directory_symlink(folder.Path("tree"), folder.Path("files/link"));
    EXPECT_TRUE(HasSubfolders(FromUtf8(folder.Path("files/"))));
}

TEST(HasSubfolders, ExpandsTokensAndFailsQuietly) {
    test::ScratchFolder folder;
    std::filesystem::create_directories(folder.Path("pictures/2008"));
    appContext.myPicturesDir = FromUtf8(folder.Path("pictures/"));
    EXPECT_TRUE(HasSubfolders(u"%mypic%"));
    EXPECT_FALSE(HasSubfolders(u"%mypic%2008/"));
    EXPECT_FALSE(HasSubfolders(u"%temp%/"));
    EXPECT_FALSE(HasSubfolders(FromUtf8(folder.Path("missing/"))));
    EXPECT_FALSE(HasSubfolders(u""));
    appContext = AppContext();
}

}  // namespace
}  // namespace tavopix
