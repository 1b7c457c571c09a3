// The picture filter in force for the main window: loaded at start, replaced by each search
// when it starts (from its own thread) and copied by the folder listing and the folder
// collection, so reads and writes go through a lock.
#pragma once

#include <mutex>

#include "library/data/PictureFilter.h"

namespace tavopix {

class SharedPictureFilter {
public:
    PictureFilter Get() const {
        const std::lock_guard lock(mutex_);
        return filter_;
    }
    void Set(const PictureFilter& filter) {
        const std::lock_guard lock(mutex_);
        filter_ = filter;
    }

private:
    mutable std::mutex mutex_;
    PictureFilter filter_;
};

}  // namespace tavopix
