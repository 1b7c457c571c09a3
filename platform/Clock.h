// Time as the workers measure it: a millisecond tick count for intervals and speeds, and a
// sleep for the polling loops that wait on stop and running flags.
#pragma once

#include <cstdint>

namespace tavopix {

// Milliseconds of a monotonic clock, cut to 32 bits: it wraps after about 49.7 days, so
// callers take differences as unsigned 32-bit values (now - then) and never compare ticks.
std::uint32_t GetTickCount();

// The current UTC time as a file time (platform/FileTime.h ticks), for age tests of files.
std::uint64_t GetSystemTimeAsFileTime();

// Blocks the calling thread for `milliseconds` (0 only yields).
void Sleep(std::uint32_t milliseconds);

}  // namespace tavopix
