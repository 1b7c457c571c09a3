// For fuzz targets of the UTF-16 text routines: the fuzzer's bytes as little-endian UTF-16
// units, a trailing odd byte dropped, as the data files are read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tavopix::fuzzing {

inline std::u16string Utf16Units(const std::uint8_t* data, std::size_t size) {
    std::u16string text;
    text.reserve(size / 2);
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        text += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    }
    return text;
}

}  // namespace tavopix::fuzzing
