#include "upload/SpeedMeter.h"

#include "platform/Clock.h"

namespace tavopix {

void SpeedMeter::Reset() {
    ResetAt(GetTickCount());
}

void SpeedMeter::Restart(std::uint64_t bytesSoFar) {
    ResetAt(GetTickCount());
    previousBytes_ = static_cast<std::uint32_t>(bytesSoFar);
}

void SpeedMeter::ResetAt(std::uint32_t nowTicks) {
    slots_ = {};
    writeIndex_ = 0;
    fill_ = 0;
    sumMs_ = 0;
    sumBytes_ = 0;
    previousBytes_ = 0;
    previousTicks_ = nowTicks;
}

void SpeedMeter::AddSample(std::uint64_t bytesSoFar) {
    AddSampleAt(GetTickCount(), bytesSoFar);
}

void SpeedMeter::AddSampleAt(std::uint32_t nowTicks, std::uint64_t bytesSoFar) {
    const auto bytesNow = static_cast<std::uint32_t>(bytesSoFar);
    const Slot sample{nowTicks - previousTicks_, bytesNow - previousBytes_};
    Slot& slot = slots_[writeIndex_];
    if (fill_ == kSlots) {
        sumMs_ -= slot.elapsedMs;
        sumBytes_ -= slot.bytes;
    }
    slot = sample;
    sumMs_ += sample.elapsedMs;
    sumBytes_ += sample.bytes;
    previousTicks_ = nowTicks;
    previousBytes_ = bytesNow;
    writeIndex_ = (writeIndex_ + 1) % kSlots;
    if (fill_ < kSlots)
        ++fill_;
}

float SpeedMeter::Rate() const {
    if (sumMs_ == 0)
        return 0.0F;
    return static_cast<float>((static_cast<double>(sumBytes_) / 1024.0) /
                              (static_cast<double>(sumMs_) / 1000.0));
}

}  // namespace tavopix
