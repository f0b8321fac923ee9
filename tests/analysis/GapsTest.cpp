// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Track boundaries found in generated sides: tones for tracks, -60 dBFS noise with -6 dBFS clicks
// for the gaps between them, at every rate and channel count.

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

namespace {

LoudnessProfile profileOf(const Signal& signal) {
    const auto bytes = signal.int24();
    return LoudnessProfile::of(*Samples::pcm(bytes, 24), signal.rate, signal.channels);
}

// Each boundary lies in its own expected gap (seconds), within one window of its middle.
void expectBoundariesIn(const TrackSplit& split, const Signal& signal,
                        const std::vector<std::pair<double, double>>& gaps) {
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
        {
            SCOPED_TRACE(testing::Message() << rate << " Hz, " << channels << " ch");
            // A 2 s lead-in and run-out of noise, 8 s tracks, 2.5 s gaps with clicks: one alone, two
            // in neighbouring windows, one on the gap's middle.
            Signal side{rate, channels};
            side.noise(2.0, -60);
            std::vector<std::pair<double, double>> gaps;
            for (int track = 0; track < 5; ++track) {
                if (track > 0) {
                    const double start = side.seconds();
                    side.noise(2.5, -60)
                        .click(start + 0.31)
                        .click(start + 0.9)
                        .click(start + 0.96)
                        .click(start + 1.25);
                    gaps.emplace_back(start, start + 2.5);
                }
                side.tone(8.0, 220.0 * (track + 2), -18);
            }
            side.noise(2.0, -60);
            const TrackSplit split = findTrackBoundaries(profileOf(side), GapSettings{});
            EXPECT_EQ(split.fault, GapSettingsFault::None);
            expectBoundariesIn(split, side, gaps);
            ASSERT_EQ(split.gaps.size(), 6U);
            EXPECT_TRUE(split.gaps.front().atStart);
            EXPECT_TRUE(split.gaps.back().atEnd);
        }
    }
}

TEST(TrackBoundaries, SoundShorterThan0_2sLeavesTheGapWholeLongerSoundSplitsIt) {
    struct Case {
        const char* what;
        double seconds;  // of a -20 dBFS tone in the middle of a 4 s gap; 0: three clicks 60 ms apart
        std::size_t boundaries;
    };
    const Case cases[] = {
        {"clicks", 0.0, 1}, {"0.1 s", 0.1, 1}, {"0.15 s", 0.15, 1}, {"0.25 s", 0.25, 2}, {"0.5 s", 0.5, 2}};
    for (int rate : {22050, 44100, 96000}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << rate << " Hz, " << c.what);
            Signal side{rate, 2};
            side.tone(2, 440, -12).noise(1.937, -60);
            if (c.seconds == 0.0) {
                side.noise(0.2, -60).click(4.0).click(4.06).click(4.12);
            } else {
                side.tone(c.seconds, 1000, -20);
            }
            side.noise(4 - 1.937 - (c.seconds == 0.0 ? 0.2 : c.seconds), -60).tone(2, 660, -12);
            EXPECT_EQ(findTrackBoundaries(profileOf(side), GapSettings{}).boundaries.size(), c.boundaries);
        }
    }
}

TEST(TrackBoundaries, FollowTheSettingsFoundAgainFromOneProfile) {
    // Gaps: 2.5 s at -60 dBFS, 2.5 s at -40 dBFS, 1.2 s of digital silence.
    Signal side{44100, 2};
    side.tone(5, 300, -15)
        .noise(2.5, -60)
        .tone(5, 400, -15)
        .noise(2.5, -40)
        .tone(5, 500, -15)
        .silence(1.2)
        .tone(5, 600, -15);
    const std::pair<double, double> quiet{5, 7.5}, noisy{12.5, 15}, silent{20, 21.2};
    const LoudnessProfile profile = profileOf(side);
    struct Case {
        GapSettings settings;
        std::vector<std::pair<double, double>> gaps;
    };
    const Case cases[] = {
        {{-45, 1.5}, {quiet}},  {{-35, 1.5}, {quiet, noisy}},  {{-35, 1.0}, {quiet, noisy, silent}},
        {{-45, 3.0}, {}},       {{-45, 1.0}, {quiet, silent}}, {{0, 1.0}, {}},
        {{-45, 2.45}, {quiet}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.settings.thresholdDb << " dBFS, " << c.settings.minimumSilenceSeconds << " s");
        expectBoundariesIn(findTrackBoundaries(profile, c.settings), side, c.gaps);
    }
}

