// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// A sound addressed by frame, as playback and the waveform read it: a take across its parts, or a
// test's own sound. Plain C++.

#include <cstdint>

namespace platform::playback {

struct Format {
    std::uint32_t rate = 0;
    std::uint16_t channels = 0;
};

class FrameSource {
public:
    virtual ~FrameSource() = default;
    virtual Format format() const = 0;
    virtual std::uint64_t frames() const = 0;
    // Frames [from, to) (within frames()) into `out`, interleaved, left-justified to 32 bits: full
    // scale is ±2^31 whatever the sample size. What cannot be read comes back as silence. May wait on
    // the disk, so never called on the window's thread; safe to call from several threads at once.
    virtual void readInt32(std::uint64_t from, std::uint64_t to, std::int32_t* out) const = 0;
};

}  // namespace platform::playback
