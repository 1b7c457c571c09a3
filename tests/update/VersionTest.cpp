#include <gtest/gtest.h>

#include <string>

#include "platform/ScratchFolder.h"
#include "platform/Utf8.h"
#include "update/CompareVersions.h"
#include "update/PackageAddress.h"
#include "update/ParseVersionLine.h"
#include "update/VersionFile.h"

namespace tavopix {
namespace {

TEST(CompareVersions, ComponentsCompareAsNumbers) {
    EXPECT_EQ(CompareVersions(u"0.1.1", u"0.1.1.0"), 0);
    EXPECT_EQ(CompareVersions(u"0.1.1.0", u"0.1.1"), 0);
    EXPECT_GT(CompareVersions(u"0.1.10", u"0.1.9"), 0);
    EXPECT_LT(CompareVersions(u"0.1.9", u"0.1.10"), 0);
    EXPECT_GT(CompareVersions(u"0.1.1.1", u"0.1.1.0"), 0);
    EXPECT_GT(CompareVersions(u"1", u"0.9.9.9"), 0);
    EXPECT_EQ(CompareVersions(u"", u"0.0"), 0);
}

TEST(CompareVersions, ComponentsReadTheNumberAtTheirStart) {
    EXPECT_EQ(CompareVersions(u" 1. +2.3beta", u"1.2.3"), 0);
    EXPECT_EQ(CompareVersions(u"x.y", u"0.0"), 0);
    EXPECT_LT(CompareVersions(u"-1", u"0"), 0);
    EXPECT_EQ(CompareVersions(u"1..2", u"1.0.2"), 0);
    // Numbers beyond any real version neither overflow nor wrap to negative.
    EXPECT_GT(CompareVersions(u"99999999999999999999999", u"1"), 0);
    EXPECT_LT(CompareVersions(u"-99999999999999999999999", u"0"), 0);
}

TEST(ParseVersionLine, NewerVersionWithItsPackage) {
    const VersionLine line =
        ParseVersionLine(u"version 0.1.1.1 \"http://127.0.0.1/pkg/Tavopix Setup.exe\"");
    EXPECT_TRUE(line.newer);
    EXPECT_EQ(line.version, u"0.1.1.1");
    EXPECT_EQ(line.address, u"http://127.0.0.1/pkg/Tavopix Setup.exe");

    const VersionLine tabs = ParseVersionLine(u"\tversion\t0.2\thttp://h/p.exe  trailing");
    EXPECT_TRUE(tabs.newer);
    EXPECT_EQ(tabs.version, u"0.2");
    EXPECT_EQ(tabs.address, u"http://h/p.exe");
}

TEST(ParseVersionLine, AnythingElseIsNotNewer) {
    EXPECT_FALSE(ParseVersionLine(u"version 0.1.1.0 http://h/p.exe").newer);
    EXPECT_FALSE(ParseVersionLine(u"version 0.1.1 http://h/p.exe").newer);
    EXPECT_FALSE(ParseVersionLine(u"version 0.1.0.9 http://h/p.exe").newer);
    EXPECT_FALSE(ParseVersionLine(u"Version 0.1.1.1 http://h/p.exe").newer);
    EXPECT_FALSE(ParseVersionLine(u"version 0.1.1.1").newer);
    EXPECT_FALSE(ParseVersionLine(u"version 0.1.1.1 \"\"").newer);
    EXPECT_FALSE(ParseVersionLine(u"version").newer);
    EXPECT_FALSE(ParseVersionLine(u"").newer);
    const VersionLine notNewer = ParseVersionLine(u"version 0.1.1.0 http://h/p.exe");
    EXPECT_TRUE(notNewer.version.empty());
    EXPECT_TRUE(notNewer.address.empty());
}

// Version files as the service stores them: UTF-16LE with or without the mark, CR LF lines.
TEST(VersionFile, FirstNonEmptyLineOfRealFiles) {
    test::ScratchFolder folder;
    const auto file = [&](std::u16string_view text, bool mark) {
        std::string bytes = mark ? std::string("\xFF\xFE") : std::string();
        for (const char16_t unit : text) {
            bytes += static_cast<char>(unit & 0xFF);
            bytes += static_cast<char>(unit >> 8);
        }
        return Utf8ToUtf16(folder.Write("version.txt", bytes));
    };
    struct Case {
        std::u16string_view text;
        bool mark;
        bool newer;
        std::u16string_view version;
    };
    const Case cases[] = {
        {u"version 0.1.1.1 http://127.0.0.1/p.tar.gz\r\n", true, true, u"0.1.1.1"},
        {u"version 0.1.10 http://127.0.0.1/p.tar.gz\r\n", false, true, u"0.1.10"},
        {u"\r\n\r\n\nversion 0.1.1.1 /tavopix/p.tar.gz\r\nversion 9 x\r\n", true, true, u"0.1.1.1"},
        {u"version 0.1.1 http://127.0.0.1/p.tar.gz\r\n", true, false, u""},
        {u"version 0.1.1.0 http://127.0.0.1/p.tar.gz\r\n", false, false, u""},
        {u"Version 0.1.1.1 http://127.0.0.1/p.tar.gz\r\n", true, false, u""},
        {u"version 0.1.1.1\r\n", true, false, u""},
        {u"version 0.1.1.1 http://127.0.0.1/p.tar.gz", true, false, u""},  // no complete line
    };
    for (const Case& c : cases) {
        const VersionLine line = ParseVersionLine(ReadFirstVersionLine(file(c.text, c.mark)));
        EXPECT_EQ(line.newer, c.newer) << Utf16ToUtf8(c.text);
        EXPECT_EQ(line.version, c.version) << Utf16ToUtf8(c.text);
    }
    EXPECT_EQ(ReadFirstVersionLine(Utf8ToUtf16(folder.Path("missing.txt"))), u"");
}

TEST(PackageAddress, OnlyHttpsOrThisMachinesLoopback) {
    const std::u16string_view local = u"http://127.0.0.1:8765/";
    const std::u16string_view remote = u"http://albums.example/";
    for (const std::u16string_view trusted :
         {u"https://albums.example/p.tar.gz", u"HTTPS://albums.example/p.tar.gz",
          u"http://127.0.0.1:8765/tavopix/packages/p.tar.gz", u"http://localhost/p.tar.gz",
          u"http://[::1]:80/p.tar.gz", u"http://127.1.2.3/p.tar.gz"})
        EXPECT_TRUE(IsTrustedPackageAddress(trusted, remote)) << Utf16ToUtf8(trusted);
    EXPECT_TRUE(IsTrustedPackageAddress(u"/tavopix/packages/p.tar.gz", local));
    EXPECT_TRUE(IsTrustedPackageAddress(u"/p.tar.gz", u"https://albums.example/"));
    for (const std::u16string_view refused :
         {u"http://albums.example/p.tar.gz", u"/tavopix/packages/p.tar.gz", u"//127.0.0.1/p.tar.gz",
          u"http://127.0.0.1.evil.example/p", u"http://127.0.0.1@evil/p",
          u"http://user@127.0.0.1/p", u"http://127.0.0.1\\@evil/p", u"ftp://127.0.0.1/p",
          u"file:///tmp/p.tar.gz", u"p.tar.gz", u"https://", u"http://127.0.0.1 /p"})
        EXPECT_FALSE(IsTrustedPackageAddress(refused, remote)) << Utf16ToUtf8(refused);
}

}  // namespace
}  // namespace tavopix
