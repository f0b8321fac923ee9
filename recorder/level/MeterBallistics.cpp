// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "recorder/level/MeterBallistics.h"

#include <algorithm>
#include <cmath>

namespace level {

double toDbfs(float peak) {
    return peak > 0.0F ? 20.0 * std::log10(static_cast<double>(peak)) : -1000.0;
}

void MeterBallistics::advance(double now) {
    const double elapsed = std::max(0.0, now - time_);
    time_ = std::max(time_, now);
    level_ = std::max(kUnlit, level_ - kFallDbPerSecond * elapsed);
    // An expired mark rides on the bar until a reading sets a new one.
    if (now >= holdUntil_) {
        hold_ = level_;
    }
}

void MeterBallistics::feed(float peak, double now) {
    advance(now);
    const double db = toDbfs(peak);
    level_ = std::max(level_, db);
    if (db >= hold_) {
        hold_ = db;
        holdUntil_ = now + kHoldSeconds;
    }
    if (peak >= kFullScale) {
        clipped_ = true;
    }
}

void MeterBallistics::darken() {
    level_ = hold_ = kUnlit;
    holdUntil_ = 0.0;
}

}  // namespace level
