#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/LastError.h"
#include "sdk/LoopbackServer.h"
#include "sdk/OvkErrors.h"
#include "sdk/OvkSdk.h"
#include "sdk/SdkTestSupport.h"
#include "support/AlbumdProcess.h"
#include "support/WaitUntil.h"

namespace tavopix::test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

std::string FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::vector<std::string> FolderNames(const std::string& folder) {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

struct DownloadRun {
    OvkHandle handle = 0;
    EventRecorder recorder;
};

void RunDownload(DownloadRun& run, ServiceSession session, const std::string& address,
                 const std::string& target, std::uint32_t kind, std::uint32_t intervalMs,
                 std::uint32_t replace = 1) {
    std::u16string wideAddress = U16(address);
    std::u16string wideTarget = U16(target);
    OvkDownloadParams params;
    params.session = session;
    params.address = wideAddress.c_str();
    params.target = wideTarget.c_str();
    params.targetKind = kind;
    params.callback = &EventRecorder::OnDownload;
    params.progressIntervalMs = intervalMs;
    params.replaceExisting = replace;
    params.context = &run.recorder;
    run.handle = ovkDownloadCreate(&params);
    ASSERT_NE(run.handle, 0u) << GetLastError();
    ASSERT_TRUE(ovkDownloadStart(run.handle, 30000)) << GetLastError();
    ASSERT_TRUE(run.recorder.WaitForEnd());
}

std::string StoredPath(OvkHandle handle) {
    char16_t* path = nullptr;
    std::string stored;
    if (ovkDownloadGetInfo(handle, 0, &path, 0)) {
        stored = U8(path);
    }
    ovkReleaseBuffer(&path);
    return stored;
}

class DownloadTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        albumd = AlbumdProcess::Start({});
        if (!albumd) {
            return;
        }
        package =
            (fs::path(albumd->DataFolder()).parent_path() / "tavopix-0.1.2.0.tar.gz").string();
        WritePictureFile(package, 3 * 1024 * 1024 + 17, 3);
        EXPECT_EQ(albumd->RunCommand(
                      {"update", "set", "0.1.2.0", package, "--base-url", albumd->BaseAddress()}),
                  0);
        // What albumd serves is its signed copy.
        package = albumd->DataFolder() + "/packages/tavopix-0.1.2.0.tar.gz";
    }
    static void TearDownTestSuite() { albumd.reset(); }
    void SetUp() override { ASSERT_TRUE(albumd); }

    static inline std::unique_ptr<AlbumdProcess> albumd;
    static inline std::string package;
};

TEST_F(DownloadTest, VersionFileToANamedFile) {
    SdkSession sdk(albumd->BaseAddress());
    fs::create_directory(sdk.Folder() + "program");
    std::string target = sdk.Folder() + "program/version.txt";
    std::ofstream(target) << "an older version file";
    DownloadRun run;
    RunDownload(run, sdk.Session(), "/tavopix/update.dat", target, OVK_DOWNLOAD_TO_FILE,
                0x0FFFFFFF);
    std::vector<RecordedEvent> events = run.recorder.Events();
    ASSERT_EQ(events.size(), 1u);  // no progress at that pace
    EXPECT_EQ(events[0].event, OVK_EVENT_SUCCEEDED);
    EXPECT_EQ(StoredPath(run.handle), target);
    std::string bytes = FileBytes(target);
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(bytes.substr(0, 4), std::string("\xFF\xFEv\0", 4));  // UTF-16LE "v"ersion
    EXPECT_EQ(FolderNames(sdk.Folder() + "program"), std::vector<std::string>{"version.txt"});
    ovkCloseHandle(run.handle);
}

TEST_F(DownloadTest, PackageIntoAFolderWithProgress) {
    SdkSession sdk(albumd->BaseAddress());
    DownloadRun run;
    RunDownload(run, sdk.Session(),
                albumd->BaseAddress() + "tavopix/packages/tavopix-0.1.2.0.tar.gz", sdk.Folder(),
                OVK_DOWNLOAD_INTO_DIRECTORY, 0);
    std::vector<RecordedEvent> events = run.recorder.Events();
    std::uint64_t size = fs::file_size(package);
    ASSERT_GE(events.size(), 2u);
    std::uint64_t previous = 0;
    for (std::size_t i = 0; i + 1 < events.size(); ++i) {
        EXPECT_EQ(events[i].event, OVK_EVENT_PROGRESS);
        EXPECT_GT(events[i].value, previous);
        EXPECT_EQ(events[i].total, size);
        previous = events[i].value;
    }
    EXPECT_EQ(events.back().event, OVK_EVENT_SUCCEEDED);
    EXPECT_EQ(events.back().value, size);
    EXPECT_EQ(StoredPath(run.handle), sdk.Folder() + "tavopix-0.1.2.0.tar.gz");
    EXPECT_EQ(FileBytes(sdk.Folder() + "tavopix-0.1.2.0.tar.gz"), FileBytes(package));
    ovkCloseHandle(run.handle);
}

