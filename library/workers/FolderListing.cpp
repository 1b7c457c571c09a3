#include "library/workers/FolderListing.h"

#include <memory>
#include <system_error>
#include <utility>

#include "app/PathTokens.h"
#include "app/TextConvert.h"
#include "library/LibraryMessages.h"
#include "library/data/FolderList.h"
#include "library/data/FolderResult.h"
#include "library/data/ItemList.h"
#include "library/data/MarkedSet.h"
#include "library/data/PictureMatcher.h"
#include "library/data/SharedPictureFilter.h"
#include "library/data/UploadedRegistry.h"
#include "platform/Clock.h"
#include "platform/DirectoryListing.h"
#include "platform/MessageQueue.h"

namespace tavopix {
namespace {

constexpr std::uint32_t kStopPollMs = 2;
// Names of three characters or fewer cannot hold a name and a picture extension.
constexpr std::size_t kShortestPictureName = 4;

}  // namespace

FolderListing::FolderListing(Setup setup) : setup_(std::move(setup)) {
    RegisterMessageRecord(WM_FOLDER_RESULT, &DeleteWParamRecord<FolderResult>);
}

FolderListing::~FolderListing() {
    Stop();
}

bool FolderListing::Start(std::u16string folder) {
    Stop();
    if (setup_.pauseThumbnails) {
        setup_.pauseThumbnails();
    }
    SendMessage(setup_.window, WM_CLEAR_GRID, 0, 0);
    running_ = true;
    stop_ = false;
    try {
        thread_ = std::thread(&FolderListing::Run, this, std::move(folder));
    } catch (const std::system_error&) {
        running_ = false;
        return false;
    }
    return true;
}

void FolderListing::Stop() {
    stop_ = true;
    while (running_) {
        Sleep(kStopPollMs);
    }
    if (thread_.joinable()) {
        thread_.join();
    }
    stop_ = false;
    DiscardQueuedMessages(setup_.window, WM_FOLDER_RESULT, WM_FOLDER_RESULT);
    DiscardQueuedMessages(setup_.window, WM_BUILD_GRID, WM_BUILD_GRID);
}

void FolderListing::Run(std::u16string folder) {
    unsigned count = 0;
    const bool listed = (setup_.listView && setup_.listView()) || setup_.folders->Covers(folder);
    const std::u16string expanded = listed ? ExpandPath(folder) : std::u16string();
    if (!expanded.empty()) {
        const PictureMatcher matcher(setup_.filter->Get(), GetSystemTimeAsFileTime());
        DirectoryListing listing(Utf8(expanded), EntryDetails::Full);
        DirectoryEntry entry;
        while (!stop_ && listing.IsOpen() && listing.Next(entry)) {
            std::u16string name = FromUtf8(entry.name);
            if (name.size() < kShortestPictureName ||
                !matcher.Matches(name, entry.isDirectory, static_cast<std::uint32_t>(entry.size),
                                 entry.lastWriteTime)) {
                continue;
            }
            auto item = std::make_unique<PictureItem>();
            item->path = folder + name;
            item->name = std::move(name);
            item->size = static_cast<std::uint32_t>(entry.size);
            item->time = static_cast<std::uint32_t>(entry.lastWriteTime >> 32);
            item->marked = setup_.marked != nullptr && setup_.marked->Contains(item->path);
            item->uploaded =
                setup_.registry != nullptr && setup_.registry->Contains(item->path, entry.size);
            setup_.items->Append(std::move(item));
            ++count;
        }
    }
    // The item list is the UI thread's again before the grid is built from it, so the build
    // may resume the thumbnail worker, which stays paused while a listing runs.
    running_ = false;
    auto* result = new FolderResult{std::move(folder), count};
    if (!PostMessage(setup_.window, WM_FOLDER_RESULT, reinterpret_cast<WPARAM>(result), 0)) {
        delete result;
    }
    PostMessage(setup_.window, WM_BUILD_GRID, 0, 0);
}

}  // namespace tavopix
