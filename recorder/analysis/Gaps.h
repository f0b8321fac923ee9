// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Track boundaries of a record or tape side, found at the gaps between its tracks. A gap is a
// stretch of at least the minimum silence whose windows' loudness (Loudness.h) stays below the
// threshold, not counting sound above it that lasts less than 0.2 s (a run of fewer than five
// windows, what such a sound touches: a record's clicks and crackle; the window's 50 ms make the
// cut fall between 0.15 and 0.25 s). A boundary goes in the middle of each gap; a gap that
// touches the start or the end of the searched range (the lead-in, the needle's drop, the run-out)
// is not between tracks and places none. Everything is found from a LoudnessProfile, so a change of
// the settings costs a pass over the windows, not over the samples.

#include "recorder/analysis/Loudness.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace analysis {

inline constexpr double kShortSoundSeconds = 0.2;

struct GapSettings {
    double thresholdDb = -45.0;          // "Limite"
    double minimumSilenceSeconds = 1.5;  // "Silêncio mínimo"
};

// Why settings are refused (a field refuses them): a threshold above 0 dBFS, a minimum silence
// of 0 or less (or either not a number).
enum class GapSettingsFault { None, ThresholdAboveFullScale, NoMinimumSilence };
GapSettingsFault faultOf(const GapSettings& settings);

// Frames [from, to) of the profiled stretch.
struct FrameRange {
    std::int64_t from = 0;
    std::int64_t to = 0;
};

struct Gap {
    std::int64_t first = 0;  // first quiet frame
    std::int64_t end = 0;    // one past the last
    bool atStart = false;    // touches the start of the searched range
    bool atEnd = false;      // touches its end

    bool betweenTracks() const { return !atStart && !atEnd; }
    // Where its boundary goes: the middle frame, rounded down.
    std::int64_t middle() const { return first + (end - first) / 2; }
};

struct TrackSplit {
    GapSettingsFault fault = GapSettingsFault::None;  // set: nothing was searched
    std::vector<Gap> gaps;                            // every gap, edges too, in order
    std::vector<std::int64_t> boundaries;             // the middle of each gap between tracks
};

// Finds the gaps of `profile` within `within` (all of it by default; a range reaching past the
// profile is cut to it). Frames count from the profile's first frame. No boundaries (and no
// fault) means no gap between tracks with these settings.
TrackSplit findTrackBoundaries(const LoudnessProfile& profile, const GapSettings& settings,
                               std::optional<FrameRange> within = std::nullopt);

}  // namespace analysis
