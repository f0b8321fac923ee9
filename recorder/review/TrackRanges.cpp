// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "recorder/review/TrackRanges.h"

#include <algorithm>

namespace review {

std::vector<analysis::FrameRange> tracksWithin(analysis::FrameRange selection,
                                               std::span<const std::int64_t> boundaries) {
    std::vector<analysis::FrameRange> tracks;
    if (selection.to <= selection.from) {
        return tracks;
    }
    std::vector<std::int64_t> cuts;
    std::copy_if(boundaries.begin(), boundaries.end(), std::back_inserter(cuts),
                 [&](std::int64_t at) { return at > selection.from && at < selection.to; });
    std::sort(cuts.begin(), cuts.end());
    cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
    std::int64_t from = selection.from;
    for (std::int64_t at : cuts) {
        tracks.push_back({from, at});
        from = at;
    }
    tracks.push_back({from, selection.to});
    return tracks;
}

}  // namespace review