TEST(TrackBoundaries, NoGapOrOnlyEdgeGapsPlaceNothing) {
    Signal music{48000, 2}, edges{48000, 2}, silence{48000, 1};
    music.tone(10, 440, -20);
    edges.silence(3).tone(5, 440, -20).noise(3, -60);
    silence.silence(5);
    const TrackSplit none = findTrackBoundaries(profileOf(music), GapSettings{});
    const TrackSplit outer = findTrackBoundaries(profileOf(edges), GapSettings{});
    const TrackSplit all = findTrackBoundaries(profileOf(silence), GapSettings{});
    EXPECT_TRUE(none.gaps.empty());
    ASSERT_EQ(outer.gaps.size(), 2U);
    EXPECT_TRUE(outer.gaps[0].atStart && !outer.gaps[0].atEnd && outer.gaps[1].atEnd);
    ASSERT_EQ(all.gaps.size(), 1U);
    EXPECT_TRUE(all.gaps[0].atStart && all.gaps[0].atEnd);
    for (const TrackSplit* split : {&none, &outer, &all}) {
        EXPECT_TRUE(split->boundaries.empty());
    }
    EXPECT_TRUE(findTrackBoundaries(LoudnessProfile(44100), GapSettings{}).gaps.empty());
}

TEST(TrackBoundaries, ARangeSearchesOnlyWithinItsEdges) {
    Signal side{44100, 2};
    side.tone(5, 300, -15).noise(3, -60).tone(5, 400, -15).noise(3, -60).tone(5, 500, -15);
    const LoudnessProfile profile = profileOf(side);
    struct Case {
        double from, to;
        std::vector<std::pair<double, double>> gaps;
    };
    // A range from inside the first gap makes it an edge; one past the end is cut to the side.
    const Case cases[] = {{0, 21, {{5, 8}, {13, 16}}},
                          {6, 21, {{13, 16}}},
                          {0, 14, {{5, 8}}},
                          {2, 99, {{5, 8}, {13, 16}}},
                          {9, 12, {}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.from << "-" << c.to << " s");
        const FrameRange range{side.frameAt(c.from), side.frameAt(c.to)};
        const TrackSplit split = findTrackBoundaries(profile, GapSettings{}, range);
        expectBoundariesIn(split, side, c.gaps);
        for (const auto& gap : split.gaps) {
            EXPECT_GE(gap.first, range.from);
            EXPECT_LE(gap.end, std::min(range.to, side.frames()));
        }
    }
}

TEST(TrackBoundaries, SettingsAFieldRefusesFindNothing) {
    Signal side{44100, 2};
    side.tone(5, 300, -15).silence(3).tone(5, 400, -15);
    const LoudnessProfile profile = profileOf(side);
    const double nan = std::nan("");
    struct Case {
        GapSettings settings;
        GapSettingsFault fault;
        std::size_t boundaries;
    };
    // At 0 dBFS the whole take is one quiet stretch, so it has no gap between tracks.
    const Case cases[] = {{{0.1, 1.5}, GapSettingsFault::ThresholdAboveFullScale, 0},
                          {{nan, 1.5}, GapSettingsFault::ThresholdAboveFullScale, 0},
                          {{-45, 0.0}, GapSettingsFault::NoMinimumSilence, 0},
                          {{-45, -1.0}, GapSettingsFault::NoMinimumSilence, 0},
                          {{-45, nan}, GapSettingsFault::NoMinimumSilence, 0},
                          {{-45, INFINITY}, GapSettingsFault::NoMinimumSilence, 0},
                          {{0.0, 1.5}, GapSettingsFault::None, 0},
                          {{-45, 0.001}, GapSettingsFault::None, 1}};
    for (const Case& c : cases) {
        const TrackSplit split = findTrackBoundaries(profile, c.settings);
        EXPECT_EQ(split.fault, c.fault) << c.settings.thresholdDb << " " << c.settings.minimumSilenceSeconds;
        EXPECT_EQ(split.boundaries.size(), c.boundaries)
            << c.settings.thresholdDb << " " << c.settings.minimumSilenceSeconds;
    }
}

}  // namespace
