// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A selection split into tracks at boundaries given in any order, and a track's length as the
// table shows it.

#include "recorder/review/TrackRanges.h"

#include <gtest/gtest.h>

using analysis::FrameRange;
using review::lengthText;
using review::tracksWithin;

namespace {

struct SplitRow {
    const char* what;
    FrameRange selection;
    std::vector<std::int64_t> boundaries;
    std::vector<std::pair<std::int64_t, std::int64_t>> tracks;
};

}  // namespace

TEST(TracksWithin, SplitsTheSelectionAtTheBoundariesInsideItAndCoversItExactly) {
    constexpr std::int64_t kBig = 6'000'000'000;  // past 32 bits: 19 hours at 96000 Hz
    const SplitRow rows[] = {
        {"no boundary", {100, 500}, {}, {{100, 500}}},
        {"unordered, duplicated", {100, 500}, {300, 200, 300, 200}, {{100, 200}, {200, 300}, {300, 500}}},
        {"outside and on the edges", {100, 500}, {0, 99, 100, 500, 501, 900, 250}, {{100, 250}, {250, 500}}},
        {"one frame from each edge", {100, 500}, {499, 101}, {{100, 101}, {101, 499}, {499, 500}}},
        {"only outside", {100, 500}, {50, 600}, {{100, 500}}},
        {"a selection of one frame", {7, 8}, {7, 8}, {{7, 8}}},
        {"an empty selection", {100, 100}, {100, 50}, {}},
        {"a reversed selection", {500, 100}, {300}, {}},
        {"long take",
         {kBig - 10, kBig + 5'000'000'000},
         {kBig + 1, kBig},
         {{kBig - 10, kBig}, {kBig, kBig + 1}, {kBig + 1, kBig + 5'000'000'000}}},
    };
    for (const SplitRow& row : rows) {
        SCOPED_TRACE(row.what);
        const auto tracks = tracksWithin(row.selection, row.boundaries);
        std::vector<std::pair<std::int64_t, std::int64_t>> got;
        for (const FrameRange& track : tracks) {
            got.emplace_back(track.from, track.to);
        }
        EXPECT_EQ(got, row.tracks);
    }
}

TEST(TrackLength, ShowsHoursMinutesAndSecondsToTheNearestSecond) {
    const struct {
        std::int64_t frames;
        int rate;
        const char* text;
    } rows[] = {
        {0, 44100, "0:00:00"},
        {44100 * 59 + 22049, 44100, "0:00:59"},
        {44100 * 59 + 22050, 44100, "0:01:00"},  // a half rounds up
        {11025 * 2 + 5512, 11025, "0:00:02"},    // an odd rate's half lies between two frames
        {11025 * 2 + 5513, 11025, "0:00:03"},
        {96000LL * (3600 * 10 + 60 * 7 + 5), 96000, "10:07:05"},
        {48000LL * 3599, 48000, "0:59:59"},
        {48000, 0, "-:--:--"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(lengthText(row.frames, row.rate), QString::fromLatin1(row.text))
            << row.frames << " at " << row.rate;
    }
}
