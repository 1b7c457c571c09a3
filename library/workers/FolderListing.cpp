#include "library/workers/FolderListing.h"

#include <memory>
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
#include "platform/OwnedRecord.h"

namespace tavopix {
namespace {

// Names of three characters or fewer cannot hold a name and a picture extension.
constexpr std::size_t kShortestPictureName = 4;

}  // namespace

FolderListing::FolderListing(Setup setup)
    : setup_(std::move(setup)), worker_{WM_FOLDER_RESULT, WM_BUILD_GRID} {}

FolderListing::~FolderListing() {
    Stop();
}

bool FolderListing::Start(std::u16string folder) {
    Stop();
    if (setup_.pauseThumbnails) {
        setup_.pauseThumbnails();
    }
    SendMessage(setup_.window, WM_CLEAR_GRID, 0, 0);
    return worker_.Start(setup_.window,
                         [this, folder = std::move(folder)]() mutable { Run(std::move(folder)); });
}

void FolderListing::Stop() {
    worker_.Stop();
}

void FolderListing::Run(std::u16string folder) {
    unsigned count = 0;
    const bool listed = (setup_.listView && setup_.listView()) || setup_.folders->Covers(folder);
    const std::u16string expanded = listed ? ExpandPath(folder) : std::u16string();
    if (!expanded.empty()) {
        const PictureMatcher matcher(setup_.filter->Get(), GetSystemTimeAsFileTime());
        DirectoryListing listing(Utf8(expanded), EntryDetails::Full);
        DirectoryEntry entry;
        while (!worker_.StopRequested() && listing.IsOpen() && listing.Next(entry)) {
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
    worker_.Finished();
    PostOwned(setup_.window, WM_FOLDER_RESULT,
              std::make_unique<FolderResult>(FolderResult{std::move(folder), count}));
    PostMessage(setup_.window, WM_BUILD_GRID, 0, 0);
}

}  // namespace tavopix
