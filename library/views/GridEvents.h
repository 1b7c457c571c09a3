// The engine events the photo grid and the detail viewer raise towards the main window, and the
// viewer's hint timer.
#pragma once

#include <cstdint>

#include "engine/EventCodes.h"
#include "platform/WindowMessages.h"

namespace tavopix {

// bhv_img_view: the grid was scrolled or wheeled; the thumbnail worker starts over 50 ms later.
inline constexpr std::uint32_t GRID_SCROLLED_EVENT = FIRST_APPLICATION_EVENT_CODE + 3;  // 259
// bhv_img_view: a cell's picture was double-clicked (raised for the cell); show it large.
inline constexpr std::uint32_t SHOW_DETAIL_EVENT = FIRST_APPLICATION_EVENT_CODE + 5;  // 261
// bhv_img_detail: step to the previous (reason 0) or the next (reason 1) picture.
inline constexpr std::uint32_t DETAIL_STEP_EVENT = FIRST_APPLICATION_EVENT_CODE + 8;  // 264
inline constexpr std::uintptr_t kStepPrevious = 0;
inline constexpr std::uintptr_t kStepNext = 1;
// bhv_img_view: the selection may have changed; the status line follows it.
inline constexpr std::uint32_t SELECTION_CHANGED_EVENT = FIRST_APPLICATION_EVENT_CODE + 55;  // 311

// The end-of-list hint of the viewer stays this long.
inline constexpr UINT_PTR DETAIL_HINT_TIMER = 20001;
inline constexpr UINT kDetailHintMs = 3000;

}  // namespace tavopix
