// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A side cut into tracks: the review window's selection split at the track boundaries, so that the
// tracks played in order are the selection frame for frame.

#include "recorder/analysis/Gaps.h"

#include <cstdint>
#include <span>
#include <vector>

namespace review {

// The tracks of `selection` (take frames [from, to)), split at each boundary strictly inside it:
// contiguous, in order, covering the selection exactly. Boundaries come in any order; duplicates,
// ones outside the selection and ones on its edges split nothing. An empty (or reversed) selection
// has no tracks; one with no boundary inside is one track.
std::vector<analysis::FrameRange> tracksWithin(analysis::FrameRange selection,
                                               std::span<const std::int64_t> boundaries);

}  // namespace review