// A redirect is followed to a relative address or one on loopback, and refused before it is
// asked when it leads to plain HTTP elsewhere, to a host spelled another way, to credentials or
// to another scheme.
TEST_F(DownloadTest, RedirectsAreFollowedOnlyToSecureAddresses) {
    SdkSession sdk(albumd->BaseAddress());
    const auto redirect = [](const std::string& location) {
        return "HTTP/1.1 302 Found\r\nLocation: " + location + "\r\nContent-Length: 0\r\n\r\n";
    };
    LoopbackServer toAlbumd(
        redirect(albumd->BaseAddress() + "tavopix/packages/tavopix-0.1.2.0.tar.gz"));
    DownloadRun followed;
    RunDownload(followed, sdk.Session(), toAlbumd.BaseAddress() + "p", sdk.Folder(),
                OVK_DOWNLOAD_INTO_DIRECTORY, 0);
    EXPECT_EQ(followed.recorder.Events().back().event, OVK_EVENT_SUCCEEDED);
    EXPECT_EQ(FileBytes(sdk.Folder() + "tavopix-0.1.2.0.tar.gz"), FileBytes(package));
    ovkCloseHandle(followed.handle);

    LoopbackServer target("HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\nx");
    const std::string port = target.BaseAddress().substr(17);  // "PORT/"
    for (const std::string& location :
         {"http://127.1:" + port + "p", "http://user:pw@127.0.0.1:" + port + "p",
          "//127.0.0.1:" + port + "p", std::string("http://albums.example/p"),
          "ftp://127.0.0.1:" + port + "p", "localhost:" + port + "p"}) {
        LoopbackServer redirecting(redirect(location));
        DownloadRun refused;
        RunDownload(refused, sdk.Session(), redirecting.BaseAddress() + "p", sdk.Folder(),
                    OVK_DOWNLOAD_INTO_DIRECTORY, 0);
        EXPECT_EQ(refused.recorder.Events().back().event, OVK_EVENT_FAILED) << location;
        EXPECT_EQ(refused.recorder.Events().back().lastError, OVK_ERROR_BAD_ADDRESS) << location;
        ovkCloseHandle(refused.handle);
    }
    EXPECT_EQ(target.Connections(), 0);
}

TEST_F(DownloadTest, AMissingFileFailsAndLeavesNothing) {
    SdkSession sdk(albumd->BaseAddress());
    fs::create_directory(sdk.Folder() + "out");
    DownloadRun run;
    RunDownload(run, sdk.Session(), "/tavopix/packages/missing.tar.gz", sdk.Folder() + "out/",
                OVK_DOWNLOAD_INTO_DIRECTORY, 0);
    EXPECT_EQ(run.recorder.Events().back().event, OVK_EVENT_FAILED);
    EXPECT_EQ(run.recorder.Events().back().lastError, 404u);
    EXPECT_EQ(StoredPath(run.handle), "");
    EXPECT_TRUE(FolderNames(sdk.Folder() + "out").empty());
    ovkCloseHandle(run.handle);
}

TEST_F(DownloadTest, AnExistingFileIsReplacedOnlyWhenAllowed) {
    SdkSession sdk(albumd->BaseAddress());
    std::string target = sdk.Folder() + "version.txt";
    std::ofstream(target) << "keep me";
    DownloadRun kept;
    RunDownload(kept, sdk.Session(), "/tavopix/update.dat", target, OVK_DOWNLOAD_TO_FILE, 0, 0);
    EXPECT_EQ(kept.recorder.Events().back().event, OVK_EVENT_FAILED);
    EXPECT_EQ(kept.recorder.Events().back().lastError, ERROR_FILE_EXISTS);
    EXPECT_EQ(FileBytes(target), "keep me");
    EXPECT_EQ(FolderNames(sdk.Folder()), (std::vector<std::string>{"ovkCfg.ini", "version.txt"}));
    ovkCloseHandle(kept.handle);
}

