#include "platform/wavein/StreamClock.h"

#include <cmath>

namespace platform::wavein::detail {

std::int64_t frameHeardAt(const ClockReading& reading, TimePoint instant, std::uint32_t rate) {
    const double seconds = std::chrono::duration<double>(instant - reading.at).count();
    return static_cast<std::int64_t>(std::llround(reading.frame + seconds * rate));
}

LossTracker::LossTracker(std::uint32_t rate, double thresholdSeconds)
    : rate_(rate), threshold_(thresholdSeconds) {}

std::uint64_t LossTracker::report(std::uint64_t serverMicroseconds, double position) {
    std::uint64_t lost = 0;
    if (last_ && serverMicroseconds > last_->server) {
        const double elapsed = static_cast<double>(serverMicroseconds - last_->server) / 1e6;
        const double advanced = (position - last_->position) / rate_;
        if (elapsed - advanced > threshold_) {
            lost = static_cast<std::uint64_t>(std::llround((elapsed - advanced) * rate_));
        }
    }
    last_ = Report{serverMicroseconds, position};
    return lost;
}

}  // namespace platform::wavein::detail
