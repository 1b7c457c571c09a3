#include <gtest/gtest.h>

#include "update/CompareVersions.h"
#include "update/ParseVersionLine.h"

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

}  // namespace
}  // namespace tavopix
