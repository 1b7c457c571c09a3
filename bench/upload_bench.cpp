// upload-bench [COUNT]: COUNT (default 30) photographs of TAVOPIX_PHOTOS uploaded through the
// upload dialog (headless view, full size off) to a local albumd, against the floor in the same
// run: the same pictures fitted with FitJpeg one after another, then sent by one curl process
// (--next between the files) to the same albumd. A second floor fits them on two threads before
// the same curl. The dialog runs twice: with no thumbnail cached, and with the thumbnails the
// grid would have made (made by the parent process beforehand). Each side runs in a process of
// its own, so its peak memory and processor time are its own (the floors' include curl's).
//
// It reports the whole run of each, the floors' fitting and curl, and the dialog's content
// check, the time between two answers and its first thumbnail pass, as its messages show them;
// the goal is the dialog within 0.7 x the sequential floor.
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "SdkUploads.h"
#include "app/AppContext.h"
#include "app/TextConvert.h"
#include "engine/HeadlessView.h"
#include "image/JpegExport.h"
#include "image/Thumbnail.h"
#include "library/data/UploadedRegistry.h"
#include "platform/MessageQueue.h"
#include "platform/Window.h"
#include "sdk/OvkSdk.h"
#include "support/AlbumdProcess.h"
#include "ui/HskFrame.h"
#include "ui/PageHost.h"
#include "upload/UploadDlg.h"
#include "upload/UploadMessages.h"

extern char** environ;

