// The same photographs uploaded through the SDK over a link that breaks every 2 MB, against the
// same photographs over a link that never breaks, in the same run. The link is a local relay in
// front of albumd (tests/upload/ThrottledRelay) that counts the bytes albumd is handed.
//
//   resumable-upload-bench [COUNT]   (default 30; 4 with TAVOPIX_BENCH_SHORT=1)
//
// Three runs, one album each: uninterrupted; breaking every 2 MB with resumable uploads (every
// picture in pieces, going on from what albumd holds); breaking every 2 MB with one request per
// picture, each broken picture sent again from its first byte as the continue button would.
// The photographs are copies of TAVOPIX_PHOTOS/real/*.jpg, each made unique by a few bytes at
// its end, so no copy is taken for another. Exit status 1 when a run did not store every one.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "SdkUploads.h"
#include "ThrottledRelay.h"
#include "sdk/OvkSdk.h"
#include "support/AlbumdProcess.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr std::uint64_t kDropEvery = 2'000'000;
constexpr std::size_t kUnlimited = std::size_t{1} << 40;  // bytes per second: no throttle
constexpr int kTriesOfOneRequest = 20;

struct Figures {
    int stored = 0;
    double seconds = 0;
    std::uint64_t toAlbumd = 0;
    int sentAgain = 0;  // pictures of one request sent again after a break
};

class SdkClient {
public:
    SdkClient(const std::string& folder, const std::string& address, std::uint64_t resumableFrom) {
        const std::string config = folder + "ovkCfg.ini";
        std::ofstream(config) << "[service]\nalbum_service = " << address
                              << "\n[uploads]\nresumable_from = " << resumableFrom << "\n";
        ok_ = tavopix::ovkStartup() && tavopix::ovkLoadCfg(Wide(config).c_str()) &&
              (session_ = tavopix::ovkCreateSession()) != 0 && LogInAsBench(session_);
    }
    ~SdkClient() { tavopix::ovkCleanup(); }

    bool Ok() const { return ok_; }

    std::u16string CreateAlbum(const std::u16string& name) {
        const std::u16string json = u"{\"album_name\":\"" + name + u"\",\"privacy_lev\":\"4\"}";
        tavopix::OvkApiRequest create{tavopix::OVK_API_ALBUM_CREATE, json.c_str(), nullptr};
        Waiter waiter;
        tavopix::OvkHandle request = tavopix::ovkOpenApiAsynInit(session_, &create, 30000);
        tavopix::OvkCallbackSpec callback{&waiter, &Waiter::OnCompletion};
        if (!request || !tavopix::ovkOpenApiAsynCall(request, &callback))
            return {};
        waiter.Wait();
        std::uint32_t status = 0;
        std::uint32_t length = 0;
        char16_t* reply = nullptr;
        tavopix::ovkOpenApiAsynGetRtn(request, &status, &length, &reply);
        const std::u16string text = reply ? std::u16string(reply, length) : u"";
        tavopix::ovkReleaseBuffer(&reply);
        tavopix::ovkCloseHandle(request);
        const std::size_t at = text.find(u"\"album_id\":\"");
        if (status != 200 || at == std::u16string::npos)
            return {};
        return text.substr(at + 12, text.find(u'"', at + 12) - at - 12);
    }

    // One upload; its end: 1 stored, 0 failed (`answered` false when no answer came).
    bool Upload(const std::string& path, const std::u16string& album, bool& answered) {
        bool stored = false;
        const tavopix::OvkHandle upload = UploadToEnd(session_, path, album, stored);
        char16_t* reply = nullptr;
        std::uint32_t status = 0;
        answered = stored || tavopix::ovkImgUploadInfo(upload, 0, &reply, &status);
        if (!stored) {
            std::fprintf(
                stderr, "an attempt at %s ended: status %u %s\n", path.c_str(), status,
                reply
                    ? std::string(reply, reply + std::char_traits<char16_t>::length(reply)).c_str()
                    : "");
        }
        tavopix::ovkReleaseBuffer(&reply);
        tavopix::ovkCloseHandle(upload);
        return stored;
    }

private:
    bool ok_ = false;
    tavopix::ServiceSession session_ = 0;
};

