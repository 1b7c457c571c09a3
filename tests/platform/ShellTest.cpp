#include "platform/Shell.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>

#include "platform/Clock.h"
#include "platform/FakeDesktop.h"
#include "platform/FileSystem.h"
#include "platform/LastError.h"
#include "platform/ScratchFolder.h"

namespace tavopix {
namespace {

using test::AwaitFile;
using test::FakeProgram;
using test::PathVariable;
using test::ScratchFolder;

TEST(LaunchDetached, PassesArgumentsWithoutAShellSeeingThem) {
    ScratchFolder folder;
    std::string tricky = "$(touch injected); `touch injected` 'q\" * ; a b";
    ASSERT_TRUE(LaunchDetached({"/bin/sh", "-c", "printf '%s' \"$1\" > \"$2\"; : > \"$2.done\"",
                                "sh", tricky, folder.Path("out")}));
    EXPECT_EQ(AwaitFile(folder, "out"), tricky);
    EXPECT_FALSE(PathExists(folder.Path("injected")));
}

TEST(LaunchDetached, ReturnsWhileTheProgramRunsOn) {
    ScratchFolder folder;
    ASSERT_TRUE(LaunchDetached({"sh", "-c", "sleep 2; : > \"$1\"", "sh", folder.Path("late")}));
    EXPECT_FALSE(PathExists(folder.Path("late")));
}

TEST(LaunchDetached, RunsInItsOwnSessionWithoutOurDescriptors) {
    ScratchFolder folder;
    int leaked = ::open(folder.Write("open", "").c_str(), O_RDONLY);  // no close-on-exec
    ASSERT_GE(leaked, 0);
    ASSERT_GE(::dup2(leaked, 100), 0);
    ASSERT_TRUE(LaunchDetached({"/bin/sh", "-c",
                                "cat /proc/self/stat > \"$1/stat\"; ls /proc/$$/fd > \"$1/fds\"; "
                                ": > \"$1/fds.done\"",
                                "sh", folder.Path()},
                               folder.Path()));
    std::string descriptors = AwaitFile(folder, "fds");
    ::close(leaked);
    ::close(100);
    std::istringstream lines(descriptors);
    std::string line;
    while (std::getline(lines, line)) {
        // The shell holds a few of its own (it saves redirected ones above 9).
        EXPECT_NE(std::stoi(line), leaked);
        EXPECT_NE(std::stoi(line), 100);
    }
    std::string stat = folder.Read("stat");
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string state;
    long parent = 0, group = 0, session = 0;
    fields >> state >> parent >> group >> session;
    EXPECT_NE(session, static_cast<long>(::getsid(0)));
    EXPECT_NE(parent, static_cast<long>(::getpid()));
}

TEST(LaunchDetached, StartsInTheGivenFolder) {
    ScratchFolder folder;
    FakeProgram(folder, "fake", 0, "out");
    ASSERT_TRUE(LaunchDetached({folder.Path("fake"), "x"}, folder.Path()));
    EXPECT_EQ(AwaitFile(folder, "out"),
              folder.Path().substr(0, folder.Path().size() - 1) + "\nx\n");
}

TEST(LaunchDetached, ReportsProgramsThatCannotStart) {
    ScratchFolder folder;
    EXPECT_FALSE(LaunchDetached({}));
    EXPECT_FALSE(LaunchDetached({"tavopix-no-such-program"}));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    folder.Write("not-executable", "#!/bin/sh\n");
    EXPECT_FALSE(LaunchDetached({folder.Path("not-executable")}));
    folder.Write("bad-interpreter", "#!/no/such/interpreter\n");
    ::chmod(folder.Path("bad-interpreter").c_str(), 0755);
    EXPECT_FALSE(LaunchDetached({folder.Path("bad-interpreter")}));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST(ShellOpen, HandsTheTargetToTheDesktopOpener) {
    ScratchFolder folder;
    FakeProgram(folder, "xdg-open", 0, "opened");
    PathVariable path(folder.Path());
    ASSERT_TRUE(ShellOpen("https://example.test/a b?c=1&d='2'", folder.Path()));
    EXPECT_EQ(AwaitFile(folder, "opened"), folder.Path().substr(0, folder.Path().size() - 1) +
                                               "\nhttps://example.test/a b?c=1&d='2'\n");
}

TEST(ShowInFolder, AsksTheFileManagerOverDBus) {
    ScratchFolder folder;
    FakeProgram(folder, "gdbus", 0, "called");
    FakeProgram(folder, "xdg-open", 0, "opened");
    PathVariable path(folder.Path());
    ASSERT_TRUE(ShowInFolder("/photos/Trip, 2008/a \"b\" 相.jpg"));
    std::string call = AwaitFile(folder, "called");
    EXPECT_NE(call.find("\norg.freedesktop.FileManager1.ShowItems\n"
                        "[\"file:///photos/Trip%2C%202008/a%20%22b%22%20%E7%9B%B8.jpg\"]\n\n"),
              std::string::npos)
        << call;
    EXPECT_FALSE(PathExists(folder.Path("opened")));
}

TEST(ShowInFolder, UsesDBusSendWhenThatIsWhatIsInstalled) {
    ScratchFolder folder;
    FakeProgram(folder, "dbus-send", 0, "called");
    PathVariable path(folder.Path());
    ASSERT_TRUE(ShowInFolder("/photos/a,b.jpg"));
    std::string call = AwaitFile(folder, "called");
    EXPECT_NE(call.find("\narray:string:file:///photos/a%2Cb.jpg\nstring:\n"), std::string::npos)
        << call;
}

TEST(ShowInFolder, OpensTheFolderWhenNoFileManagerAnswers) {
    ScratchFolder folder;
    FakeProgram(folder, "gdbus", 1, "called");
    FakeProgram(folder, "xdg-open", 0, "opened");
    PathVariable path(folder.Path());
    ASSERT_TRUE(ShowInFolder("/photos/Trip/a.jpg"));
    std::string opened = AwaitFile(folder, "opened");
    EXPECT_NE(opened.find("\n/photos/Trip/\n"), std::string::npos) << opened;
}

}  // namespace
}  // namespace tavopix
