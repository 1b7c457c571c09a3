// The window messages, engine events and timer of the photo library: what its workers post to
// the main window and to the folder dialog, what its behaviours raise, and the timer that
// coalesces the grid's scrolling before the thumbnail worker starts over.
#pragma once

#include <cstdint>

#include "engine/EventCodes.h"
#include "platform/WindowMessages.h"

namespace tavopix {

// ---- To the main window -----------------------------------------------------------------------
// The search found no chosen folder and waits for the folder dialog. wParam 0.
inline constexpr UINT WM_SEARCH_NEEDS_FOLDERS = WM_USER + 2;
// One folder's direct picture count; wParam: FolderResult* (the receiver frees it).
inline constexpr UINT WM_FOLDER_RESULT = WM_USER + 4;
// The search walked every chosen folder without being stopped. wParam 0.
inline constexpr UINT WM_SEARCH_DONE = WM_USER + 5;
// Sent when a listing starts: the item list and the grid are emptied. wParam 0.
inline constexpr UINT WM_CLEAR_GRID = WM_USER + 6;
// Posted when a listing ends: the grid is built from the item list. wParam 0.
inline constexpr UINT WM_BUILD_GRID = WM_USER + 7;
// One item's thumbnail is ready; wParam: PictureItem* (owned by the item list).
inline constexpr UINT WM_THUMBNAIL_READY = WM_USER + 8;
// The cache has been read into the folder tree. wParam 0.
inline constexpr UINT WM_CACHE_LOADED = WM_USER + 10;

// ---- To the folder dialog ---------------------------------------------------------------------
// One folder found by the enumeration worker; wParam: FolderEntry* (the receiver frees it).
inline constexpr UINT WM_FOLDER_FOUND = WM_USER + 100;
// The enumeration worker started (sent) or ended (posted). wParam 0.
inline constexpr UINT WM_ENUMERATION_STATE = WM_USER + 101;

// ---- Engine events ----------------------------------------------------------------------------
// bhv_folder_view: the user pressed a folder of the main window's tree (raised for its ".cp").
inline constexpr std::uint32_t FOLDER_OPENED_EVENT = FIRST_APPLICATION_EVENT_CODE + 2;

// ---- Timers -----------------------------------------------------------------------------------
// Armed for 50 ms by each scroll, resize or zoom of the grid; on expiry the thumbnail worker
// starts over on the new visible range.
inline constexpr UINT_PTR THUMB_RESUME_TIMER = 1000200;
inline constexpr UINT kThumbResumeDelayMs = 50;
// Armed after each slice of folder results the main window applies while more wait; on expiry
// the next slice goes in (library/workers/FolderResultFeed.h).
inline constexpr UINT_PTR FOLDER_RESULTS_TIMER = 1000201;

}  // namespace tavopix
