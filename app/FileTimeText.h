// File times (100-ns ticks since 1601-01-01 UTC, platform/FileTime.h) as the text the detail
// views show.
#pragma once

#include <cstdint>
#include <string>

namespace tavopix {

// "YYYY-MM-DD hh:mm:ss" in UTC, or "未知时间" for a value that is not a valid time (above
// 0x7FFFFFFFFFFFFFFF).
void FormatFileTime(std::uint64_t fileTime, std::u16string& text);

}  // namespace tavopix
