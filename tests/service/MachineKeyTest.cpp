#include "service/MachineKey.h"

#include <gtest/gtest.h>

namespace tavopix {
namespace {

TEST(MachineKey, HostNameBytesArePercentEncoded) {
    EXPECT_EQ(MachineKeyFromHostName("my-pc_01.lan/x"), u"my%2Dpc%5F01.lan/x");
    EXPECT_EQ(MachineKeyFromHostName("\xE6\xA1\x8C"), u"%E6%A1%8C%E6%A1%8C");
}

TEST(MachineKey, ShortNamesAreDoubledToSixteen) {
    EXPECT_EQ(MachineKeyFromHostName("ab"), u"abababababababab");
    EXPECT_EQ(MachineKeyFromHostName("abcdefghi"), u"abcdefghiabcdefghi");
    EXPECT_EQ(MachineKeyFromHostName("abcdefghijklmnop"), u"abcdefghijklmnop");
}

TEST(MachineKey, EmptyNameGivesTheFallback) {
    EXPECT_EQ(MachineKeyFromHostName(""), u"quietlampgreenrivermoss");
}

TEST(MachineKey, ThisComputersKeyIsUsable) {
    const std::u16string key = MachineKey();
    EXPECT_GE(key.size(), 16u);
    EXPECT_EQ(key.find_first_not_of(u"0123456789abcdefghijklmnopqrstuvwxyz"
                                    u"ABCDEFGHIJKLMNOPQRSTUVWXYZ./%"),
              std::u16string::npos);
}

}  // namespace
}  // namespace tavopix
