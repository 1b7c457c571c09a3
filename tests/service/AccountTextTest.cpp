// The texts the account dialogs read: the remembered login's fields, and the albums of a list
// reply, JSON or not.
#include <gtest/gtest.h>

#include "service/AlbumListReply.h"
#include "service/UserInfoFile.h"

namespace tavopix {
namespace {

TEST(UserInfoText, SplitsAtBlanksSoANameNeverHoldsWhiteSpace) {
    UserInfo info = ParseUserInfo(u"10alice\tTICKET-1_x\r\n");
    EXPECT_TRUE(info.remember);
    EXPECT_FALSE(info.autoLogin);
    EXPECT_EQ(info.userName, u"alice");
    EXPECT_EQ(info.ticket, u"TICKET-1_x");

    info = ParseUserInfo(u"11bob smith \t\t tk more\r\n");
    EXPECT_EQ(info.userName, u"bob");
    EXPECT_EQ(info.ticket, u"smith");
    EXPECT_EQ(UserInfoName(u"00carol\r\n"), u"carol");

    // A remembered flag without a ticket, and texts too short to hold a name.
    info = ParseUserInfo(u"11dave\t\r\n");
    EXPECT_TRUE(info.remember);
    EXPECT_TRUE(info.ticket.empty());
    EXPECT_EQ(ParseUserInfo(u"1").userName, u"");
    EXPECT_EQ(UserInfoName(u"00"), u"");
}

TEST(AlbumListReplyText, JsonIsReadWholeWhateverTheNamesHold) {
    const std::u16string reply =
        uR"({"albums":[{"album_id":"3","album_name":"Tom \"Jerry\" & <Co> 相册","privacy_lev":"1"},)"
        uR"({"album_name":"a\\b}{,","photo_count":2,"album_id":17}],"extra":{"album_id":"x"}})";
    EXPECT_EQ(ReadAlbumList(reply, u""),
              (std::vector<AlbumEntry>{{u"3", u"Tom \"Jerry\" & <Co> 相册"}, {u"17", u"a\\b}{,"}}));
    EXPECT_TRUE(ReadAlbumList(u"{\"albums\":[]}", u"").empty());
}

TEST(AlbumListReplyText, OtherTextIsScannedForQuotedPairs) {
    // Not JSON: each "album_id" is paired with the next "album_name", quotes taken as they come.
    const std::u16string text =
        u"album_id album \"album_id\": \"5\", \"album_name\": \"家\"; "
        u"\"album_id\":\"6\" \"album_name\":\"旅行\" \"album_id\":\"7\"";
    EXPECT_EQ(ReadAlbumList(text, text), (std::vector<AlbumEntry>{{u"5", u"家"}, {u"6", u"旅行"}}));
    EXPECT_TRUE(ReadAlbumList(u"no albums", u"no albums").empty());
}

}  // namespace
}  // namespace tavopix
