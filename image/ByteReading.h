// Internal to image/: reading a picture file's bytes in memory. Numbers in either byte order, as
// the file headers store them, and a cursor the codec libraries' read callbacks take from.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "image/PictureCodecs.h"

namespace tavopix {

inline std::uint32_t BigEndian16(const std::uint8_t* p) {
    return (p[0] << 8) | p[1];
}
inline std::uint32_t BigEndian32(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           p[3];
}
inline std::uint32_t LittleEndian16(const std::uint8_t* p) {
    return p[0] | (p[1] << 8);
}
inline std::uint32_t LittleEndian32(const std::uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t{p[3]} << 24);
}

struct ByteCursor {
    ByteSpan bytes;
    std::size_t offset = 0;

    // Copies the next `count` bytes, or as many as are left, to `to`: the number copied.
    std::size_t Take(void* to, std::size_t count) {
        const std::size_t taken = std::min(count, bytes.size() - offset);
        std::memcpy(to, bytes.data() + offset, taken);
        offset += taken;
        return taken;
    }
};

}  // namespace tavopix
