// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/wavein/StreamClock.h"

#include <cmath>

namespace platform::wavein::detail {

std::int64_t frameHeardAt(const ClockReading& reading, TimePoint instant, std::uint32_t rate) {
    const double seconds = std::chrono::duration<double>(instant - reading.at).count();
    return static_cast<std::int64_t>(std::llround(reading.frame + seconds * rate));
}

LossTracker::LossTracker(std::uint32_t rate, double thresholdSeconds)
    : rate_(rate), threshold_(thresholdSeconds) {}

std::uint64_t LossTracker::report(std::uint64_t steadyMicroseconds, double position) {
    std::uint64_t lost = 0;
    if (last_ && steadyMicroseconds > last_->at) {
        const double elapsed = static_cast<double>(steadyMicroseconds - last_->at) / 1e6;
        const double advanced = (position - last_->position) / rate_;
        if (elapsed - advanced > threshold_) {
            lost = static_cast<std::uint64_t>(std::llround((elapsed - advanced) * rate_));
        }
    }
    last_ = Report{steadyMicroseconds, position};
    return lost;
}

std::vector<Overrun> boundedBy(std::vector<Overrun> losses, std::uint64_t missing) {
    std::uint64_t told = 0;
    for (const Overrun& loss : losses) {
        told += loss.frames;
    }
    if (told <= missing) {
        return losses;
    }
    const double share = static_cast<double>(missing) / static_cast<double>(told);
    std::vector<Overrun> bounded;
    for (const Overrun& loss : losses) {
        const auto frames =
            static_cast<std::uint64_t>(std::llround(static_cast<double>(loss.frames) * share));
        if (frames > 0) {
            bounded.push_back({loss.atFrame, frames});
        }
    }
    return bounded;
}

std::uint64_t keptBefore(std::uint64_t heard, const std::vector<Overrun>& losses) {
    std::uint64_t lost = 0;
    for (const Overrun& loss : losses) {
        const std::uint64_t gapBegins = loss.atFrame + lost;
        if (gapBegins >= heard) {
            break;
        }
        lost += std::min(loss.frames, heard - gapBegins);
    }
    return heard - lost;
}

}  // namespace platform::wavein::detail
