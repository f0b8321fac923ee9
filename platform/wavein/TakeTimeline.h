// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Where a take lies in its capture stream: from the frame heard at the press to the one heard at the
// release, less the spans heard while it was paused. Frames are the stream's, counted as they arrive
// (holes included, what the server skipped without a hole not). Plain arithmetic: a backend feeds it
// the frames its clock names.

#include <cstdint>
#include <optional>
#include <vector>

namespace platform::wavein::detail {

// Stream frames [from, to).
struct FrameSpan {
    std::int64_t from = 0;
    std::int64_t to = 0;
    std::int64_t length() const { return to > from ? to - from : 0; }
    bool operator==(const FrameSpan&) const = default;
};

class TakeTimeline {
public:
    // The take begins with stream frame `first` (heard at the press; negative when the press came
    // before the stream's first frame). Until then, and without a press, it begins with the stream.
    void begin(std::int64_t first) { first_ = first; }
    bool begun() const { return first_.has_value(); }
    // The first stream frame that can be the take's.
    std::int64_t first() const;

    // Frames from `at` on pass by until the resume; nothing while already paused.
    void pause(std::int64_t at);
    // Frames from `at` on are the take's again (never from before the pause began).
    void resume(std::int64_t at);
    bool paused() const;

    // The take ends before stream frame `last` (heard at the release).
    void end(std::int64_t last) { last_ = last; }
    const std::optional<std::int64_t>& last() const { return last_; }
    // Once the stream has brought this many frames, nothing more can be the take's: the end, or where
    // the pause the take ended in began. None before the end is known.
    std::optional<std::int64_t> needed() const;

    // The parts of stream frames [from, to) that are the take's, in order.
    std::vector<FrameSpan> taken(std::int64_t from, std::int64_t to) const;
    // The take's frames heard before stream frame `frame`: where that frame lies in the take.
    std::uint64_t takeFrameOf(std::int64_t frame) const;
    // Frames between the take's first and `until` that pauses left out.
    std::uint64_t pausedBefore(std::int64_t until) const;

private:
    static constexpr std::int64_t kOpen = INT64_MAX;
    std::optional<std::int64_t> first_;
    std::optional<std::int64_t> last_;
    std::vector<FrameSpan> pauses_;  // in order, apart; the last one open (to kOpen) while paused
};

}  // namespace platform::wavein::detail