namespace {

using namespace tavopix;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

double Ms(Clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

// Starts the SDK against `base`, logs in as "bench" and makes an album; its id, empty on failure.
std::string LoginAndMakeAlbum(const std::string& base, const std::string& folder,
                              std::string& ticket) {
    std::ofstream(folder + "ovkCfg.ini") << "[service]\nalbum_service = " << base << "\n";
    ovkStartup();
    ovkLoadCfg(FromUtf8(folder + "ovkCfg.ini").c_str());
    appContext.serviceSession = ovkCreateSession();
    if (!LogInAsBench(appContext.serviceSession))
        return {};
    char16_t buffer[64] = {};
    ovkGetTicket(appContext.serviceSession, buffer, sizeof buffer);
    ticket = Utf8(buffer);
    Waiter waiter;
    OvkApiRequest create{OVK_API_ALBUM_CREATE, nullptr,
                         u"{\"album_name\":\"bench\",\"privacy_lev\":\"4\"}"};
    const OvkHandle request = ovkOpenApiAsynInit(appContext.serviceSession, &create, 30000);
    OvkCallbackSpec callback{&waiter, &Waiter::OnCompletion};
    ovkOpenApiAsynCall(request, &callback);
    waiter.Wait();
    std::uint32_t status = 0;
    std::uint32_t length = 0;
    char16_t* reply = nullptr;
    ovkOpenApiAsynGetRtn(request, &status, &length, &reply);
    const std::string text = reply ? Utf8(reply) : "";
    ovkReleaseBuffer(&reply);
    ovkCloseHandle(request);
    std::size_t at = text.find("\"album_id\":\"");
    if (status != 200 || at == std::string::npos)
        return {};
    at += 12;
    return text.substr(at, text.find('"', at) - at);
}

// The dialog, timing its steps from the messages it handles.
class TimedUploadDlg : public CUploadDlg {
public:
    using CUploadDlg::CUploadDlg;
    Clock::time_point begin, end, lastResult, thumbsDone, checked;
    std::vector<double> answerMs;  // from one answer (or the check's) to the next
    int thumbnails = 0;
    bool failed = false;

    LRESULT OnWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                            bool& handled) override {
        const Clock::time_point now = Clock::now();
        if (message == WM_UPLOAD_BEGIN)
            begin = now;
        const LRESULT result =
            CUploadDlg::OnWindowMessage(window, message, wParam, lParam, handled);
        const Clock::time_point after = Clock::now();
        switch (message) {
            case WM_UPLOAD_THUMB_READY:
                ++thumbnails;
                break;
            case WM_UPLOAD_THUMBS_DONE:
                if (thumbsDone == Clock::time_point())
                    thumbsDone = after;
                break;
            case WM_UPLOAD_CONTENT_CHECKED:
                checked = lastResult = now;
                break;
            case WM_UPLOAD_RESULT: {
                answerMs.push_back(Ms(now - lastResult));
                lastResult = after;
                failed = failed || wParam != OVK_EVENT_SUCCEEDED;
                const std::u16string line = Page()->Root()->FindById(u"info_upload")->InnerText();
                if (line == u"所有图片已上传成功" || line.starts_with(u"上传")) {
                    end = after;
                    PostMessage(window, WM_CLOSE, 0, 0);
                }
                break;
            }
            default:
                break;
        }
        return result;
    }
};

double Average(const std::vector<double>& values) {
    double sum = 0;
    for (double value : values)
        sum += value;
    return values.empty() ? 0 : sum / static_cast<double>(values.size());
}

int DialogPhase(const std::string& base, const std::string& folder,
                const std::vector<std::string>& photos) {
    std::string ticket;
    const std::string album = LoginAndMakeAlbum(base, folder, ticket);
    if (album.empty())
        return 1;
    appContext.programDir = FromUtf8(folder);
    appContext.iconCacheDir = FromUtf8(folder + "iconsdb/");
    fs::create_directories(folder + "iconsdb");
    fs::copy(fs::read_symlink("/proc/self/exe").parent_path() / "skin", folder + "skin",
             fs::copy_options::recursive);
    HeadlessView view;
    // The real page's queue: ten cells a row, three rows in view.
    view.SetScrollInfo("#task_list", ScrollInfo{{0, 0}, {14, 80, 668, 254}, {654, 174}});
    PageHost::SetView(&view);
    RegisterFrameClass();
    std::vector<std::u16string> paths;
    for (const std::string& photo : photos)
        paths.push_back(FromUtf8(photo));
    UploadedRegistry registry(FromUtf8(folder + "uploadedImg.dat"));
    TimedUploadDlg dialog(registry, FromUtf8(album), 0, paths, nullptr);
    dialog.Run(SW_SHOWNORMAL);
    PageHost::SetView(nullptr);
    ovkCleanup();
    const double whole = Ms(dialog.end - dialog.begin);
    std::printf("dialog %.1f %.1f %.1f %.1f %d %u %d\n", whole, Ms(dialog.checked - dialog.begin),
                Average(dialog.answerMs), Ms(dialog.thumbsDone - dialog.begin), dialog.thumbnails,
                registry.Count(), dialog.failed ? 1 : 0);
    return registry.Count() == photos.size() ? 0 : 1;
}

// Fits the photographs on `threads` threads, each taking the next one not taken; the files to
// send, in order, empty when one could not be fitted.
std::vector<std::string> FitAll(const std::string& folder, const std::vector<std::string>& photos,
                                int threads) {
    std::vector<std::string> sent(photos.size());
    std::atomic<std::size_t> next{0};
    std::atomic<bool> failed{false};
    const auto fit = [&] {
        for (std::size_t i; (i = next++) < photos.size();) {
            const std::string fitted = folder + "fit" + std::to_string(i) + ".jpg";
            switch (FitJpeg(FromUtf8(photos[i]), FromUtf8(fitted), kUploadSide)) {
                case FitResult::Failed:
                    failed = true;
                    break;
                case FitResult::SourceUnchanged:
                    sent[i] = photos[i];
                    break;
                case FitResult::Written:
                    sent[i] = fitted;
                    break;
            }
        }
    };
    std::vector<std::thread> others;
    for (int i = 1; i < threads; ++i)
        others.emplace_back(fit);
    fit();
    for (std::thread& other : others)
        other.join();
    return failed ? std::vector<std::string>() : sent;
}

int FloorPhase(const std::string& base, const std::string& folder,
               const std::vector<std::string>& photos, int threads) {
    std::string ticket;
    const std::string album = LoginAndMakeAlbum(base, folder, ticket);
    ovkCleanup();
    if (album.empty())
        return 1;
    const Clock::time_point start = Clock::now();
    const std::vector<std::string> sent = FitAll(folder, photos, threads);
    if (sent.empty())
        return 1;
    const Clock::time_point fitted = Clock::now();
    std::vector<std::string> words = {"curl", "-sS", "--fail"};
    for (std::size_t i = 0; i < sent.size(); ++i) {
        if (i > 0)
            words.push_back("--next");
        for (const std::string& word :
             {std::string("-o"), std::string("/dev/null"), std::string("-H"),
              "Authorization: Ticket " + ticket, std::string("-H"),
              std::string("Content-Type: application/octet-stream"), std::string("--data-binary"),
              "@" + sent[i],
              base + "api/upload?album_id=" + album + "&name=p" + std::to_string(i)}) {
            words.push_back(word);
        }
    }
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    int status = 0;
    if (posix_spawnp(&pid, "curl", nullptr, nullptr, argv.data(), environ) != 0 ||
        waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return 1;
    }
    const Clock::time_point end = Clock::now();
    std::printf("floor %.1f %.1f %.1f\n", Ms(end - start), Ms(fitted - start), Ms(end - fitted));
    return 0;
}

// Runs this program again for one phase; its output line, peak memory (KiB) and processor time.
bool RunPhase(const std::string& phase, const std::string& base, const std::string& folder,
              const std::vector<std::string>& photos, std::string& line, long& peakKiB,
              double& cpuMs) {
    fs::create_directories(folder);
    std::vector<std::string> words = {fs::read_symlink("/proc/self/exe").string(), "--phase", phase,
                                      base, folder};
    words.insert(words.end(), photos.begin(), photos.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    pid_t pid = -1;
    const bool spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    char chunk[512];
    for (ssize_t got; (got = read(pipeFds[0], chunk, sizeof chunk)) > 0;)
        line.append(chunk, static_cast<std::size_t>(got));
    close(pipeFds[0]);
    int status = 0;
    rusage usage{};
    if (!spawned || wait4(pid, &status, 0, &usage) != pid)
        return false;
    peakKiB = usage.ru_maxrss;
    cpuMs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
            (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 5 && std::string(argv[1]) == "--phase") {
        const std::vector<std::string> photos(argv + 5, argv + argc);
        const std::string phase = argv[2];
        if (phase.starts_with("dialog"))
            return DialogPhase(argv[3], argv[4], photos);
        return FloorPhase(argv[3], argv[4], photos, phase == "floor-two" ? 2 : 1);
    }
    const int count = argc > 1 ? std::atoi(argv[1]) : 30;
    const char* photoDir = std::getenv("TAVOPIX_PHOTOS");
    if (!photoDir || count < 1) {
        std::fprintf(stderr, "usage: TAVOPIX_PHOTOS=DIR upload-bench [COUNT]\n");
        return 2;
    }
    std::vector<std::string> sources;
    for (const char* kind : {"real", "baseline"}) {
        for (const fs::directory_entry& entry : fs::directory_iterator(fs::path(photoDir) / kind))
            sources.push_back(entry.path().string());
    }
    std::string work = (fs::temp_directory_path() / "upload-bench-XXXXXX").string();
    if (sources.empty() || !mkdtemp(work.data()))
        return 1;
    work += "/";
    // COUNT pictures under names of their own, so each gets its own thumbnail.
    std::vector<std::string> photos;
    fs::create_directories(work + "photos");
    for (int i = 0; i < count; ++i) {
        const fs::path source = sources[static_cast<std::size_t>(i) % sources.size()];
        photos.push_back(work + "photos/" + std::to_string(i) + "-" + source.filename().string());
        fs::copy_file(source, photos.back());
    }
    const std::unique_ptr<test::AlbumdProcess> albumd = test::AlbumdProcess::Start(
        {"bench"}, {},
        {{"limits", "--space", "1000G", "--pictures", "1000000", "--user", "bench"}});
    if (!albumd)
        return 1;
    struct Phase {
        const char* name;
        std::string line;
        long peakKiB = 0;
        double cpuMs = 0;
    };
    Phase phases[] = {{"floor", {}, 0, 0},
                      {"floor-two", {}, 0, 0},
                      {"dialog", {}, 0, 0},
                      {"dialog-cached", {}, 0, 0}};
    // The thumbnails the grid makes of the pictures it shows, made here so that they count in
    // neither the dialog's time nor its processor time.
    appContext.iconCacheDir = FromUtf8(work + "dialog-cached/iconsdb/");
    fs::create_directories(work + "dialog-cached/iconsdb");
    for (const std::string& photo : photos) {
        if (!MakeFileThumbnail(FromUtf8(photo)).ok)
            return 1;
    }
    for (Phase& phase : phases) {
        if (!RunPhase(phase.name, albumd->BaseAddress(), work + phase.name + "/", photos,
                      phase.line, phase.peakKiB, phase.cpuMs)) {
            std::fprintf(stderr, "the %s phase failed:\n%s", phase.name, phase.line.c_str());
            return 1;
        }
    }
    const double n = count;
    std::printf("%d photographs, full size off, albumd on loopback\n", count);
    double floors[2] = {};
    for (int i = 0; i < 2; ++i) {
        double fitMs = 0, curlMs = 0;
        std::sscanf(phases[i].line.c_str(), "floor %lf %lf %lf", &floors[i], &fitMs, &curlMs);
        std::printf("%s: %8.1f ms  (%.1f ms per picture: FitJpeg %.1f + curl %.1f)\n",
                    i == 0 ? "floor " : "floor, fitting on two threads", floors[i], floors[i] / n,
                    fitMs / n, curlMs / n);
    }
    double dialogs[2] = {};
    for (int i = 0; i < 2; ++i) {
        double checkMs = 0, answerMs = 0, thumbsMs = 0;
        int thumbnails = 0, uploaded = 0, failed = 0;
        std::sscanf(phases[2 + i].line.c_str(), "dialog %lf %lf %lf %lf %d %d %d", &dialogs[i],
                    &checkMs, &answerMs, &thumbsMs, &thumbnails, &uploaded, &failed);
        std::printf(
            "%s: %8.1f ms  (%.1f ms per picture: content check %.1f ms, then an answer every "
            "%.1f ms; first thumbnail pass %.1f ms for %d thumbnails)\n",
            i == 0 ? "dialog" : "dialog, thumbnails cached by the grid", dialogs[i], dialogs[i] / n,
            checkMs, answerMs, thumbsMs, thumbnails);
    }
    std::printf("dialog / floor: %.3f (goal <= 0.70)\n", dialogs[0] / floors[0]);
    std::printf("dialog with the grid's thumbnails / floor: %.3f\n", dialogs[1] / floors[0]);
    std::printf("two-thread floor / floor: %.3f\n", floors[1] / floors[0]);
    std::printf(
        "processor time: dialog %.1f ms (%.1f with the grid's thumbnails), floor %.1f ms, "
        "two-thread floor %.1f ms (curl's included)\n",
        phases[2].cpuMs, phases[3].cpuMs, phases[0].cpuMs, phases[1].cpuMs);
    std::printf(
        "peak memory: dialog process %ld KiB; floor process %ld KiB, two-thread %ld KiB "
        "(curl's included)\n",
        phases[2].peakKiB, phases[0].peakKiB, phases[1].peakKiB);
    fs::remove_all(work);
    return 0;
}
