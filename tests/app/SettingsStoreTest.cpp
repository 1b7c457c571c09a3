#include "app/SettingsStore.h"

#include <gtest/gtest.h>

#include "app/TextConvert.h"
#include "platform/ScratchFolder.h"

namespace tavopix {
namespace {

// The bytes of a UTF-16LE file: the mark (unless left out) and the text.
std::string FileBytes(std::u16string_view text, bool withMark = true) {
    std::string bytes = withMark ? std::string("\xFF\xFE") : std::string();
    for (char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

class SettingsStoreTest : public ::testing::Test {
protected:
    void WriteIni(std::u16string_view text, bool withMark = true) {
        folder.Write("tavopix.ini", FileBytes(text, withMark));
    }
    std::string IniBytes() const { return folder.Read("tavopix.ini"); }
    std::u16string Get(std::u16string_view key) const {
        std::u16string value = u"<none>";
        if (!SettingsStore::Get(file, key, value)) {
            EXPECT_EQ(value, u"<none>");
        }
        return value;
    }

    test::ScratchFolder folder;
    std::u16string file = FromUtf8(folder.Path("tavopix.ini"));
};

TEST_F(SettingsStoreTest, FirstSetCreatesTheFileWithOneLine) {
    ASSERT_TRUE(SettingsStore::Set(file, u"auto_check_update", u"true"));
    EXPECT_EQ(IniBytes(), FileBytes(u"auto_check_update = true\r\n"));
    EXPECT_EQ(Get(u"auto_check_update"), u"true");
}

TEST_F(SettingsStoreTest, MissingEmptyOrOddFilesHaveNoValues) {
    EXPECT_EQ(Get(u"pl_sort_type"), u"<none>");
    folder.Write("tavopix.ini", "");
    EXPECT_EQ(Get(u"pl_sort_type"), u"<none>");
    folder.Write("tavopix.ini", "\xFF");
    EXPECT_EQ(Get(u"pl_sort_type"), u"<none>");
    ASSERT_TRUE(SettingsStore::Set(file, u"pl_sort_type", u"3"));
    EXPECT_EQ(IniBytes(), FileBytes(u"pl_sort_type = 3\r\n"));
}

TEST_F(SettingsStoreTest, ReadsHandWrittenLines) {
    WriteIni(u"pl_sort_type:2\r\n");
    EXPECT_EQ(Get(u"pl_sort_type"), u"2");
    WriteIni(u"xpl_sort_type = 5\r\n");
    EXPECT_EQ(Get(u"pl_sort_type"), u"5");
    WriteIni(u"auto_check_update = true   \r\n");
    EXPECT_EQ(Get(u"auto_check_update"), u"true");
    WriteIni(u"auto_check_update\t=\t true \t");
    EXPECT_EQ(Get(u"auto_check_update"), u"true");
    WriteIni(u"home = http://a.test:8080/x\n", false);
    EXPECT_EQ(Get(u"home"), u"http://a.test:8080/x");
}

TEST_F(SettingsStoreTest, KeysAreCaseSensitivePlainText) {
    WriteIni(u"Tree_View_List = true\r\n");
    EXPECT_EQ(Get(u"tree_view_list"), u"<none>");
    EXPECT_EQ(Get(u""), u"<none>");
}

TEST_F(SettingsStoreTest, EmptyValueTakesTheNextLine) {
    WriteIni(u"auto_close_after_upload =\r\npl_sort_type = 1\r\n");
    EXPECT_EQ(Get(u"auto_close_after_upload"), u"pl_sort_type = 1");
    ASSERT_TRUE(SettingsStore::Set(file, u"auto_close_after_upload", u"false"));
    EXPECT_EQ(IniBytes(), FileBytes(u"auto_close_after_upload =\r\nfalse\r\n"));
}

TEST_F(SettingsStoreTest, OnlyTheFirstOccurrenceCounts) {
    WriteIni(u"tree_view_list is below\r\ntree_view_list = true\r\n");
    EXPECT_EQ(Get(u"tree_view_list"), u"<none>");
    ASSERT_TRUE(SettingsStore::Set(file, u"tree_view_list", u"false"));
    ASSERT_TRUE(SettingsStore::Set(file, u"tree_view_list", u"true"));
    EXPECT_EQ(IniBytes(), FileBytes(u"tree_view_list is below\r\ntree_view_list = true\r\n"
                                    u"tree_view_list = false\r\ntree_view_list = true\r\n"));
}

TEST_F(SettingsStoreTest, SetEditsTheValueInPlace) {
    WriteIni(u"tree_view_list = false\r\npl_sort_type : 4 \r\n# note\r\n");
    ASSERT_TRUE(SettingsStore::Set(file, u"pl_sort_type", u"12"));
    EXPECT_EQ(IniBytes(), FileBytes(u"tree_view_list = false\r\npl_sort_type : 12\r\n# note\r\n"));
    ASSERT_TRUE(SettingsStore::Set(file, u"tree_view_list", u"true"));
    EXPECT_EQ(IniBytes(), FileBytes(u"tree_view_list = true\r\npl_sort_type : 12\r\n# note\r\n"));
}

TEST_F(SettingsStoreTest, FileWithoutMarkIsWrittenBackWithIt) {
    WriteIni(u"auto_check_update = false\r\n", false);
    EXPECT_EQ(Get(u"auto_check_update"), u"false");
    ASSERT_TRUE(SettingsStore::Set(file, u"auto_check_update", u"true"));
    EXPECT_EQ(IniBytes(), FileBytes(u"auto_check_update = true\r\n"));
}

TEST_F(SettingsStoreTest, AppendedLineStartsOnItsOwnLine) {
    WriteIni(u"auto_check_update = true");
    ASSERT_TRUE(SettingsStore::Set(file, u"pl_sort_type", u"2"));
    EXPECT_EQ(IniBytes(), FileBytes(u"auto_check_update = true\r\npl_sort_type = 2\r\n"));
    EXPECT_EQ(Get(u"auto_check_update"), u"true");
    EXPECT_EQ(Get(u"pl_sort_type"), u"2");
}

TEST_F(SettingsStoreTest, SeparatorAtTheEndGetsTheValueAfterIt) {
    WriteIni(u"pl_sort_type = \r\n");
    EXPECT_EQ(Get(u"pl_sort_type"), u"<none>");
    ASSERT_TRUE(SettingsStore::Set(file, u"pl_sort_type", u"7"));
    EXPECT_EQ(Get(u"pl_sort_type"), u"7");
    ASSERT_TRUE(SettingsStore::Set(file, u"tree_view_list", u"true"));
    EXPECT_EQ(Get(u"pl_sort_type"), u"7");
    EXPECT_EQ(Get(u"tree_view_list"), u"true");
    EXPECT_EQ(IniBytes(), FileBytes(u"pl_sort_type = \r\n7\r\ntree_view_list = true\r\n"));
}

TEST_F(SettingsStoreTest, RefusedWritesChangeNothing) {
    WriteIni(u"a = 1\r\n");
    EXPECT_FALSE(SettingsStore::Set(file, u"", u"x"));
    EXPECT_EQ(IniBytes(), FileBytes(u"a = 1\r\n"));
    EXPECT_FALSE(SettingsStore::Set(FromUtf8(folder.Path("missing/tavopix.ini")), u"a", u"2"));
    EXPECT_FALSE(SettingsStore::Set(FromUtf8(folder.Path()), u"a", u"2"));
}

}  // namespace
}  // namespace tavopix
