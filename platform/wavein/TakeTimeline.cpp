// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/wavein/TakeTimeline.h"

#include <algorithm>

namespace platform::wavein::detail {

std::int64_t TakeTimeline::first() const {
    // Nothing lies before the stream's first frame.
    return std::max<std::int64_t>(first_.value_or(0), 0);
}

void TakeTimeline::pause(std::int64_t at) {
    if (paused()) {
        return;
    }
    // A pause never reaches back into a span already paused.
    const std::int64_t from = pauses_.empty() ? at : std::max(at, pauses_.back().to);
    pauses_.push_back({from, kOpen});
}

void TakeTimeline::resume(std::int64_t at) {
    if (paused()) {
        pauses_.back().to = std::max(at, pauses_.back().from);
    }
}

bool TakeTimeline::paused() const {
    return !pauses_.empty() && pauses_.back().to == kOpen;
}

std::optional<std::int64_t> TakeTimeline::needed() const {
    if (!last_) {
        return std::nullopt;
    }
    std::int64_t end = *last_;
    if (paused()) {
        end = std::min(end, pauses_.back().from);
    }
    return std::max(end, first());
}

std::vector<FrameSpan> TakeTimeline::taken(std::int64_t from, std::int64_t to) const {
    std::int64_t lo = std::max(from, first());
    const std::int64_t hi = last_ ? std::min(to, *last_) : to;
    std::vector<FrameSpan> spans;
    for (const FrameSpan& pause : pauses_) {
        if (lo >= hi || pause.from >= hi) {
            break;
        }
        if (pause.to <= lo || pause.length() == 0) {
            continue;
        }
        if (pause.from > lo) {
            spans.push_back({lo, pause.from});
        }
        lo = std::max(lo, pause.to);
    }
    if (lo < hi) {
        spans.push_back({lo, hi});
    }
    return spans;
}

std::uint64_t TakeTimeline::pausedBefore(std::int64_t until) const {
    const std::int64_t lo = first();
    const std::int64_t hi = last_ ? std::min(until, *last_) : until;
    std::uint64_t paused = 0;
    for (const FrameSpan& pause : pauses_) {
        paused +=
            static_cast<std::uint64_t>(FrameSpan{std::max(pause.from, lo), std::min(pause.to, hi)}.length());
    }
    return paused;
}

std::uint64_t TakeTimeline::takeFrameOf(std::int64_t frame) const {
    const std::int64_t lo = first();
    const std::int64_t at = std::max(last_ ? std::min(frame, *last_) : frame, lo);
    return static_cast<std::uint64_t>(at - lo) - pausedBefore(at);
}

}  // namespace platform::wavein::detail
