#include "library/workers/FolderEnumerator.h"

#include <system_error>
#include <utility>

#include "app/HasSubfolders.h"
#include "app/PathTokens.h"
#include "app/TextConvert.h"
#include "library/LibraryMessages.h"
#include "library/data/FolderEntry.h"
#include "platform/Clock.h"
#include "platform/DirectoryListing.h"
#include "platform/Drives.h"
#include "platform/MessageQueue.h"

namespace tavopix {
namespace {

constexpr std::uint32_t kStopPollMs = 1;

bool IsListedDrive(DriveType type) {
    return type == DriveType::Removable || type == DriveType::Fixed || type == DriveType::CdRom ||
           type == DriveType::RamDisk;
}

}  // namespace

FolderEnumerator::FolderEnumerator(HWND dialog) : dialog_(dialog) {
    RegisterMessageRecord(WM_FOLDER_FOUND, &DeleteWParamRecord<FolderEntry>);
}

FolderEnumerator::~FolderEnumerator() {
    Stop();
}

void FolderEnumerator::Start(std::u16string path, unsigned generation) {
    Stop();
    running_ = true;
    SendMessage(dialog_, WM_ENUMERATION_STATE, 0, 0);
    try {
        thread_ = std::thread(&FolderEnumerator::Run, this, std::move(path), generation);
    } catch (const std::system_error&) {
        running_ = false;
        PostMessage(dialog_, WM_ENUMERATION_STATE, generation, 0);
    }
}

void FolderEnumerator::Stop() {
    stop_ = true;
    while (running_) {
        Sleep(kStopPollMs);
    }
    if (thread_.joinable()) {
        thread_.join();
    }
    stop_ = false;
}

void FolderEnumerator::Post(std::u16string path, bool topLevel, unsigned generation) const {
    const bool hasSubfolders = HasSubfolders(path);
    auto* entry = new FolderEntry{std::move(path), hasSubfolders, topLevel, generation};
    if (!PostMessage(dialog_, WM_FOLDER_FOUND, reinterpret_cast<WPARAM>(entry), 0)) {
        delete entry;
    }
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
        while (!stop_ && listing.IsOpen() && listing.Next(entry)) {
            if (entry.isDirectory) {
                Post(path + FromUtf8(entry.name) + u'/', false, generation);
            }
        }
    }
    // The flag drops before the end message goes, so the dialog, reading the flag when the
    // message arrives, always sees the run as ended.
    running_ = false;
    PostMessage(dialog_, WM_ENUMERATION_STATE, generation, 0);
}

}  // namespace tavopix
