// The picture filter the user chooses in the folder settings: which file types and size classes
// count as pictures and how recent they must be. Kept in ImgFilterCfg.dat as a 20-byte
// little-endian record: type bits, size bits, day count, 8 reserved bytes.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "app/UserDataFiles.h"

namespace tavopix {

inline constexpr std::uint32_t kTypeJpeg = 1;  // ".jpg" and ".jpeg"
inline constexpr std::uint32_t kTypeGif = 2;
inline constexpr std::uint32_t kTypePng = 4;
inline constexpr std::uint32_t kTypeBmp = 8;

inline constexpr std::uint32_t kSizeSmall = 1;   // 0 to 20480 bytes
inline constexpr std::uint32_t kSizeMiddle = 2;  // 20480 to 1048576 bytes
inline constexpr std::uint32_t kSizeLarge = 4;   // 1048576 to 52428800 bytes

inline constexpr std::size_t kPictureFilterBytes = 20;

struct PictureFilter {
    std::uint32_t typeBits = 0;
    std::uint32_t sizeBits = 0;
    std::uint32_t dayCount = 0;              // 0: no age filter; N: written within the last N days
    std::array<std::uint8_t, 8> reserved{};  // zero as written here, kept as read

    bool operator==(const PictureFilter&) const = default;
};

// What the main window uses, and writes back at once, when no filter file can be read.
inline constexpr PictureFilter kStartPictureFilter{kTypeJpeg, kSizeMiddle | kSizeLarge, 0, {}};
// What a picture search uses, without writing it, when no filter file can be read.
inline constexpr PictureFilter kSearchPictureFilter{kTypeJpeg, kSizeMiddle, 0, {}};

std::array<std::uint8_t, kPictureFilterBytes> EncodePictureFilter(const PictureFilter& filter);
PictureFilter DecodePictureFilter(const std::array<std::uint8_t, kPictureFilterBytes>& bytes);

// Reads the first 20 bytes of the file; false (with `filter` untouched) when the file is
// missing, unreadable or shorter than 20 bytes.
[[nodiscard]] bool LoadPictureFilter(const std::u16string& path, PictureFilter& filter);

// Replaces the file with the 20-byte record; the old file stays whole if writing fails.
[[nodiscard]] bool SavePictureFilter(const std::u16string& path, const PictureFilter& filter);

}  // namespace tavopix
