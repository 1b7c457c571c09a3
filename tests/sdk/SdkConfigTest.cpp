#include "sdk/internal/SdkConfig.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/LastError.h"
#include "sdk/OvkErrors.h"
#include "sdk/OvkSdk.h"
#include "sdk/SdkTestSupport.h"

namespace tavopix::sdk {
namespace {

std::string Utf16LeFile(const std::u16string& text) {
    std::string bytes = "\xFF\xFE";
    for (char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

TEST(SdkConfigTest, FullFileWithCommentsAndSections) {
    std::optional<SdkConfig> config = ParseSdkConfig(
        "; where the service lives\r\n"
        "[service]\r\n"
        "album_service = http://127.0.0.1:8765\r\n"
        "home_page = http://127.0.0.1:8765/home\r\n"
        "register_page=https://accounts.example.org/ovklogin/register.php\r\n"
        "  lost_password_page =  https://accounts.example.org/lost.html  \r\n"
        "# time-outs\r\n"
        "[timeouts]\r\n"
        "connect_ms = 2500\r\n"
        "[uploads]\r\n"
        "resumable_from = 0\r\n");
    ASSERT_TRUE(config);
    EXPECT_EQ(config->albumService, "http://127.0.0.1:8765/");
    EXPECT_EQ(config->homePage, "http://127.0.0.1:8765/home");
    EXPECT_EQ(config->registerPage, "https://accounts.example.org/ovklogin/register.php");
    EXPECT_EQ(config->lostPasswordPage, "https://accounts.example.org/lost.html");
    EXPECT_EQ(config->connectTimeoutMs, 2500u);
    EXPECT_EQ(config->resumableFromBytes, 0u);
}

TEST(SdkConfigTest, OnlyTheServiceIsRequiredAndThePagesFollowIt) {
    std::optional<SdkConfig> config =
        ParseSdkConfig("\xEF\xBB\xBF[service]\nalbum_service=http://albums.example.org/a/\n");
    ASSERT_TRUE(config);
    EXPECT_EQ(config->homePage, "http://albums.example.org/a/");
    EXPECT_EQ(config->registerPage, "http://albums.example.org/a/ovklogin/register.php");
    EXPECT_EQ(config->lostPasswordPage,
              "http://albums.example.org/a/WebStaticPage/aq_LostPassword.html");
    EXPECT_EQ(config->connectTimeoutMs, 10000u);
    EXPECT_EQ(config->resumableFromBytes, 1024u * 1024u);
}

TEST(SdkConfigTest, Utf16FileWithByteOrderMark) {
    std::optional<SdkConfig> config =
        ParseSdkConfig(Utf16LeFile(u"[service]\r\nalbum_service = http://127.0.0.1:9000/\r\n"
                                   u"; 相册服务\r\n"));
    ASSERT_TRUE(config);
    EXPECT_EQ(config->albumService, "http://127.0.0.1:9000/");
}

TEST(SdkConfigTest, MalformedFilesAreRefused) {
    const char* const malformed[] = {
        "",                                               // no service
        "album_service = http://a.example/\n",            // outside its section
        "[service]\nalbum_service http://a.example/\n",   // no "="
        "[service]\nalbum_servic = http://a.example/\n",  // unknown key
        "[service]\nalbum_service = http://a.example/\nalbum_service = http://b.example/\n",
        "[service]\nalbum_service = ftp://a.example/\n",  // not http(s)
        "[service]\nalbum_service = file:///etc/passwd\n",
        "[service]\nalbum_service = /relative/\n",
        "[service]\nalbum_service = http://a.example/\nhome_page = javascript:alert(1)\n",
        "[service\nalbum_service = http://a.example/\n",
        "[service]\nalbum_service = http://a.example/\n[timeouts]\nconnect_ms = 0\n",
        "[service]\nalbum_service = http://a.example/\n[timeouts]\nconnect_ms = 12s\n",
        "[service]\nalbum_service = http://a.example/\n[timeouts]\nconnect_ms = 9999999\n",
        "[service]\nalbum_service = http://a.example/\xC3\x28\n",  // not UTF-8
        "[service]\nalbum_service = http://a.example/\n[uploads]\nresumable_from = 1M\n",
        "[service]\nalbum_service = http://a.example/\n[uploads]\nresumable_from =\n",
    };
    for (const char* text : malformed) {
        EXPECT_FALSE(ParseSdkConfig(text)) << text;
    }
    EXPECT_FALSE(ParseSdkConfig(std::string("\xFF\xFE[\0", 4) + "x"));  // odd UTF-16 length
    EXPECT_FALSE(ParseSdkConfig(Utf16LeFile(u"[service]\nalbum_service=http://a/\n\xD800")));
}

TEST(SdkConfigTest, LoadingReportsMissingAndMalformedFiles) {
    ASSERT_TRUE(ovkStartup());
    std::string folder = std::filesystem::temp_directory_path().string() + "/sdk-config-test-" +
                         std::to_string(::getpid()) + "/";
    std::filesystem::create_directories(folder);

    EXPECT_FALSE(ovkLoadCfg(test::U16(folder + "ovkCfg.ini").c_str()));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(ovkCreateSession(), 0u);
    EXPECT_EQ(GetLastError(), ERROR_NOT_READY);

    std::ofstream(folder + "ovkCfg.ini") << "[service]\nalbum_service = gopher://x/\n";
    EXPECT_FALSE(ovkLoadCfg(test::U16(folder + "ovkCfg.ini").c_str()));
    EXPECT_EQ(GetLastError(), OVK_ERROR_BAD_CONFIGURATION);

    std::ofstream(folder + "ovkCfg.ini") << "[service]\nalbum_service = http://127.0.0.1:1/\n";
    EXPECT_TRUE(ovkLoadCfg(test::U16(folder + "ovkCfg.ini").c_str()));
    EXPECT_NE(ovkCreateSession(), 0u);
    char16_t* address = nullptr;
    ASSERT_TRUE(ovkGetAddress(OvkAddress::RegisterPage, &address));
    EXPECT_EQ(std::u16string(address), u"http://127.0.0.1:1/ovklogin/register.php");
    ovkReleaseBuffer(&address);
    EXPECT_EQ(address, nullptr);

    EXPECT_TRUE(ovkCleanup());
    EXPECT_FALSE(ovkLoadCfg(test::U16(folder + "ovkCfg.ini").c_str()));
    EXPECT_EQ(GetLastError(), ERROR_NOT_READY);
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace tavopix::sdk
