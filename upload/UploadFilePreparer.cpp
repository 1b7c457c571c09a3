#include "upload/UploadFilePreparer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

#include "app/PathTokens.h"
#include "app/TextConvert.h"
#include "image/JpegExport.h"
#include "platform/AsciiCase.h"
#include "platform/OwnedRecord.h"
#include "sdk/OvkSdk.h"
#include "service/JsonEscape.h"
#include "upload/UploadMessages.h"

namespace tavopix {
namespace {

// Empties the scratch file, creating it when missing, and makes it private; the converters
// then replace it keeping that mode. A link in its place is refused rather than followed.
bool ResetScratchFile(const std::u16string& path) {
    const int fd = ::open(Utf8(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC,
                          S_IRUSR | S_IWUSR);
    if (fd < 0)
        return false;
    const bool ok = ::fchmod(fd, S_IRUSR | S_IWUSR) == 0;
    return ::close(fd) == 0 && ok;
}

// A conversion that reported success really left a picture in the scratch file.
bool ScratchWritten(const std::u16string& path) {
    struct stat info {};
    return ::stat(Utf8(path).c_str(), &info) == 0 && info.st_size > 0;
}

// ".jpg" in any case ends the name.
bool EndsWithJpg(std::u16string_view name) {
    return AsciiLowercase(name.substr(name.size() > 4 ? name.size() - 4 : 0)) == u".jpg";
}

}  // namespace

std::u16string UploadTitle(std::u16string_view fileName) {
    std::u16string title(fileName);
    if (EndsWithJpg(title))
        return title;
    const std::size_t dot = title.find_last_of(u'.');
    if (dot != std::u16string::npos && dot != 0)
        title.erase(dot);
    return title;
}

bool PrepareUploadFile(const std::u16string& storedPath, bool keepFullSize,
                       const std::u16string& scratchPath, std::u16string& file,
                       std::u16string& title) {
    const std::u16string full = ExpandPath(storedPath);
    if (full.empty())
        return false;
    const std::size_t slash = full.find_last_of(u'/');
    const std::u16string name = slash == std::u16string::npos ? full : full.substr(slash + 1);
    const bool isJpg = EndsWithJpg(name);
    title = UploadTitle(name);
    JsonEscape(title);

    if (keepFullSize && isJpg) {
        file = full;
        return true;
    }
    if (!ResetScratchFile(scratchPath))
        return false;
    if (keepFullSize) {
        if (!ConvertToJpeg(full, scratchPath) || !ScratchWritten(scratchPath))
            return false;
        file = scratchPath;
        return true;
    }
    switch (FitJpeg(full, scratchPath, kUploadSide)) {
        case FitResult::Failed:
            return false;
        case FitResult::SourceUnchanged:
            file = full;
            return true;
        case FitResult::Written:
            break;
    }
    if (!ScratchWritten(scratchPath))
        return false;
    file = scratchPath;
    return true;
}

bool UploadFilePreparer::Start(int lane, HWND window, std::uint32_t generation,
                               std::u16string storedPath, bool keepFullSize,
                               std::u16string scratchPath) {
    StoppableWorker& worker = lanes_.at(static_cast<std::size_t>(lane));
    return worker.Start(window, [&worker, window, generation, keepFullSize,
                                 path = std::move(storedPath), scratch = std::move(scratchPath)] {
        auto prepared = std::make_unique<PreparedUpload>();
        prepared->generation = generation;
        prepared->ok =
            PrepareUploadFile(path, keepFullSize, scratch, prepared->file, prepared->title);
        if (worker.StopRequested())
            return;
        char16_t hash[65];
        if (const std::u16string original = ExpandPath(path);
            prepared->ok && ovkContentHash(original.c_str(), hash)) {
            prepared->contentHash = hash;
        }
        PostOwned(window, WM_UPLOAD_FILE_READY, std::move(prepared));
    });
}

void UploadFilePreparer::Stop() {
    for (StoppableWorker& lane : lanes_)
        lane.Stop();
}

}  // namespace tavopix
