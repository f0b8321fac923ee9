// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The last frames of a capture, raw as the device delivered them, numbered by their place in the
// stream: while a sound-triggered take is armed or paused it holds the pre-roll the take will
// begin with. Its size is fixed at construction (SoundTrigger::ringFrames says how much), so a
// night of waiting costs no more memory than its first second.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

namespace analysis {

class PrerollRing {
public:
    PrerollRing(std::size_t bytesPerFrame, std::int64_t capacityFrames);

    // Appends the next frames of the stream (whole frames; a trailing partial frame is not kept),
    // letting go of the oldest beyond the capacity.
    void push(std::span<const std::byte> frames);

    // Stream frames held: [firstFrame(), endFrame()).
    std::int64_t firstFrame() const { return end_ - held_; }
    std::int64_t endFrame() const { return end_; }
    std::int64_t capacity() const { return capacity_; }

    // The bytes of stream frames [from, to), in order, in one piece or two where the ring wraps
    // (the second then empty or not); nothing when the ring does not hold all of them. Valid until
    // the next push.
    std::optional<std::array<std::span<const std::byte>, 2>> frames(std::int64_t from, std::int64_t to) const;

private:
    std::size_t frameBytes_;
    std::int64_t capacity_;
    std::unique_ptr<std::byte[]> bytes_;
    std::int64_t end_ = 0;   // frames pushed since construction
    std::int64_t held_ = 0;  // of which the ring still holds the last
};

}  // namespace analysis
