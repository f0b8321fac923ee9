// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A selection split into tracks at boundaries given in any order.

#include "recorder/review/TrackRanges.h"

#include <gtest/gtest.h>

using analysis::FrameRange;
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
