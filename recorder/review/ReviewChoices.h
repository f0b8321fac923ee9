// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// What the review window sets for a take and its next save keeps: the frames to write and where the
// take splits into tracks. The recorder holds one for the take waiting to be saved and hands it to
// each review of that take; the markers live in the take's marker file, not here. Plain C++.

#include "recorder/analysis/Gaps.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace review {

struct TrackBoundary {
    std::int64_t frame = 0;  // take frame where the next track begins
    // Placed by "Dividir em faixas", so it follows the gap settings; otherwise placed by hand, and
    // kept as it is.
    bool found = false;

    friend bool operator==(const TrackBoundary&, const TrackBoundary&) = default;
};

struct ReviewChoices {
    // The take frames [from, to) the next save writes; nothing for the whole take, as without a
    // review.
    std::optional<analysis::FrameRange> selection;
    std::vector<TrackBoundary> boundaries;  // ascending, each frame once
    // "Dividir em faixas" was pressed: the found boundaries follow the gap settings and the trim.
    bool splitAtSilences = false;

    std::vector<std::int64_t> boundaryFrames() const {
        std::vector<std::int64_t> frames;
        frames.reserve(boundaries.size());
        for (const TrackBoundary& boundary : boundaries) {
            frames.push_back(boundary.frame);
        }
        return frames;
    }
    // The frames a save writes of a take of `frames` frames.
    analysis::FrameRange framesToSave(std::int64_t frames) const {
        return selection.value_or(analysis::FrameRange{0, frames});
    }
};

}  // namespace review
