// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Times in a take as the review shows them.

#include <QString>

#include <cstdint>

namespace review {

// "H:MM:SS" of the frame `frame` at `rate` (the time ruler), rounded down to the second.
QString clockText(std::uint64_t frame, std::uint32_t rate);
// "H:MM:SS.mmm" (the playhead), rounded down to the millisecond.
QString preciseClockText(std::uint64_t frame, std::uint32_t rate);

}  // namespace review