std::string AttachmentReply(const std::string& disposition) {
    return "HTTP/1.1 200 OK\r\nContent-Length: 5\r\nContent-Disposition: " + disposition +
           "\r\nConnection: close\r\n\r\nhello";
}

TEST(DownloadNameSafetyTest, HostileNamesStayInsideTheFolder) {
    LoopbackServer hostile(AttachmentReply("attachment; filename=\"../../evil.sh\""));
    SdkSession sdk(hostile.BaseAddress());
    fs::create_directory(sdk.Folder() + "in");
    DownloadRun run;
    RunDownload(run, sdk.Session(), "/x", sdk.Folder() + "in", OVK_DOWNLOAD_INTO_DIRECTORY, 0);
    EXPECT_EQ(run.recorder.Events().back().event, OVK_EVENT_SUCCEEDED);
    EXPECT_EQ(StoredPath(run.handle), sdk.Folder() + "in/evil.sh");
    EXPECT_EQ(FileBytes(sdk.Folder() + "in/evil.sh"), "hello");
    EXPECT_EQ(FolderNames(sdk.Folder()), (std::vector<std::string>{"in", "ovkCfg.ini"}));
    ovkCloseHandle(run.handle);
}

TEST(DownloadNameSafetyTest, UnusableNamesAreRefused) {
    for (const char* disposition :
         {"attachment; filename=\"..\"", "attachment; filename=\"a\x01b\"",
          "attachment; filename=\"x/\""}) {
        LoopbackServer hostile(AttachmentReply(disposition));
        SdkSession sdk(hostile.BaseAddress());
        fs::create_directory(sdk.Folder() + "in");
        DownloadRun run;
        RunDownload(run, sdk.Session(), "/x", sdk.Folder() + "in/", OVK_DOWNLOAD_INTO_DIRECTORY, 0);
        EXPECT_EQ(run.recorder.Events().back().event, OVK_EVENT_FAILED);
        EXPECT_EQ(run.recorder.Events().back().lastError, ERROR_INVALID_NAME);
        EXPECT_TRUE(FolderNames(sdk.Folder() + "in").empty()) << disposition;
        ovkCloseHandle(run.handle);
    }
}

TEST(DownloadNameSafetyTest, OnlyWebAddressesAreFetched) {
    LoopbackServer silent;
    SdkSession sdk(silent.BaseAddress());
    std::u16string target = U16(sdk.Folder());
    OvkDownloadParams params;
    params.session = sdk.Session();
    params.address = u"file:///etc/passwd";
    params.target = target.c_str();
    params.targetKind = OVK_DOWNLOAD_INTO_DIRECTORY;
    params.callback = &EventRecorder::OnDownload;
    EXPECT_EQ(ovkDownloadCreate(&params), 0u);
    EXPECT_EQ(GetLastError(), OVK_ERROR_BAD_ADDRESS);
}

TEST(DownloadNoAnswerTest, ClosingDropsTheTemporaryFileAndEveryEvent) {
    LoopbackServer silent;
    SdkSession sdk(silent.BaseAddress());
    fs::create_directory(sdk.Folder() + "in");
    std::u16string address = u"/package.bin";
    std::u16string target = U16(sdk.Folder() + "in/");
    EventRecorder recorder;
    OvkDownloadParams params;
    params.session = sdk.Session();
    params.address = address.c_str();
    params.target = target.c_str();
    params.targetKind = OVK_DOWNLOAD_INTO_DIRECTORY;
    params.callback = &EventRecorder::OnDownload;
    params.context = &recorder;
    OvkHandle handle = ovkDownloadCreate(&params);
    ASSERT_TRUE(ovkDownloadStart(handle, 1000));
    ASSERT_TRUE(WaitUntil([&] { return silent.Connections() == 1; }));  // asked, never answered
    EXPECT_TRUE(ovkCloseHandle(handle));
    recorder.CloseGate();
    // Once the SDK lets go of the connection, neither the time-out nor an answer can come.
    ASSERT_TRUE(WaitUntil([&] { return silent.ClosedByClient() == 1; }));
    EXPECT_EQ(recorder.LateEvents(), 0);
    EXPECT_TRUE(WaitUntil([&] { return FolderNames(sdk.Folder() + "in").empty(); }));
}

}  // namespace
}  // namespace tavopix::test
