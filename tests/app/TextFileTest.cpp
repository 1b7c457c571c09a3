#include "app/TextFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <vector>

#include "app/TextConvert.h"
#include "platform/ScratchFolder.h"

namespace tavopix {
namespace {

using test::ScratchFolder;

std::string Bytes(std::initializer_list<int> values) {
    std::string bytes;
    for (int value : values) {
        bytes += static_cast<char>(value);
    }
    return bytes;
}

TEST(TextFile, WritesTheMarkThenLittleEndianUnits) {
    ScratchFolder folder;
    ASSERT_TRUE(WriteTextFile(FromUtf8(folder.Path("empty.dat")), u""));
    EXPECT_EQ(folder.Read("empty.dat"), Bytes({0xFF, 0xFE}));

    ASSERT_TRUE(WriteTextFile(FromUtf8(folder.Path("text.dat")), u"a\r\n桌😀"));
    EXPECT_EQ(folder.Read("text.dat"),
              Bytes({0xFF, 0xFE, 'a', 0, '\r', 0, '\n', 0, 0x4C, 0x68, 0x3D, 0xD8, 0x00, 0xDE}));
}

TEST(TextFile, PrivateFilesAreForTheOwnerOnly) {
    ScratchFolder folder;
    std::u16string path = FromUtf8(folder.Path("UserInfo.dat"));
    ASSERT_TRUE(WriteTextFile(path, u"ticket", FileAccess::Private));
    struct stat info {};
    ASSERT_EQ(::stat(folder.Path("UserInfo.dat").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST(TextFile, ReadsWhatItWroteUnderANonAsciiName) {
    ScratchFolder folder;
    std::u16string path = FromUtf8(folder.Path("相册 设置.dat"));
    std::u16string text = u"version 0.1.2 \"C:/照片/a b.jpg\"\r\n😀\r\n";
    ASSERT_TRUE(WriteTextFile(path, text));
    std::u16string read;
    ASSERT_TRUE(ReadTextFile(path, read));
    EXPECT_EQ(read, text);
}

TEST(TextFile, ReadingIsLenientAboutTheMarkAndOddBytes) {
    ScratchFolder folder;
    struct Case {
        std::string bytes;
        std::u16string text;
    };
    std::vector<Case> cases = {
        {Bytes({0xFF, 0xFE, 'a', 0, 'b', 0}), u"ab"},
        {Bytes({'a', 0, 'b', 0}), u"ab"},                       // no mark
        {Bytes({0xFF, 0xFE, 'a', 0, 'b'}), u"a"},               // trailing odd byte
        {Bytes({0xFF, 0xFE}), u""},                             // the mark alone
        {Bytes({0xFF}), u""},                                   // one byte: no unit at all
        {Bytes({0xFF, 0xFE, 0xFF, 0xFE, 'x', 0}), u"\xFEFFx"},  // only one mark is dropped
        {Bytes({0xFE, 0xFF, 0, 'a'}), u"\xFFFE\x6100"},         // big-endian is not understood
    };
    for (const Case& c : cases) {
        std::u16string read = u"old";
        ASSERT_TRUE(ReadTextFile(FromUtf8(folder.Write("f", c.bytes)), read));
        EXPECT_EQ(read, c.text);
    }
}

TEST(TextFile, UnreadableFilesLeaveTheTextAsItWas) {
    ScratchFolder folder;
    std::u16string read = u"old";
    EXPECT_FALSE(ReadTextFile(FromUtf8(folder.Write("empty", "")), read));
    EXPECT_FALSE(ReadTextFile(FromUtf8(folder.Path("missing")), read));
    EXPECT_FALSE(ReadTextFile(FromUtf8(folder.Path()), read));
    EXPECT_FALSE(ReadTextFile(u"", read));
    EXPECT_EQ(read, u"old");
}

TEST(TextFile, FailedWriteKeepsTheOldFile) {
    ScratchFolder folder;
    EXPECT_FALSE(WriteTextFile(FromUtf8(folder.Path("missing/f.dat")), u"x"));
    EXPECT_FALSE(WriteTextFile(u"", u"x"));
    std::u16string path = FromUtf8(folder.Path("f.dat"));
    ASSERT_TRUE(WriteTextFile(path, u"kept"));
    ::chmod(folder.Path().c_str(), 0500);
    bool written = WriteTextFile(path, u"new");
    ::chmod(folder.Path().c_str(), 0700);
    std::u16string read;
    ASSERT_TRUE(ReadTextFile(path, read));
    EXPECT_EQ(read, written ? u"new" : u"kept");  // the superuser may write anyway
}

std::vector<std::u16string> Lines(std::u16string_view text) {
    std::vector<std::u16string> lines;
    std::u16string line;
    for (int at = 0; (at = ReadLine(text, line, at)) != -1;) {
        lines.push_back(line);
    }
    return lines;
}

TEST(ReadLine, TextAfterTheLastLineFeedIsNoLine) {
    EXPECT_EQ(Lines(u"a\r\nb"), std::vector<std::u16string>{u"a"});
    EXPECT_EQ(Lines(u"a\nb\n"), (std::vector<std::u16string>{u"a", u"b"}));
    EXPECT_TRUE(Lines(u"no line feed").empty());
    EXPECT_TRUE(Lines(u"").empty());
}

TEST(ReadLine, EmptyAndCarriageReturnOnlyLinesAreSkipped) {
    EXPECT_EQ(Lines(u"\r\nfirst\r\n\r\n\n\r\r\nsecond\r\r\n"),
              (std::vector<std::u16string>{u"first", u"second"}));
    EXPECT_EQ(Lines(u"a\rb\r\n"), std::vector<std::u16string>{u"a\rb"});
}

TEST(ReadLine, ReturnsTheIndexAfterTheLineFeed) {
    std::u16string line = u"untouched";
    EXPECT_EQ(ReadLine(u"ab\r\ncd\n", line, 0), 4);
    EXPECT_EQ(line, u"ab");
    EXPECT_EQ(ReadLine(u"ab\r\ncd\n", line, 4), 7);
    EXPECT_EQ(line, u"cd");
    line = u"untouched";
    EXPECT_EQ(ReadLine(u"ab\r\ncd\n", line, 7), -1);
    EXPECT_EQ(ReadLine(u"ab\r\ncd\n", line, 100), -1);
    EXPECT_EQ(ReadLine(u"ab\r\ncd\n", line, -5), -1);
    EXPECT_EQ(ReadLine(u"\r\n\r\n", line, 0), -1);
    EXPECT_EQ(line, u"untouched");
}

std::vector<std::u16string> Tokens(std::u16string_view text) {
    std::vector<std::u16string> tokens;
    std::u16string token;
    for (int at = 0; (at = ReadToken(text, token, at)) != -1;) {
        tokens.push_back(token);
    }
    return tokens;
}

TEST(ReadToken, SplitsAtBlanksAndKeepsQuotedTextWhole) {
    EXPECT_EQ(Tokens(u"version 0.1.2 \"/opt/my pictures/new.bin\""),
              (std::vector<std::u16string>{u"version", u"0.1.2", u"/opt/my pictures/new.bin"}));
    EXPECT_EQ(Tokens(u"\t a\x01\x1F"
                     u"b\r\n\"c d\"e \"unterminated f"),
              (std::vector<std::u16string>{u"a", u"b", u"c d", u"e", u"unterminated f"}));
    EXPECT_EQ(Tokens(u"!\x21"), std::vector<std::u16string>{u"!!"});
}

TEST(ReadToken, EmptyQuotesEndTheTokens) {
    EXPECT_TRUE(Tokens(u"\"\"").empty());
    EXPECT_EQ(Tokens(u"a \"\" b"), std::vector<std::u16string>{u"a"});
    EXPECT_TRUE(Tokens(u"   ").empty());
    EXPECT_TRUE(Tokens(u"\"").empty());
}

TEST(ReadToken, ReturnsTheIndexAfterTheEndingBlankOrQuote) {
    std::u16string token;
    EXPECT_EQ(ReadToken(u"ab cd", token, 0), 3);
    EXPECT_EQ(ReadToken(u"ab cd", token, 3), 6);
    EXPECT_EQ(token, u"cd");
    EXPECT_EQ(ReadToken(u"ab cd", token, 6), -1);
    EXPECT_EQ(ReadToken(u"\"a b\"c", token, 0), 5);
    EXPECT_EQ(token, u"a b");
    EXPECT_EQ(ReadToken(u"ab", token, -1), -1);
}

}  // namespace
}  // namespace tavopix
