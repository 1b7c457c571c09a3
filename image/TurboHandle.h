// Internal to image/: an owned TurboJPEG instance, destroyed with its scope, so every call
// keeps its own decoder or encoder state.
#pragma once

#include <turbojpeg.h>

#include <memory>
#include <type_traits>

namespace tavopix {

struct TurboHandleDeleter {
    void operator()(void* handle) const { tjDestroy(handle); }
};

using TurboHandle = std::unique_ptr<std::remove_pointer_t<tjhandle>, TurboHandleDeleter>;

}  // namespace tavopix
