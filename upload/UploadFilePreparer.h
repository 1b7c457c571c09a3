// Making a picture ready to send: the title it is sent with, and the file — the picture itself
// when the service can take it as it is, otherwise a JPEG written to a scratch file of the
// program ("~uploadtmp.jpg", and one more per further lane below), fitted into 1600 x 1600, or
// converted at full size when the user asked for full size.
//
// A scratch file is private to the user (mode 0600) and is emptied before every conversion,
// so a conversion that fails can never leave the previous picture there to be sent instead.
//
// Fitting a large photograph takes a noticeable fraction of a second, so the dialog runs it on
// threads of its own (UploadFilePreparer) and stays responsive meanwhile; it makes the next
// pictures ready while one is sent, each in a lane with a scratch file of its own.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "app/UserDataFiles.h"
#include "platform/StoppableWorker.h"
#include "platform/WindowHandle.h"

namespace tavopix {

// Lanes of preparation: the picture being sent keeps its file in one while the next ones are
// made ready in the others, one per processor on the machines this runs on. Each has its
// scratch file (kUploadScratchNames).
inline constexpr int kPreparationLanes = static_cast<int>(kUploadScratchNames.size());

// The title a picture named `fileName` is sent with: the name, without its extension unless
// that is ".jpg" in any case, and with its dot kept when it is the name's first character
// (a.png → a, b.JPG → b.JPG, .png → .png).
std::u16string UploadTitle(std::u16string_view fileName);

// Decides what is sent for the picture at `storedPath`: `file` (a real path) and `title`
// (escaped as the SDK takes it). False when the picture cannot be read, fitted or converted.
bool PrepareUploadFile(const std::u16string& storedPath, bool keepFullSize,
                       const std::u16string& scratchPath, std::u16string& file,
                       std::u16string& title);

// What a preparation thread hands back with WM_UPLOAD_FILE_READY (PostOwned).
struct PreparedUpload {
    std::uint32_t generation = 0;  // which request this answers
    bool ok = false;
    std::u16string file;
    std::u16string title;
    std::u16string contentHash;  // of the original picture; empty when it could not be read
};

// Runs PrepareUploadFile on a thread per lane and posts each outcome to a window as it comes:
// preparations in different lanes run at once and may end in any order. UI thread.
class UploadFilePreparer {
public:
    // Stops the lane's previous preparation (a picture being converted is finished first, then
    // nothing is posted for it), then starts this one in it, converting into `scratchPath` when
    // the picture needs it. False when no thread could be made (nothing is posted then).
    [[nodiscard]] bool Start(int lane, HWND window, std::uint32_t generation,
                             std::u16string storedPath, bool keepFullSize,
                             std::u16string scratchPath);
    // Ends every preparation: a picture being converted is finished first, and nothing more is
    // posted once this returns.
    void Stop();

private:
    // A lane's stop drops none of the messages queued: they may be other lanes' answers.
    std::array<StoppableWorker, kPreparationLanes> lanes_;
};

}  // namespace tavopix
