#include "update/VersionCheckWorker.h"

#include <memory>
#include <string>

#include "app/AppContext.h"
#include "platform/OwnedRecord.h"
#include "update/UpdateMessages.h"
#include "update/VersionFile.h"

namespace tavopix {
namespace {

// The version file is small; its progress is of no interest.
constexpr std::uint32_t kNoProgress = 0x0FFFFFFF;

}  // namespace

VersionCheckWorker::VersionCheckWorker(UINT message, Report report)
    : DownloadWorker{message}, message_(message), report_(report) {}

VersionCheckWorker::~VersionCheckWorker() {
    Stop();
}

void VersionCheckWorker::Start(HWND owner) {
    // Without a thread the check ends at once, as one that fetched nothing.
    if (!Launch(owner, [this, owner] { Check(owner); }) && report_ == Report::EveryEnd)
        PostLine(owner, {});
}

void VersionCheckWorker::Stop() {
    Halt();
}

void VersionCheckWorker::Check(HWND owner) {
    const std::u16string target = appContext.programDir + kVersionFileName;
    OvkDownloadParams params;
    params.session = appContext.serviceSession;
    params.address = kVersionFileAddress;
    params.target = target.c_str();
    params.targetKind = OVK_DOWNLOAD_TO_FILE;
    params.progressIntervalMs = kNoProgress;
    params.replaceExisting = 1;

    std::u16string line;
    const bool downloaded =
        RunDownload(params, nullptr, [&](OvkHandle) { line = ReadFirstVersionLine(target); });
    if (StopRequested() || (report_ == Report::SuccessOnly && !downloaded))
        return;
    PostLine(owner, std::move(line));
}

void VersionCheckWorker::PostLine(HWND owner, std::u16string line) {
    PostOwned(owner, message_, std::make_unique<std::u16string>(std::move(line)));
}

}  // namespace tavopix
