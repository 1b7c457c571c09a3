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

// A program folder that cannot hold the cache (missing, or a plain file in the way) sends it to
// the user's own cache folder, never to the working folder, which the interface would serve.
TEST_F(StartupContextTest, CacheFolderThatCannotBeMadeGoesToTheUsersCacheFolder) {
    const std::string cache = folder_.Path("home/.cache");
    ScopedVariable cacheVariable("XDG_CACHE_HOME", cache.c_str());
    ResolveAppContext(FromUtf8(folder_.Path("missing/")));
    EXPECT_EQ(appContext.iconCacheDir, FromUtf8(cache + "/tavopix/iconsdb/"));
    EXPECT_TRUE(std::filesystem::is_directory(cache + "/tavopix/iconsdb"));
    EXPECT_EQ(std::filesystem::status(cache + "/tavopix").permissions(),
              std::filesystem::perms::owner_all);

    folder_.Write("iconsdb", "not a folder");
    ResolveAppContext(FromUtf8(folder_.Path()));
    EXPECT_EQ(appContext.iconCacheDir, FromUtf8(cache + "/tavopix/iconsdb/"));
    EXPECT_EQ(folder_.Read("iconsdb"), "not a folder");

    // Without a usable cache folder either: a private folder of its own, still not "./".
    folder_.Write("home/plain", "a file");
    ScopedVariable blocked("XDG_CACHE_HOME", folder_.Path("home/plain").c_str());
    ResolveAppContext(FromUtf8(folder_.Path()));
    const std::string own = Utf8(appContext.iconCacheDir);
    EXPECT_EQ(own.front(), '/');
    EXPECT_TRUE(std::filesystem::is_directory(own));
    std::filesystem::remove_all(own);
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
