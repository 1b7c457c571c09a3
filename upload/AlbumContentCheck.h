// Before the first pass of an upload: which of the chosen pictures the album holds already.
// A thread computes each picture's content hash (ovkContentHash, remembered by the SDK, so the
// uploads that follow do not read the files again), asks the album service which of them the
// album holds (OpenApi 141, in batches) and posts the answer to the dialog. The dialog then
// offers to skip those pictures or to upload them again.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "platform/StoppableWorker.h"
#include "platform/WindowHandle.h"
#include "platform/WindowMessages.h"

namespace tavopix {

// The check is over. wParam: an AlbumContent record (PostOwned), owned by the receiver.
inline constexpr UINT WM_UPLOAD_CONTENT_CHECKED = WM_USER + 28;

struct AlbumContent {
    struct Present {
        std::u16string path;  // stored path of the chosen picture
        std::u16string contentHash;
        std::u16string url;  // the picture in the album ("file_url")
    };
    bool answered = false;  // false when the service could not be asked
    std::vector<Present> present;
};

class AlbumContentCheck {
public:
    // Starts the check of `paths` (stored paths) against the album. False when no thread could
    // be made (nothing is posted then). UI thread.
    [[nodiscard]] bool Start(HWND window, std::u16string albumId,
                             std::vector<std::u16string> paths);
    // Ends a check under way (a request to the service is abandoned), waits for its thread and
    // drops its answer if it was not handled yet.
    void Stop() { worker_.Stop(); }

private:
    void Run(HWND window, const std::u16string& albumId, const std::vector<std::u16string>& paths);
    // One request for `hashes`; false when it got no usable answer.
    bool Ask(const std::u16string& albumId, const std::vector<std::u16string>& hashes,
             std::u16string& reply);

    std::atomic<bool> answered_{false};  // the running request's completion came
    StoppableWorker worker_{WM_UPLOAD_CONTENT_CHECKED};
};

}  // namespace tavopix
