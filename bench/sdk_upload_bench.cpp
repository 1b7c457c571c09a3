// Picture upload throughput of the SDK against the curl command sending the same files to the
// same albumd, in the same run. Starts its own albumd on loopback with a throw-away data folder
// (tests/support's launcher).
//
//   sdk_upload_bench [FILES [MIB [ROUNDS]]]     (defaults: 16 files of 8 MiB, 3 rounds)
//
// Each round uploads every file once through the SDK (one after the other, as the program does)
// and once with one curl process (`--next` between the files, so curl keeps its connection too);
// the best round of each counts.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "SdkUploads.h"
#include "sdk/OvkSdk.h"
#include "support/AlbumdProcess.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

std::string Narrow(const std::u16string& ascii) {
    std::string text;
    for (char16_t unit : ascii) {
        text += static_cast<char>(unit);
    }
    return text;
}

// Runs a program found on the PATH with its standard output going to /dev/null; its exit code,
// or -1.
int Run(const std::vector<std::string>& words) {
    std::vector<char*> argv;
    std::vector<std::string> copy = words;
    for (std::string& word : copy) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    int devNull = open("/dev/null", O_WRONLY | O_CLOEXEC);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, devNull, STDOUT_FILENO);
    pid_t pid = -1;
    int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(devNull);
    int status = 0;
    if (spawned != 0 || waitpid(pid, &status, 0) != pid) {
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool UploadWithSdk(tavopix::ServiceSession session, const std::string& path,
                   const std::u16string& album) {
    bool stored = false;
    tavopix::ovkCloseHandle(UploadToEnd(session, path, album, stored));
    return stored;
}

double Seconds(Clock::duration duration) {
    return std::chrono::duration<double>(duration).count();
}

}  // namespace

int main(int argc, char** argv) {
    int fileCount = argc > 1 ? std::atoi(argv[1]) : 16;
    int mebibytes = argc > 2 ? std::atoi(argv[2]) : 8;
    int rounds = argc > 3 ? std::atoi(argv[3]) : 3;
    if (fileCount < 1 || mebibytes < 1 || rounds < 1) {
        std::fprintf(stderr, "usage: sdk_upload_bench [FILES [MIB [ROUNDS]]]\n");
        return 2;
    }
    std::string folder = (fs::temp_directory_path() / "sdk-upload-bench-XXXXXX").string();
    if (!mkdtemp(folder.data())) {
        return 1;
    }
    folder += "/";
    const std::unique_ptr<tavopix::test::AlbumdProcess> albumd =
        tavopix::test::AlbumdProcess::Start(
            {"bench"}, {},
            {{"limits", "--space", "1000G", "--pictures", "1000000", "--user", "bench"}});
    if (!albumd) {
        return 1;
    }
    const std::string& base = albumd->BaseAddress();

    std::ofstream(folder + "ovkCfg.ini") << "[service]\nalbum_service = " << base << "\n";
    tavopix::ovkStartup();
    tavopix::ovkLoadCfg(Wide(folder + "ovkCfg.ini").c_str());
    tavopix::ServiceSession session = tavopix::ovkCreateSession();
    if (!LogInAsBench(session)) {
        std::fprintf(stderr, "login failed\n");
        return 1;
    }
    char16_t ticket[64] = {};
    tavopix::ovkGetTicket(session, ticket, sizeof ticket);
    Waiter waiter;
    tavopix::OvkApiRequest create{tavopix::OVK_API_ALBUM_CREATE, nullptr,
                                  u"{\"album_name\":\"bench\",\"privacy_lev\":\"4\"}"};
    tavopix::OvkHandle request = tavopix::ovkOpenApiAsynInit(session, &create, 30000);
    tavopix::OvkCallbackSpec callback{&waiter, &Waiter::OnCompletion};
    tavopix::ovkOpenApiAsynCall(request, &callback);
    waiter.Wait();
    std::uint32_t status = 0;
    std::uint32_t length = 0;
    char16_t* reply = nullptr;
    tavopix::ovkOpenApiAsynGetRtn(request, &status, &length, &reply);
    std::string replyText = reply ? Narrow(reply) : "";
    tavopix::ovkReleaseBuffer(&reply);
    tavopix::ovkCloseHandle(request);
    std::size_t idAt = replyText.find("\"album_id\":\"");
    if (status != 200 || idAt == std::string::npos) {
        std::fprintf(stderr, "album creation failed: %u %s\n", status, replyText.c_str());
        return 1;
    }
    idAt += 12;
    std::string albumId = replyText.substr(idAt, replyText.find('"', idAt) - idAt);

    std::vector<std::string> files;
    std::mt19937 random(42);
    std::string bytes(static_cast<std::size_t>(mebibytes) << 20, '\0');
    for (int i = 0; i < fileCount; ++i) {
        for (char& byte : bytes) {
            byte = static_cast<char>(random());
        }
        bytes.replace(0, 4, "\xFF\xD8\xFF\xE0");
        files.push_back(folder + "picture" + std::to_string(i) + ".jpg");
        std::ofstream(files.back(), std::ios::binary) << bytes;
    }

    std::vector<std::string> curlCommand = {"curl", "-sS", "--fail"};
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (i > 0) {
            curlCommand.push_back("--next");
        }
        for (const std::string& word :
             {std::string("-o"), std::string("/dev/null"), std::string("-H"),
              "Authorization: Ticket " + Narrow(ticket), std::string("-H"),
              std::string("Content-Type: application/octet-stream"), std::string("--data-binary"),
              "@" + files[i],
              base + "api/upload?album_id=" + albumId +
                  "&name=" + fs::path(files[i]).filename().string()}) {
            curlCommand.push_back(word);
        }
    }

    UploadWithSdk(session, files[0], Wide(albumId));  // warm both paths up
    double bestSdk = 1e9;
    double bestCurl = 1e9;
    for (int round = 0; round < rounds; ++round) {
        auto start = Clock::now();
        for (const std::string& file : files) {
            if (!UploadWithSdk(session, file, Wide(albumId))) {
                std::fprintf(stderr, "SDK upload failed\n");
                return 1;
            }
        }
        bestSdk = std::min(bestSdk, Seconds(Clock::now() - start));
        start = Clock::now();
        if (Run(curlCommand) != 0) {
            std::fprintf(stderr, "curl upload failed\n");
            return 1;
        }
        bestCurl = std::min(bestCurl, Seconds(Clock::now() - start));
    }
    double megabytes = static_cast<double>(fileCount) * mebibytes * 1.048576;
    std::printf("%d files of %d MiB, best of %d rounds\n", fileCount, mebibytes, rounds);
    std::printf("  SDK : %7.3f s  %8.1f MB/s\n", bestSdk, megabytes / bestSdk);
    std::printf("  curl: %7.3f s  %8.1f MB/s\n", bestCurl, megabytes / bestCurl);
    std::printf("  SDK / curl throughput: %.2f\n", bestCurl / bestSdk);

    tavopix::ovkCleanup();
    fs::remove_all(folder);
    return 0;
}
