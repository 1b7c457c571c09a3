#include "library/workers/PictureSearch.h"

#include <system_error>
#include <utility>

#include "app/TextFile.h"
#include "library/LibraryMessages.h"
#include "library/data/FolderResult.h"
#include "library/data/SharedPictureFilter.h"
#include "library/workers/FolderWalk.h"
#include "platform/Clock.h"
#include "platform/MessageQueue.h"

namespace tavopix {
namespace {

constexpr std::uint32_t kStopPollMs = 2;
constexpr std::uint32_t kFolderWaitMs = 50;
constexpr std::uint32_t kYieldMs = 100;
constexpr std::uint32_t kListingPauseMs = 50;

}  // namespace

PictureSearch::PictureSearch(Setup setup) : setup_(std::move(setup)) {
    RegisterMessageRecord(WM_FOLDER_RESULT, &DeleteWParamRecord<FolderResult>);
}

PictureSearch::~PictureSearch() {
    Stop();
}

bool PictureSearch::Start() {
    Stop();
    running_ = true;
    try {
        thread_ = std::thread(&PictureSearch::Run, this);
    } catch (const std::system_error&) {
        running_ = false;
        return false;
    }
    started_ = true;
    return true;
}

void PictureSearch::Stop() {
    stop_ = true;
    while (running_) {
        Sleep(kStopPollMs);
    }
    if (thread_.joinable()) {
        thread_.join();
    }
    stop_ = false;
    DiscardQueuedMessages(setup_.window, WM_FOLDER_RESULT, WM_FOLDER_RESULT);
    DiscardQueuedMessages(setup_.window, WM_SEARCH_NEEDS_FOLDERS, WM_SEARCH_NEEDS_FOLDERS);
    DiscardQueuedMessages(setup_.window, WM_SEARCH_DONE, WM_SEARCH_DONE);
}

bool PictureSearch::ReadFolders(std::u16string& text) const {
    text.clear();
    return ReadTextFile(setup_.folderFile, text) && !text.empty();
}

void PictureSearch::Run() {
    std::u16string folders;
    if (!ReadFolders(folders)) {
        waiting_ = true;
        PostMessage(setup_.window, WM_SEARCH_NEEDS_FOLDERS, 0, 0);
        while (waiting_ && !stop_) {
            Sleep(kFolderWaitMs);
        }
        if (stop_ || !ReadFolders(folders)) {
            waiting_ = false;
            running_ = false;
            return;
        }
    }

    PictureFilter filter = kSearchPictureFilter;
    if (!LoadPictureFilter(setup_.filterFile, filter)) {
        filter = kSearchPictureFilter;
    }
    setup_.filter->Set(filter);

    FolderWalkHooks hooks;
    hooks.report = [this](std::u16string path, unsigned count) {
        auto* result = new FolderResult{std::move(path), count};
        if (!PostMessage(setup_.window, WM_FOLDER_RESULT, reinterpret_cast<WPARAM>(result), 0)) {
            delete result;
        }
    };
    hooks.stopped = [this] { return stop_.load(); };
    hooks.beforeEntry = [this] {
        while (!stop_ && ((setup_.listingRunning && setup_.listingRunning()) ||
                          (setup_.thumbnailsWorking && setup_.thumbnailsWorking()))) {
            Sleep(kYieldMs);
        }
    };
    hooks.afterEntry = [this] {
        if (setup_.listingRunning && setup_.listingRunning()) {
            Sleep(kListingPauseMs);
        }
    };
    std::u16string folder;
    for (int next = ReadLine(folders, folder, 0); next >= 0 && !stop_;
         next = ReadLine(folders, folder, next)) {
        WalkFolder(folder, filter, hooks);
    }
    if (!stop_) {
        PostMessage(setup_.window, WM_SEARCH_DONE, 0, 0);
    }
    running_ = false;
}

}  // namespace tavopix
