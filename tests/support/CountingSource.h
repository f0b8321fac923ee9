// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A numbered sound source on the PulseAudio server the test points PULSE_SERVER at: every frame the
// server delivers carries its own number, so whatever a take lost, doubled or reordered is known
// to the frame.

#include "PrivateServer.h"
#include "TakeReader.h"

#include <QProcess>
#include <QTemporaryDir>

#include <cstdint>
#include <vector>

namespace testsupport {

// The count goes on for as long as the source lives, in real time, and whatever records the
// default source (in this process or a program it starts) records it.
class CountingSource {
public:
    // Frames at `rate` of samples of `bits` (16 or 24).
    explicit CountingSource(std::uint32_t rate = 44100, int bits = 16);
    ~CountingSource();
    CountingSource(const CountingSource&) = delete;
    CountingSource& operator=(const CountingSource&) = delete;

    bool playing() const { return playing_; }

private:
    QTemporaryDir dir_;
    QProcess counter_;
    QProcess player_;
    QProcess reader_;
    bool playing_ = false;
};

// A server of the test's own whose default source is the count.
struct CountingServer {
    bool ready() const { return own.started() && source.playing(); }

    ServerOfOwn own;
    CountingSource source;
};

// Frame n of a stereo take recorded from the count holds the number's low 16 bits on the left and
// its high 16 on the right (of 24-bit samples, its low 24 bits and the rest). Numbers start from
// 2^16 (2^24), so a silent frame is never part of the count.

std::uint32_t counterAt(const TakeBytes& take, std::size_t frame);

// Where the count in a stereo take jumps, from frame `first` to the last whole frame in the file:
// the frame (counted from `first`) and how many frames it skips (negative: back). Empty when the
// count runs on by one a frame to the end.
struct CounterJump {
    std::size_t atFrame;
    std::int64_t skipped;
};
std::vector<CounterJump> counterJumps(const TakeBytes& take, std::size_t first);

}  // namespace testsupport
