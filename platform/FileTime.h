// File times as the program stores and compares them: 100-nanosecond ticks since
// 1601-01-01 00:00 UTC in an unsigned 64-bit value.
#pragma once

#include <cstdint>

namespace tavopix {

inline constexpr std::int64_t kFileTimeTicksPerSecond = 10'000'000;
// Seconds from 1601-01-01 to the Unix epoch 1970-01-01.
inline constexpr std::int64_t kFileTimeEpochOffsetSeconds = 11'644'473'600;

// The file time of a moment given as seconds and nanoseconds since 1970-01-01 UTC; moments
// before 1601 give 0.
constexpr std::uint64_t FileTimeFromUnix(std::int64_t seconds, std::int64_t nanoseconds) {
    std::int64_t sinceEpoch = seconds + kFileTimeEpochOffsetSeconds;
    if (sinceEpoch < 0) {
        return 0;
    }
    return static_cast<std::uint64_t>(sinceEpoch) * kFileTimeTicksPerSecond +
           static_cast<std::uint64_t>(nanoseconds / 100);
}

}  // namespace tavopix
