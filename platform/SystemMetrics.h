// The screen as the windows see it: its size and the work area that a maximised window covers.
// The view sets them from the browser it renders in (the browser window is the "screen"); until
// it does, a common desktop size stands in, so windows can be sized and centred without a view.
#pragma once

#include "platform/WinTypes.h"

namespace tavopix {

inline constexpr int SM_CXSCREEN = 0;
inline constexpr int SM_CYSCREEN = 1;
inline constexpr int SM_CXMINTRACK = 34;
inline constexpr int SM_CYMINTRACK = 35;
inline constexpr int SM_CXMAXIMIZED = 61;
inline constexpr int SM_CYMAXIMIZED = 62;

// The smallest size a user can drag a window to, unless its procedure asks for more.
inline constexpr int MIN_TRACK_WIDTH = 136;
inline constexpr int MIN_TRACK_HEIGHT = 39;

// The stand-ins without a view: a 1920 × 1080 screen with a 40-pixel task bar.
inline constexpr int DEFAULT_SCREEN_WIDTH = 1920;
inline constexpr int DEFAULT_SCREEN_HEIGHT = 1080;
inline constexpr int DEFAULT_WORK_AREA_HEIGHT = 1040;

// The value of one metric; 0 for an index it does not know. Any thread.
int GetSystemMetrics(int index);

// Sets the screen size and the work area size (a maximised window's size, placed at 0, 0).
// Non-positive values are ignored, keeping the previous ones. Any thread.
void SetScreenMetrics(int screenWidth, int screenHeight, int workAreaWidth, int workAreaHeight);

}  // namespace tavopix