Figures Run(const std::string& folder, const tavopix::test::AlbumdProcess& albumd,
            const std::vector<std::string>& files, bool breaking, bool resumable,
            const std::u16string& albumName) {
    Figures figures;
    tavopix::test::ThrottledRelay relay(albumd.Port(), kUnlimited);
    SdkClient client(folder, relay.BaseAddress(), resumable ? 0 : std::uint64_t{1} << 40);
    const std::u16string album = client.Ok() ? client.CreateAlbum(albumName) : u"";
    if (album.empty()) {
        std::fprintf(stderr, "no session or album through the relay\n");
        return figures;
    }
    if (breaking)
        relay.DropEvery(kDropEvery);
    const std::uint64_t before = relay.BytesToServer();
    const auto started = Clock::now();
    for (const std::string& file : files) {
        for (int attempt = 0; attempt < kTriesOfOneRequest; ++attempt) {
            bool answered = false;
            if (client.Upload(file, album, answered)) {
                ++figures.stored;
                break;
            }
            if (answered)
                break;  // refused: sending it again changes nothing
            ++figures.sentAgain;
        }
    }
    figures.seconds = std::chrono::duration<double>(Clock::now() - started).count();
    figures.toAlbumd = relay.BytesToServer() - before;
    return figures;
}

}  // namespace

int main(int argc, char** argv) {
    const bool shortRun = std::getenv("TAVOPIX_BENCH_SHORT") &&
                          std::string(std::getenv("TAVOPIX_BENCH_SHORT")) == "1";
    const int count = argc > 1 ? std::atoi(argv[1]) : shortRun ? 4 : 30;
    const char* photos = std::getenv("TAVOPIX_PHOTOS");
    if (count < 1 || !photos) {
        std::fprintf(
            stderr,
            "usage: resumable-upload-bench [COUNT] (TAVOPIX_PHOTOS names the photographs)\n");
        return 2;
    }
    std::vector<fs::path> originals;
    for (const auto& entry : fs::directory_iterator(fs::path(photos) / "real")) {
        if (entry.path().extension() == ".jpg")
            originals.push_back(entry.path());
    }
    std::sort(originals.begin(), originals.end());
    std::string folder = (fs::temp_directory_path() / "resumable-bench-XXXXXX").string();
    if (originals.empty() || !mkdtemp(folder.data())) {
        std::fprintf(stderr, "no photographs in %s/real\n", photos);
        return 1;
    }
    folder += "/";
    std::vector<std::string> files;
    std::uint64_t total = 0;
    for (int i = 0; i < count; ++i) {
        const std::string file = folder + "photo" + std::to_string(i) + ".jpg";
        fs::copy_file(originals[static_cast<std::size_t>(i) % originals.size()], file);
        std::ofstream(file, std::ios::app) << "copy " << i;
        total += fs::file_size(file);
        files.push_back(file);
    }

    const std::unique_ptr<tavopix::test::AlbumdProcess> albumd =
        tavopix::test::AlbumdProcess::Start(
            {"bench"}, {},
            {{"limits", "--space", "1000G", "--pictures", "1000000", "--user", "bench"}});
    if (!albumd)
        return 1;
    const Figures plain = Run(folder, *albumd, files, false, true, u"uninterrupted");
    const Figures resumed = Run(folder, *albumd, files, true, true, u"resumable");
    const Figures restarted = Run(folder, *albumd, files, true, false, u"one request");
    fs::remove_all(folder);

    std::printf("%d photographs, %.1f MB; the link breaks every %.1f MB\n", count, total / 1e6,
                kDropEvery / 1e6);
    const auto line = [&](const char* what, const Figures& f) {
        std::printf("%-44s stored %d/%d  %6.2f s  %7.1f MB to albumd (%.2f x the photographs)",
                    what, f.stored, count, f.seconds, f.toAlbumd / 1e6,
                    static_cast<double>(f.toAlbumd) / static_cast<double>(total));
        if (f.sentAgain > 0)
            std::printf("  %d sent again", f.sentAgain);
        std::printf("\n");
    };
    line("uninterrupted, resumable uploads", plain);
    line("breaking, resumable uploads", resumed);
    line("breaking, one request, again from the start", restarted);
    std::printf("breaking / uninterrupted, resumable: time %.2f x, bytes %.2f x\n",
                resumed.seconds / std::max(plain.seconds, 1e-9),
                static_cast<double>(resumed.toAlbumd) /
                    static_cast<double>(std::max<std::uint64_t>(plain.toAlbumd, 1)));
    return plain.stored == count && resumed.stored == count ? 0 : 1;
}
