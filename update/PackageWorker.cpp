#include "update/PackageWorker.h"

#include <filesystem>
#include <system_error>
#include <utility>

#include "app/AppContext.h"
#include "platform/MessageQueue.h"
#include "platform/Utf8.h"
#include "update/PackageAddress.h"
#include "update/PackageSignature.h"
#include "update/UpdateFolders.h"
#include "update/UpdateMessages.h"

namespace tavopix {
namespace {

constexpr std::uint32_t kProgressIntervalMs = 500;

std::u16string AlbumServiceAddress() {
    char16_t* buffer = nullptr;
    std::u16string address;
    if (ovkGetAddress(OvkAddress::AlbumService, &buffer) && buffer)
        address = buffer;
    ovkReleaseBuffer(&buffer);
    return address;
}

// An empty download folder: a package left by an earlier run that never installed it is of no
// use, and the service's name for the new one must not meet an old file.
bool PrepareDownloadFolder(const std::string& folder) {
    std::error_code error;
    std::filesystem::remove_all(folder, error);
    return !error && std::filesystem::create_directories(folder, error) && !error;
}

// Sets AppContext::updateFilePath to the downloaded package when it is signed with the update
// key; a package that is not is removed, and the download counts as failed.
void TakeSignedPackage(const UpdateFolders& folders, const std::u16string& path) {
    std::string error;
    const std::string programDir = Utf16ToUtf8(appContext.programDir);
    if (VerifyPackageSignature(programDir, Utf16ToUtf8(path), error)) {
        appContext.updateFilePath = path;
        return;
    }
    std::error_code ignored;
    std::filesystem::remove_all(folders.download, ignored);
}

}  // namespace

PackageWorker::PackageWorker() : DownloadWorker{WM_UPDATE_PROGRESS, WM_UPDATE_DONE} {}

PackageWorker::~PackageWorker() {
    Stop();
}

void PackageWorker::Start(HWND dialog, std::u16string address) {
    // Without a thread the download ends at once as a failed one.
    if (!Launch(dialog,
                [this, dialog, address = std::move(address)] { Download(dialog, address); }))
        PostMessage(dialog, WM_UPDATE_DONE, 0, 0);
}

void PackageWorker::Stop() {
    Halt();
}

void PackageWorker::Download(HWND dialog, const std::u16string& address) {
    const UpdateFolders folders(Utf16ToUtf8(appContext.programDir));
    if (IsTrustedPackageAddress(address, AlbumServiceAddress()) &&
        PrepareDownloadFolder(folders.download)) {
        const std::u16string target = Utf8ToUtf16(folders.download);
        OvkDownloadParams params;
        params.session = appContext.serviceSession;
        params.address = address.c_str();
        params.target = target.c_str();
        params.targetKind = OVK_DOWNLOAD_INTO_DIRECTORY;
        params.progressIntervalMs = kProgressIntervalMs;
        params.replaceExisting = 1;
        RunDownload(params, dialog, [&folders](OvkHandle handle) {
            char16_t* path = nullptr;
            if (ovkDownloadGetInfo(handle, 0, &path, 0) && path)
                TakeSignedPackage(folders, path);
            ovkReleaseBuffer(&path);
        });
    }
    PostMessage(dialog, WM_UPDATE_DONE, 0, 0);
}

}  // namespace tavopix
