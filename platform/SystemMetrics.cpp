#include "platform/SystemMetrics.h"

#include <atomic>

namespace tavopix {

namespace {

std::atomic<int> screenWidth{DEFAULT_SCREEN_WIDTH};
std::atomic<int> screenHeight{DEFAULT_SCREEN_HEIGHT};
std::atomic<int> workAreaWidth{DEFAULT_SCREEN_WIDTH};
std::atomic<int> workAreaHeight{DEFAULT_WORK_AREA_HEIGHT};

void StoreIfPositive(std::atomic<int>& metric, int value) {
    if (value > 0) {
        metric.store(value, std::memory_order_relaxed);
    }
}

}  // namespace

int GetSystemMetrics(int index) {
    switch (index) {
        case SM_CXSCREEN:
            return screenWidth.load(std::memory_order_relaxed);
        case SM_CYSCREEN:
            return screenHeight.load(std::memory_order_relaxed);
        case SM_CXMINTRACK:
            return MIN_TRACK_WIDTH;
        case SM_CYMINTRACK:
            return MIN_TRACK_HEIGHT;
        case SM_CXMAXIMIZED:
            return workAreaWidth.load(std::memory_order_relaxed);
        case SM_CYMAXIMIZED:
            return workAreaHeight.load(std::memory_order_relaxed);
        default:
            return 0;
    }
}

void SetScreenMetrics(int newScreenWidth, int newScreenHeight, int newWorkAreaWidth,
                      int newWorkAreaHeight) {
    StoreIfPositive(screenWidth, newScreenWidth);
    StoreIfPositive(screenHeight, newScreenHeight);
    StoreIfPositive(workAreaWidth, newWorkAreaWidth);
    StoreIfPositive(workAreaHeight, newWorkAreaHeight);
}

}  // namespace tavopix
