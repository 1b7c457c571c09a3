// The upload speed over the last ten progress reports of a transfer: each report adds the time
// and the bytes since the one before, and the rate is their sums over the ring, so a stall or a
// burst counts for a few seconds and is then forgotten.
//
// One thread uses a meter at a time (the SDK's transfer thread during an upload); it holds no
// lock. Times are the 32-bit millisecond tick count, taken as unsigned differences.
#pragma once

#include <array>
#include <cstdint>

namespace tavopix {

class SpeedMeter {
public:
    static constexpr std::uint32_t kSlots = 10;

    SpeedMeter() { Reset(); }

    // Empties the ring and starts timing from now, at byte 0.
    void Reset();
    // Empties the ring and starts timing from now, at `bytesSoFar`: a transfer that goes on
    // after a wait, whose wait must not count.
    void Restart(std::uint64_t bytesSoFar);
    // Records the bytes sent so far, now.
    void AddSample(std::uint64_t bytesSoFar);
    // The same with the time given, for callers that read the clock themselves.
    void AddSampleAt(std::uint32_t nowTicks, std::uint64_t bytesSoFar);
    void ResetAt(std::uint32_t nowTicks);
    // Kilobytes per second over the samples in the ring; 0 before any time has passed.
    float Rate() const;

private:
    struct Slot {
        std::uint32_t elapsedMs = 0;
        std::uint32_t bytes = 0;
    };
    std::array<Slot, kSlots> slots_{};
    std::uint32_t writeIndex_ = 0;
    std::uint32_t fill_ = 0;
    std::uint32_t sumMs_ = 0;
    std::uint32_t sumBytes_ = 0;
    std::uint32_t previousTicks_ = 0;
    std::uint32_t previousBytes_ = 0;
};

}  // namespace tavopix
