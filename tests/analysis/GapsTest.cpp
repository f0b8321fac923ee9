// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Track boundaries found in generated sides: tones for tracks, -60 dBFS noise with -6 dBFS clicks
// for the gaps between them.

#include "Signals.h"
#include "recorder/analysis/Gaps.h"

#include <gtest/gtest.h>

using analysis::findTrackBoundaries;
using analysis::FrameRange;
using analysis::GapSettings;
using analysis::GapSettingsFault;
using analysis::LoudnessProfile;
using analysis::Samples;
using analysis::TrackSplit;
using Seconds = std::vector<std::pair<double, double>>;

namespace {

LoudnessProfile profileOf(const Signal& signal) {
    const auto bytes = signal.pcm(16);
    return LoudnessProfile::of(*Samples::pcm(bytes, 16), signal.rate, signal.channels);
}

// One boundary in each expected gap, within one window of its middle.
void expectBoundariesIn(const TrackSplit& split, const Signal& signal, const Seconds& gaps) {
    ASSERT_EQ(split.boundaries.size(), gaps.size());
    for (std::size_t i = 0; i < gaps.size(); ++i) {
        const auto [from, to] = gaps[i];
        EXPECT_GT(split.boundaries[i], signal.frameAt(from)) << i;
        EXPECT_LT(split.boundaries[i], signal.frameAt(to)) << i;
        EXPECT_NEAR(split.boundaries[i], signal.frameAt((from + to) / 2), signal.rate * 0.05) << i;
    }
}

TEST(TrackBoundaries, FiveTonesSeparatedByNoiseWithClicksGiveFourBoundariesInTheirGaps) {
    for (const auto& [rate, channels] :
         {std::pair{11025, 1}, {22050, 2}, {44100, 2}, {48000, 1}, {96000, 2}}) {
        SCOPED_TRACE(testing::Message() << rate << " Hz, " << channels << " ch");
        // 2 s of noise before and after, 8 s tracks, 2.5 s gaps with clicks: one alone, two in
        // neighbouring windows, one on the gap's middle.
        Signal side{rate, channels};
        side.noise(2.0, -60);
        Seconds gaps;
        for (int track = 0; track < 5; ++track) {
            if (track > 0) {
                const double at = side.seconds();
                side.noise(2.5, -60).click(at + 0.31).click(at + 0.9).click(at + 0.96).click(at + 1.25);
                gaps.emplace_back(at, at + 2.5);
            }
            side.tone(8.0, 220.0 * (track + 2), -18);
        }
        const TrackSplit split = findTrackBoundaries(profileOf(side.noise(2.0, -60)), GapSettings{});
        expectBoundariesIn(split, side, gaps);
        ASSERT_EQ(split.gaps.size(), 6U);
        EXPECT_TRUE(split.gaps.front().atStart && split.gaps.back().atEnd);
    }
}

TEST(TrackBoundaries, SoundUpTo0_15sLeavesTheGapWholeFrom0_25sSplitsIt) {
    // seconds of a -20 dBFS tone 1.937 s into a 4 s gap; 0: three clicks 60 ms apart.
    const std::pair<double, std::size_t> cases[] = {{0, 1}, {0.1, 1}, {0.15, 1}, {0.25, 2}, {0.5, 2}};
    for (int rate : {22050, 44100, 96000}) {
        for (const auto& [seconds, boundaries] : cases) {
            SCOPED_TRACE(testing::Message() << rate << " Hz, " << seconds << " s");
            Signal side{rate, 2};
            side.tone(2, 440, -12).noise(1.937, -60);
            if (seconds == 0.0) {
                side.noise(0.2, -60).click(4.0).click(4.06).click(4.12);
            } else {
                side.tone(seconds, 1000, -20);
            }
            side.noise(2.063 - std::max(seconds, 0.2), -60).tone(2, 660, -12);
            EXPECT_EQ(findTrackBoundaries(profileOf(side), GapSettings{}).boundaries.size(), boundaries);
        }
    }
}

TEST(TrackBoundaries, FollowSettingsAndRangeFromOneProfileAndEdgesPlaceNone) {
    // Lead-in 3 s of silence; gaps of 2.5 s at -60 dBFS, 2.5 s at -40 dBFS, 1.2 s of silence;
    // run-out 3 s of -60 dBFS noise.
    Signal side{44100, 2};
    side.silence(3).tone(5, 300, -15).noise(2.5, -60).tone(5, 400, -15).noise(2.5, -40).tone(5, 500, -15);
    side.silence(1.2).tone(5, 600, -15).noise(3, -60);
    const std::pair<double, double> quiet{8, 10.5}, noisy{15.5, 18}, silent{23, 24.2};
    const LoudnessProfile profile = profileOf(side);
    const double nan = std::nan("");
    struct Case {
        GapSettings settings;
        std::pair<double, double> range;  // seconds
        Seconds gaps;
        GapSettingsFault fault = GapSettingsFault::None;
    };
    const Case cases[] = {
        {{-45, 1.5}, {0, 99}, {quiet}},
        {{-35, 1.5}, {0, 99}, {quiet, noisy}},
        {{-35, 1.0}, {0, 99}, {quiet, noisy, silent}},
        {{-45, 1.0}, {0, 99}, {quiet, silent}},
        {{-45, 3.0}, {0, 99}, {}},
        {{0, 1.0}, {0, 99}, {}},                 // everything below it: one stretch touching both ends
        {{-35, 1.0}, {9, 99}, {noisy, silent}},  // the first gap cut by the range: an edge
        {{-35, 1.0}, {4, 16.6}, {quiet}},        // and the second
        {{-45, 1.5}, {11, 14}, {}},              // inside a track
        {{0.1, 1.5}, {0, 99}, {}, GapSettingsFault::ThresholdAboveFullScale},
        {{nan, 1.5}, {0, 99}, {}, GapSettingsFault::ThresholdAboveFullScale},
        {{-45, 0}, {0, 99}, {}, GapSettingsFault::NoMinimumSilence},
        {{-45, -1}, {0, 99}, {}, GapSettingsFault::NoMinimumSilence},
        {{-45, nan}, {0, 99}, {}, GapSettingsFault::NoMinimumSilence},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.settings.thresholdDb << " dBFS, " << c.settings.minimumSilenceSeconds << " s, from "
                     << c.range.first << " to " << c.range.second << " s");
        const FrameRange range{side.frameAt(c.range.first), side.frameAt(c.range.second)};
        const TrackSplit split = findTrackBoundaries(profile, c.settings, range);
        EXPECT_EQ(split.fault, c.fault);
        expectBoundariesIn(split, side, c.gaps);
        for (const auto& gap : split.gaps) {
            EXPECT_TRUE(gap.first >= range.from && gap.end <= std::min(range.to, side.frames()));
        }
    }
}

}  // namespace
