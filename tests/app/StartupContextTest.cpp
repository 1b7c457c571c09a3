// Start-up's context for a given program folder: the escaped cursor styles and error picture,
// the user's folders and the thumbnail cache folder.
#include "app/AppContextSetup.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "app/AppContext.h"
#include "app/TextConvert.h"
#include "platform/ScratchFolder.h"

namespace tavopix {
namespace {

using test::ScratchFolder;

// Sets an environment variable (null: removes it) until the end of the scope.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedVariable() {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

class StartupContextTest : public ::testing::Test {
protected:
    void TearDown() override { appContext = AppContext{}; }

    ScratchFolder folder_;
};

TEST_F(StartupContextTest, NonAsciiProgramFolderIsEscapedInStylesAndPictures) {
    const std::string base = folder_.Path();
    std::filesystem::create_directories(base + "相册");
    ResolveAppContext(FromUtf8(base + "相册/"));

    const std::u16string escaped = FromUtf8(base) + u"%E7%9B%B8%E5%86%8C/";
    EXPECT_EQ(appContext.programDir, FromUtf8(base + "相册/"));
    EXPECT_EQ(appContext.prevCursorStyle, u"url(" + escaped + u"skin/res/view_prev.ani)");
    EXPECT_EQ(appContext.nextCursorStyle, u"url(" + escaped + u"skin/res/view_next.ani)");
    EXPECT_EQ(appContext.errorImagePath, escaped + u"skin/res/error_img.jpg");
    // Folder values keep their own text: only what goes into a page is escaped.
    EXPECT_EQ(appContext.iconCacheDir, FromUtf8(base + "相册/iconsdb/"));
    EXPECT_TRUE(std::filesystem::is_directory(base + "相册/iconsdb"));
}

TEST_F(StartupContextTest, ExistingCacheFolderIsUsedAsItIs) {
    std::filesystem::create_directories(folder_.Path("iconsdb"));
    folder_.Write("iconsdb/0000000100020003.jpg", "thumb");
    ResolveAppContext(FromUtf8(folder_.Path()));
    EXPECT_EQ(appContext.iconCacheDir, FromUtf8(folder_.Path("iconsdb/")));
    EXPECT_EQ(folder_.Read("iconsdb/0000000100020003.jpg"), "thumb");
}

TEST_F(StartupContextTest, CacheFolderThatCannotBeMadeFallsBackToTheCurrentFolder) {
    ResolveAppContext(FromUtf8(folder_.Path("missing/")));
    EXPECT_EQ(appContext.iconCacheDir, u"./");
}

// A plain file where the cache folder should be cannot hold thumbnails.
TEST_F(StartupContextTest, FileInPlaceOfTheCacheFolderFallsBackToTheCurrentFolder) {
    folder_.Write("iconsdb", "not a folder");
    ResolveAppContext(FromUtf8(folder_.Path()));
    EXPECT_EQ(appContext.iconCacheDir, u"./");
    EXPECT_EQ(folder_.Read("iconsdb"), "not a folder");
}

TEST_F(StartupContextTest, UserFoldersEndWithTheSeparator) {
    const std::string home = folder_.Path("home");
    ScopedVariable homeVariable("HOME", home.c_str());
    ScopedVariable config("XDG_CONFIG_HOME", (home + "/.config").c_str());
    ResolveAppContext(FromUtf8(folder_.Path()));
    EXPECT_EQ(appContext.desktopDir, FromUtf8(home + "/Desktop/"));
    EXPECT_EQ(appContext.myDocumentsDir, FromUtf8(home + "/Documents/"));
    EXPECT_EQ(appContext.myPicturesDir, FromUtf8(home + "/Pictures/"));
}

}  // namespace
}  // namespace tavopix
