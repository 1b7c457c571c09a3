#include "sdk/internal/DownloadName.h"

#include <gtest/gtest.h>

namespace tavopix::sdk {
namespace {

TEST(DownloadNameTest, TheServicesNameWins) {
    EXPECT_EQ(DownloadFileName(R"( attachment; filename="tavopix-0.1.2.0.tar.gz")",
                               "http://h/tavopix/packages/other.bin"),
              "tavopix-0.1.2.0.tar.gz");
    EXPECT_EQ(DownloadFileName(" attachment; filename=plain.zip; size=3", "http://h/x"),
              "plain.zip");
    EXPECT_EQ(DownloadFileName(R"( attachment; filename="a \"quoted\" name")", "http://h/x"),
              "a \"quoted\" name");
}

TEST(DownloadNameTest, WithoutOneTheAddressNamesTheFile) {
    EXPECT_EQ(DownloadFileName("", "http://h/tavopix/update.dat?x=1#y"), "update.dat");
    EXPECT_EQ(DownloadFileName("", "http://h/p/%E7%9B%B8%E5%86%8C.zip"), "相册.zip");
    EXPECT_EQ(DownloadFileName("", "http://h/"), std::nullopt);
    EXPECT_EQ(DownloadFileName("", "http://h"), std::nullopt);
}

TEST(DownloadNameTest, HostileNamesNeverLeaveTheFolder) {
    EXPECT_EQ(DownloadFileName(R"(attachment; filename="../../evil.sh")", "http://h/x"), "evil.sh");
    EXPECT_EQ(DownloadFileName(R"(attachment; filename="/etc/passwd")", "http://h/x"), "passwd");
    EXPECT_EQ(DownloadFileName(R"(attachment; filename=..\..\win.ini)", "http://h/x"), "win.ini");
    // Inside quotes a backslash escapes the next character, so no separator is left.
    EXPECT_EQ(DownloadFileName(R"(attachment; filename="..\..\win.ini")", "http://h/x"),
              "....win.ini");
    EXPECT_EQ(DownloadFileName("", "http://h/a/..%2F..%2Fescape.txt"), "escape.txt");
    EXPECT_EQ(DownloadFileName(R"(attachment; filename="..")", "http://h/x"), std::nullopt);
    EXPECT_EQ(DownloadFileName(R"(attachment; filename="dir/")", "http://h/x"), std::nullopt);
    EXPECT_EQ(DownloadFileName("attachment; filename=\"bad\x01name\"", "http://h/x"), std::nullopt);
    EXPECT_EQ(DownloadFileName("", "http://h/a%00b"), std::nullopt);
    EXPECT_EQ(DownloadFileName("", "http://h/%2E%2E"), std::nullopt);
    EXPECT_EQ(SafeFileName(std::string(256, 'a')), std::nullopt);
    EXPECT_EQ(SafeFileName(std::string(255, 'a')), std::string(255, 'a'));
    EXPECT_EQ(SafeFileName("."), std::nullopt);
}

}  // namespace
}  // namespace tavopix::sdk
