// Making a picture ready to send: the title it is sent with, and the file — the picture itself
// when the service can take it as it is, otherwise a JPEG written to the program's one scratch
// file "~uploadtmp.jpg" (fitted into 1600 x 1600, or converted at full size when the user asked
// for full size).
//
// The scratch file is private to the user (mode 0600) and is emptied before every conversion,
// so a conversion that fails can never leave the previous picture there to be sent instead.
//
// Fitting a large photograph takes a noticeable fraction of a second, so the dialog runs it on
// a thread of its own (UploadFilePreparer) and stays responsive meanwhile.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <thread>

#include "platform/WindowHandle.h"

namespace tavopix {

inline constexpr std::u16string_view kUploadScratchName = u"~uploadtmp.jpg";

// The title a picture named `fileName` is sent with: the name, without its extension unless
// that is ".jpg" in any case, and with its dot kept when it is the name's first character
// (a.png → a, b.JPG → b.JPG, .png → .png).
std::u16string UploadTitle(std::u16string_view fileName);

// Decides what is sent for the picture at `storedPath`: `file` (a real path) and `title`
// (escaped as the SDK takes it). False when the picture cannot be read, fitted or converted.
bool PrepareUploadFile(const std::u16string& storedPath, bool keepFullSize,
                       const std::u16string& scratchPath, std::u16string& file,
                       std::u16string& title);

// What the preparation thread hands back with WM_UPLOAD_FILE_READY.
struct PreparedUpload {
    std::uint32_t generation = 0;  // which request this answers
    bool ok = false;
    std::u16string file;
    std::u16string title;
    std::u16string contentHash;  // of the original picture; empty when it could not be read
};

// Runs PrepareUploadFile on a thread and posts the outcome to a window. One preparation at a
// time; UI thread.
class UploadFilePreparer {
public:
    UploadFilePreparer();
    ~UploadFilePreparer() { Wait(); }
    UploadFilePreparer(const UploadFilePreparer&) = delete;
    UploadFilePreparer& operator=(const UploadFilePreparer&) = delete;

    // Waits for the previous preparation, then starts this one. False when no thread could be
    // made (nothing is posted then).
    [[nodiscard]] bool Start(HWND window, std::uint32_t generation, std::u16string storedPath,
                             bool keepFullSize, std::u16string scratchPath);
    // Returns once no preparation runs. A conversion is not interrupted: this waits for it.
    void Wait();

private:
    std::thread thread_;
};

}  // namespace tavopix
