#include "library/workers/FolderEnumerator.h"

#include <memory>
#include <utility>

#include "app/HasSubfolders.h"
#include "app/PathTokens.h"
#include "app/TextConvert.h"
#include "library/LibraryMessages.h"
#include "library/data/FolderEntry.h"
#include "platform/DirectoryListing.h"
#include "platform/Drives.h"
#include "platform/MessageQueue.h"
#include "platform/OwnedRecord.h"

namespace tavopix {
namespace {

bool IsListedDrive(DriveType type) {
    return type == DriveType::Removable || type == DriveType::Fixed || type == DriveType::CdRom ||
           type == DriveType::RamDisk;
}

}  // namespace

FolderEnumerator::FolderEnumerator(HWND dialog) : dialog_(dialog) {}

FolderEnumerator::~FolderEnumerator() {
    Stop();
}

void FolderEnumerator::Start(std::u16string path, unsigned generation) {
    const bool started = worker_.Start(
        dialog_,
        [this, path = std::move(path), generation]() mutable { Run(std::move(path), generation); });
    SendMessage(dialog_, WM_ENUMERATION_STATE, 0, 0);
    if (!started) {
        PostMessage(dialog_, WM_ENUMERATION_STATE, generation, 0);
    }
}

void FolderEnumerator::Stop() {
    worker_.Stop();
}

void FolderEnumerator::Post(std::u16string path, bool topLevel, unsigned generation) const {
    const bool hasSubfolders = HasSubfolders(path);
    PostOwned(dialog_, WM_FOLDER_FOUND,
              std::make_unique<FolderEntry>(
                  FolderEntry{std::move(path), hasSubfolders, topLevel, generation}));
}

void FolderEnumerator::Run(std::u16string path, unsigned generation) {
    if (path.empty()) {
        for (const std::u16string_view token :
             {kDesktopToken, kMyDocumentsToken, kMyPicturesToken}) {
            Post(std::u16string(token), true, generation);
        }
        for (const Drive& drive : ListDrives()) {
            if (IsListedDrive(drive.type)) {
                Post(FromUtf8(drive.root), true, generation);
            }
        }
    } else if (const std::u16string expanded = ExpandPath(path); !expanded.empty()) {
        DirectoryListing listing(Utf8(expanded));
        DirectoryEntry entry;
        while (!worker_.StopRequested() && listing.IsOpen() && listing.Next(entry)) {
            if (entry.isDirectory) {
                Post(path + FromUtf8(entry.name) + u'/', false, generation);
            }
        }
    }
    // The flag drops before the end message goes, so the dialog, reading the flag when the
    // message arrives, always sees the run as ended.
    worker_.Finished();
    PostMessage(dialog_, WM_ENUMERATION_STATE, generation, 0);
}

}  // namespace tavopix
