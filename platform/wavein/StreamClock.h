// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// What a capture stream's own clock says: which frame was heard at a given instant, and how much
// sound the server lost between two of its reports. No backend types: a backend feeds it readings.

#include "platform/wavein/WaveIn.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

namespace platform::wavein::detail {

using TimePoint = std::chrono::steady_clock::time_point;

// At `at`, the sound reaching the source was the stream's frame `frame` (frames counted from the
// stream's first, fractional, negative before it).
struct ClockReading {
    TimePoint at;
    double frame = 0;
};

// The frame heard at `instant`, from a reading taken before or after it; the source's clock is
// taken to run at `rate` over the few seconds between.
std::int64_t frameHeardAt(const ClockReading& reading, TimePoint instant, std::uint32_t rate);

// Sound the server lost: between two of its reports more time passed than the stream's position
// (the frames captured so far, those still in the device counted in) moved on. A source's own clock
// drifts from the computer's by far less than `threshold` between two reports, a second or so
// apart, so only a real gap is told.
class LossTracker {
public:
    LossTracker(std::uint32_t rate, double thresholdSeconds);

    // Forgets the last report: after a cork the stream stood still while the server's clock ran on.
    void restart() { last_.reset(); }
    // A report: when it was current, in microseconds of a clock that never jumps, and the stream's
    // position in frames. Returns the frames lost since the last report, 0 when none.
    std::uint64_t report(std::uint64_t steadyMicroseconds, double position);

private:
    struct Report {
        std::uint64_t at;
        double position;
    };
    std::uint32_t rate_;
    double threshold_;
    std::optional<Report> last_;
};

// `losses` told no longer than `missing` frames in all: each shortened in proportion.
std::vector<Overrun> boundedBy(std::vector<Overrun> losses, std::uint64_t missing);

// Of the take's first `heard` frames (by the clock, gaps included), those the device handed over:
// `losses` (in order, each at the frames kept before it) left out. Heard inside a gap, the frame
// after it.
std::uint64_t keptBefore(std::uint64_t heard, const std::vector<Overrun>& losses);

}  // namespace platform::wavein::detail
