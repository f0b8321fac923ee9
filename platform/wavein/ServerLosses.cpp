// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/wavein/ServerLosses.h"

#include <algorithm>
#include <utility>

namespace platform::wavein::detail {

namespace {

// Between two timing reports (a second or so apart) the stream's position may lag the clock by a
// few milliseconds of jitter; a gap beyond this is sound the server lost.
constexpr double kLossThreshold = 0.05;
// No report is older than the time anyone waits for the server; an age beyond it is a clock set
// while the report travelled.
constexpr std::int64_t kOldestReport = 5'000'000;

}  // namespace

std::int64_t steadyInstantOf(const TimingReport& report) {
    const std::int64_t age = std::clamp<std::int64_t>(report.handledWall - report.wallAt, 0, kOldestReport);
    return report.handledSteady - age;
}

ServerLosses::ServerLosses(std::uint32_t rate, std::uint32_t blockAlign)
    : rate_(rate), blockAlign_(blockAlign), clock_(rate, kLossThreshold) {}

void ServerLosses::restart() {
    clock_.restart();
    skippedBaseline_.reset();
    stall_.reset();
}

void ServerLosses::report(const TimingReport& report, std::uint64_t received, std::uint64_t inTake,
                          const TakeTimeline& timeline) {
    const std::uint64_t lost = clock_.report(
        static_cast<std::uint64_t>(std::max<std::int64_t>(steadyInstantOf(report), 0)), report.position);
    const std::int64_t readAt = lastReadIndex_;
    lastReadIndex_ = report.readIndex;
    // A server that drops what its queue cannot hold by moving the queue's read index on (PipeWire
    // does) sends no hole: the read index runs ahead of what arrived here. libpulse already counts
    // what waits unread in the stream out of the record stream's read index, so it is set against
    // what was read, and nothing unread is counted a second time.
    const std::int64_t skipped = report.readIndex - static_cast<std::int64_t>(received * blockAlign_);
    std::uint64_t skippedNow = 0;
    if (skippedBaseline_ &&
        skipped - *skippedBaseline_ > static_cast<std::int64_t>(kLossThreshold * rate_) * blockAlign_) {
        skippedNow = static_cast<std::uint64_t>((skipped - *skippedBaseline_) / blockAlign_);
        skippedFrames_ += static_cast<std::int64_t>(skippedNow);
    }
    skippedBaseline_ = skipped;
    // A clock loss told at the last report whose skip shows only now is the same stall.
    const std::optional<Stall> stall = std::exchange(stall_, std::nullopt);
    if (skippedNow > 0) {
        // One stall, seen two ways: sound the server never queued (its clock ran on) and sound it
        // queued and then skipped unread. Neither ever arrives, so the gap lies where the take stood
        // when the stall was first seen; what came after is from after the stall.
        if (stall && stall->index < losses_.size()) {
            Overrun& told = losses_[stall->index];
            told = {stall->inTake, told.frames + lost + skippedNow};
        } else {
            tell(inTake, lost + skippedNow, timeline);
        }
        return;
    }
    if (lost == 0) {
        return;
    }
    // A server that keeps what it holds and drops what comes after (PulseAudio) leaves the gap where
    // its queue for the stream filled, which may lie in sound not yet read.
    std::int64_t at = report.writeIndex;
    if (report.queueLength) {
        at = std::min(at, readAt + *report.queueLength);
    }
    if (tell(timeline.takeFrameOf(at / blockAlign_ - skippedFrames_), lost, timeline)) {
        stall_ = Stall{losses_.size() - 1, inTake};
    }
}

bool ServerLosses::tell(std::uint64_t atFrame, std::uint64_t frames, const TakeTimeline& timeline) {
    // Sound lost while the take is paused would have passed by all the same.
    if (timeline.paused()) {
        return false;
    }
    losses_.push_back({atFrame, frames});
    return true;
}

std::vector<Overrun> ServerLosses::told(std::optional<std::uint64_t> heldFrames, const TakeTimeline& timeline,
                                        std::uint64_t inTake) const {
    std::vector<Overrun> all = losses_;
    if (heldFrames) {
        const std::uint64_t counted = timeline.pausedBefore(INT64_MAX) + inTake;
        all = boundedBy(std::move(all), *heldFrames > counted ? *heldFrames - counted : 0);
    }
    for (Overrun& loss : all) {
        loss.atFrame = std::min(loss.atFrame, inTake);
    }
    return all;
}

}  // namespace platform::wavein::detail
