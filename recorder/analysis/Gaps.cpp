// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "recorder/analysis/Gaps.h"

#include <algorithm>
#include <cmath>

namespace analysis {

namespace {

// A sound lifts the windows it touches, on average its length plus one window: its edges fall
// inside windows. A run of loud windows is short when it is shorter than what 0.2 s touches on
// average: up to 0.15 s a sound is always ignored, from 0.25 s it always counts.
constexpr std::size_t kShortSoundWindows =
    static_cast<std::size_t>(kShortSoundSeconds / kWindowSeconds + 0.5) + 1;

}  // namespace

GapSettingsFault faultOf(const GapSettings& settings) {
    if (!(settings.thresholdDb <= 0.0)) {
        return GapSettingsFault::ThresholdAboveFullScale;
    }
    if (!(settings.minimumSilenceSeconds > 0.0) || !std::isfinite(settings.minimumSilenceSeconds)) {
        return GapSettingsFault::NoMinimumSilence;
    }
    return GapSettingsFault::None;
}

TrackSplit findTrackBoundaries(const LoudnessProfile& profile, const GapSettings& settings,
                               std::optional<FrameRange> within) {
    TrackSplit split;
    split.fault = faultOf(settings);
    if (split.fault != GapSettingsFault::None || profile.windowFrames <= 0) {
        return split;
    }
    const FrameRange range = within.value_or(FrameRange{0, profile.frames});
    const std::int64_t from = std::clamp<std::int64_t>(range.from, 0, profile.frames);
    const std::int64_t to = std::clamp<std::int64_t>(range.to, from, profile.frames);
    if (from == to) {
        return split;
    }
    const std::int64_t window = profile.windowFrames;
    const auto firstWindow = static_cast<std::size_t>(from / window);
    const auto endWindow = std::min(static_cast<std::size_t>((to - 1) / window) + 1, profile.db.size());
    if (endWindow <= firstWindow) {
        return split;  // a profile whose windows do not cover its frames
    }
    const std::size_t count = endWindow - firstWindow;

    // Which windows count as quiet: those below the threshold, and short runs of loud ones.
    std::vector<bool> quiet(count);
    for (std::size_t i = 0; i < count; ++i) {
        quiet[i] = profile.db[firstWindow + i] < settings.thresholdDb;
    }
    for (std::size_t i = 0; i < count;) {
        if (quiet[i]) {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < count && !quiet[end]) {
            ++end;
        }
        if (end - i < kShortSoundWindows) {
            std::fill(quiet.begin() + static_cast<std::ptrdiff_t>(i),
                      quiet.begin() + static_cast<std::ptrdiff_t>(end), true);
        }
        i = end;
    }

    const std::int64_t minimum =
        std::max<std::int64_t>(1, framesIn(settings.minimumSilenceSeconds, profile.rate));
    for (std::size_t i = 0; i < count;) {
        if (!quiet[i]) {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < count && quiet[end]) {
            ++end;
        }
        Gap gap;
        gap.first = std::max(from, static_cast<std::int64_t>(firstWindow + i) * window);
        gap.end = std::min(to, static_cast<std::int64_t>(firstWindow + end) * window);
        gap.atStart = gap.first == from;
        gap.atEnd = gap.end == to;
        if (gap.end - gap.first >= minimum) {
            split.gaps.push_back(gap);
            if (gap.betweenTracks()) {
                split.boundaries.push_back(gap.middle());
            }
        }
        i = end;
    }
    return split;
}

}  // namespace analysis
