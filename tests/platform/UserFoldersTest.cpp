#include "platform/UserFolders.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "platform/FileSystem.h"
#include "platform/ScratchFolder.h"

namespace tavopix {
namespace {

using test::ScratchFolder;

// Sets or clears an environment variable for one test and restores it afterwards.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        if (value != nullptr) {
            ::setenv(name, value, 1);
        } else {
            ::unsetenv(name);
        }
    }
    ~ScopedVariable() {
        if (old_) {
            ::setenv(name_, old_->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

class UserFoldersTest : public ::testing::Test {
protected:
    ScratchFolder home;
    std::string homePath = home.Path().substr(0, home.Path().size() - 1);
    ScopedVariable homeVariable{"HOME", homePath.c_str()};
    ScopedVariable configVariable{"XDG_CONFIG_HOME", nullptr};
};

TEST_F(UserFoldersTest, CustomaryFoldersWithoutConfiguration) {
    EXPECT_EQ(GetSpecialFolder(SpecialFolder::Desktop), homePath + "/Desktop/");
    EXPECT_EQ(GetSpecialFolder(SpecialFolder::Documents), homePath + "/Documents/");
    EXPECT_EQ(GetSpecialFolder(SpecialFolder::Pictures), homePath + "/Pictures/");
}

TEST_F(UserFoldersTest, ReadsTheUserFolderSettings) {
    std::filesystem::create_directory(home.Path(".config"));
    home.Write(".config/user-dirs.dirs",
               "# written by the desktop\n"
               "XDG_DESKTOP_DIR=\"$HOME/桌面\"\n"
               "  XDG_DOCUMENTS_DIR=\"/data/my \\\"docs\\\"\"\n"
               "XDG_PICTURES_DIR=\"$HOME\"\n"
               "XDG_PICTURES_DIRX=\"$HOME/wrong\"\n");
    EXPECT_EQ(GetSpecialFolder(SpecialFolder::Desktop), homePath + "/桌面/");
    EXPECT_EQ(GetSpecialFolder(SpecialFolder::Documents), "/data/my \"docs\"/");
    EXPECT_EQ(GetSpecialFolder(SpecialFolder::Pictures), homePath + "/");
}

TEST_F(UserFoldersTest, IgnoresEntriesTheDesktopIgnores) {
    std::filesystem::create_directory(home.Path(".config"));
    home.Write(".config/user-dirs.dirs",
               "XDG_DESKTOP_DIR=relative/path\n"
               "XDG_DOCUMENTS_DIR=\"relative\"\n"
               "XDG_PICTURES_DIR=\"$HOMEX/unterminated\n");
    EXPECT_EQ(GetSpecialFolder(SpecialFolder::Desktop), homePath + "/Desktop/");
    EXPECT_EQ(GetSpecialFolder(SpecialFolder::Documents), homePath + "/Documents/");
    EXPECT_EQ(GetSpecialFolder(SpecialFolder::Pictures), homePath + "/Pictures/");
}

TEST_F(UserFoldersTest, ConfigurationFolderVariableIsHonoured) {
    std::filesystem::create_directory(home.Path("elsewhere"));
    home.Write("elsewhere/user-dirs.dirs", "XDG_PICTURES_DIR=\"$HOME/Bilder/\"\n");
    ScopedVariable config("XDG_CONFIG_HOME", home.Path("elsewhere").c_str());
    EXPECT_EQ(GetSpecialFolder(SpecialFolder::Pictures), homePath + "/Bilder/");
}

TEST(UserFolders, ProgramDirectoryHoldsTheProgram) {
    std::string folder = ProgramDirectory();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_TRUE(PathExists(folder + program_invocation_short_name));
}

}  // namespace
}  // namespace tavopix
