#include "library/workers/PictureSearch.h"

#include <memory>
#include <utility>

#include "app/TextFile.h"
#include "library/LibraryMessages.h"
#include "library/data/FolderResult.h"
#include "library/data/SharedPictureFilter.h"
#include "library/workers/FolderWalk.h"
#include "platform/MessageQueue.h"
#include "platform/OwnedRecord.h"

namespace tavopix {
namespace {

constexpr std::uint32_t kYieldMs = 100;
constexpr std::uint32_t kListingPauseMs = 50;

}  // namespace

PictureSearch::PictureSearch(Setup setup)
    : setup_(std::move(setup)),
      worker_{WM_FOLDER_RESULT, WM_SEARCH_NEEDS_FOLDERS, WM_SEARCH_DONE} {}

PictureSearch::~PictureSearch() {
    Stop();
}

bool PictureSearch::Start() {
    if (!worker_.Start(setup_.window, [this] { Run(); })) {
        return false;
    }
    started_ = true;
    return true;
}

void PictureSearch::Stop() {
    worker_.Stop();
}

void PictureSearch::EndWaitingForFolders() {
    waiting_ = false;
    worker_.Wake();
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
        if (!worker_.WaitUntil([this] { return !waiting_; }) || !ReadFolders(folders)) {
            waiting_ = false;
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
        PostOwned(setup_.window, WM_FOLDER_RESULT,
                  std::make_unique<FolderResult>(FolderResult{std::move(path), count}));
    };
    hooks.stopped = [this] { return worker_.StopRequested(); };
    hooks.beforeEntry = [this] {
        while (((setup_.listingRunning && setup_.listingRunning()) ||
                (setup_.thumbnailsWorking && setup_.thumbnailsWorking())) &&
               worker_.WaitFor(kYieldMs)) {
        }
    };
    hooks.afterEntry = [this] {
        if (setup_.listingRunning && setup_.listingRunning()) {
            static_cast<void>(worker_.WaitFor(kListingPauseMs));
        }
    };
    std::u16string folder;
    for (int next = ReadLine(folders, folder, 0); next >= 0 && !worker_.StopRequested();
         next = ReadLine(folders, folder, next)) {
        WalkFolder(folder, filter, hooks);
    }
    if (!worker_.StopRequested()) {
        PostMessage(setup_.window, WM_SEARCH_DONE, 0, 0);
    }
}

}  // namespace tavopix
