// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// How one channel of a peak programme meter moves: it rises at once to each reading, falls back
// 20 dB in 1.7 s, holds the highest reading as a mark for 1.5 s, and latches a clip cell when a
// sample reaches full scale until it is cleared.

namespace level {

class MeterBallistics {
public:
    static constexpr double kFloorDb = -60.0;
    static constexpr double kFallDbPerSecond = 20.0 / 1.7;
    static constexpr double kHoldSeconds = 1.5;
    // The largest 16-bit sample, the full scale of what a take can hold.
    static constexpr float kFullScale = 32767.0F / 32768.0F;

    // A reading at `now` (seconds on a steady clock): the largest sample magnitude since the
    // previous one, full scale 1.
    void feed(float peak, double now);
    // Lets the bar fall and the hold mark expire up to `now`.
    void advance(double now);
    // Bar and mark unlit: there is nothing to measure. A latched clip stays until cleared, so a
    // clip in a take is still told after the server went away.
    void darken();
    void clearClip() { clipped_ = false; }

    // dBFS of the bar and of the hold mark; at or below kFloorDb nothing is lit.
    double level() const { return level_; }
    double hold() const { return hold_; }
    bool clipped() const { return clipped_; }

private:
    double level_ = kUnlit;
    double hold_ = kUnlit;
    double holdUntil_ = 0.0;
    double time_ = 0.0;
    bool clipped_ = false;

    static constexpr double kUnlit = -1000.0;
};

// dBFS of a sample magnitude (full scale 1); very low for silence.
double toDbfs(float peak);

}  // namespace level
