// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// What a sound server's timing reports say it lost while a take ran, and where each gap lies in the
// take. No backend types: a backend hands it the fields of each report.

#include "platform/wavein/StreamClock.h"
#include "platform/wavein/TakeTimeline.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace platform::wavein::detail {

struct TimingReport {
    // When the report was current by the wall clock, and the wall and the monotonic clock read
    // together as it was handled; microseconds.
    std::int64_t wallAt = 0;
    std::int64_t handledWall = 0;
    std::int64_t handledSteady = 0;
    // Frames the server captured for the stream, those its source still holds back counted in.
    double position = 0;
    // The server's write and read index of the stream's queue, and the most that queue holds; bytes.
    std::int64_t writeIndex = 0;
    std::int64_t readIndex = 0;
    std::optional<std::int64_t> queueLength;
};

// When `report` was current, on the monotonic clock. The wall clock may be set between two reports
// (NTP, by hand); how old a report was when it was handled does not change with it.
std::int64_t steadyInstantOf(const TimingReport& report);

class ServerLosses {
public:
    ServerLosses(std::uint32_t rate, std::uint32_t blockAlign);

    // Forgets the last report: after a cork the stream stood still while time ran on.
    void restart();
    // A report while the take runs: `received` frames have arrived (holes counted) and `inTake` of
    // them went into the take, which lies in the stream as `timeline` says.
    void report(const TimingReport& report, std::uint64_t received, std::uint64_t inTake,
                const TakeTimeline& timeline);
    // Frames the server skipped without a hole. They never arrive: the stream's clock runs that far
    // ahead of the frames that did.
    std::int64_t skipped() const { return skippedFrames_; }

    // Every loss found, in order, at the take frame where its gap lies (none beyond the take's
    // `inTake` frames). With `heldFrames`, the frames of time from the press to the release, no more
    // is told than the take misses: that time less what pauses left out and what the take holds (a
    // server whose clock ran fast while it dropped sound counts more lost than that).
    std::vector<Overrun> told(std::optional<std::uint64_t> heldFrames, const TakeTimeline& timeline,
                              std::uint64_t inTake) const;

private:
    bool tell(std::uint64_t atFrame, std::uint64_t frames, const TakeTimeline& timeline);

    std::uint32_t rate_;
    std::uint32_t blockAlign_;
    LossTracker clock_;
    std::int64_t lastReadIndex_ = 0;
    std::optional<std::int64_t> skippedBaseline_;  // read index less what arrived, at the last report
    std::int64_t skippedFrames_ = 0;
    std::vector<Overrun> losses_;
    // A loss the clock showed at the last report, and the take's frames at that moment.
    struct Stall {
        std::size_t index;
        std::uint64_t inTake;
    };
    std::optional<Stall> stall_;
};

}  // namespace platform::wavein::detail
