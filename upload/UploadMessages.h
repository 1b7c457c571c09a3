// The window messages, the timer and the page event of the upload dialog. The queue's thumbnail
// pass, the file preparation threads and the SDK's upload callback post these to the dialog's
// window; none of them touches the page.
#pragma once

#include <cstdint>

#include "engine/EventCodes.h"
#include "platform/WindowMessages.h"

namespace tavopix {

// The dialog has loaded its page: build the queue and start. wParam, lParam 0.
inline constexpr UINT WM_UPLOAD_BEGIN = WM_USER + 20;
// Thumbnail thread: a thumbnail is made (or failed); it waits for the answer.
inline constexpr UINT WM_UPLOAD_THUMB_READY = WM_USER + 21;
// Thumbnail thread: it wants the stored path of its next picture; it waits for the answer.
inline constexpr UINT WM_UPLOAD_THUMB_REQUEST = WM_USER + 22;
// The thumbnail pass is over (or none was needed).
inline constexpr UINT WM_UPLOAD_THUMBS_DONE = WM_USER + 23;
// SDK callback: progress of the running upload. wParam: the event code; lParam: last error.
inline constexpr UINT WM_UPLOAD_PROGRESS = WM_USER + 25;
// SDK callback: the running upload ended. wParam: 1 success, 0 failure; lParam: last error.
inline constexpr UINT WM_UPLOAD_RESULT = WM_USER + 26;
// File preparation thread: the picture is ready to send (or could not be made ready).
// wParam: a PreparedUpload record (UploadFilePreparer.h, PostOwned), owned by the receiver.
inline constexpr UINT WM_UPLOAD_FILE_READY = WM_USER + 27;

// Re-armed by every scroll of the queue; the thumbnails of the rows in view are made once it
// runs out, 150 ms after the last scroll.
inline constexpr UINT_PTR UPLOAD_THUMB_TIMER = 150001;
inline constexpr UINT UPLOAD_THUMB_DELAY_MS = 150;

// Raised by the behaviour common_scroll_list for its element on wheel turns, arrow keys and
// scrolls.
inline constexpr std::uint32_t SCROLL_LIST_EVENT = FIRST_APPLICATION_EVENT_CODE + 9;  // 265

}  // namespace tavopix
