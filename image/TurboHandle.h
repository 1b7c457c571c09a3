// Internal to image/: an owned TurboJPEG instance, destroyed with its scope, so every call
// keeps its own decoder or encoder state.
#pragma once

#include <turbojpeg.h>

#include <cstring>
#include <memory>
#include <type_traits>

namespace tavopix {

struct TurboHandleDeleter {
    void operator()(void* handle) const { tjDestroy(handle); }
};

using TurboHandle = std::unique_ptr<std::remove_pointer_t<tjhandle>, TurboHandleDeleter>;

// The one warning that is safe to pass over: stray bytes between segments, which many cameras
// write and which cost no pixel. Every other warning means truncated or corrupt data.
inline bool OnlyStrayBytes(tjhandle handle) {
    return tjGetErrorCode(handle) == TJERR_WARNING &&
           std::strstr(tjGetErrorStr2(handle), "extraneous bytes") != nullptr;
}

// Reads the JPEG's header; a warning on the way still leaves the header read.
inline bool ReadTurboHeader(tjhandle handle, const unsigned char* data, unsigned long size,
                            int& width, int& height, int& subsampling, int& colorspace) {
    return tjDecompressHeader3(handle, data, size, &width, &height, &subsampling, &colorspace) ==
               0 ||
           tjGetErrorCode(handle) == TJERR_WARNING;
}

}  // namespace tavopix
