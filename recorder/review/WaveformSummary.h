// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The smallest and largest sample of every channel in every bin of a few dozen to a few hundred
// frames, over a whole take: what the waveform draws. Built from the start of the take on a thread
// of its own, so the window opens at once and the waveform fills in as the file is read; closing
// the window leaves it at once. Its memory is bounded whatever the take's length: the bins grow
// with the take, their number does not. Asked to, it measures the take's loudness (Loudness.h) on
// the same pass, for the track finder: the samples are read once for both.

#include "platform/playback/FrameSource.h"
#include "recorder/analysis/Loudness.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

namespace platform::playback {
class Worker;
}

namespace review {

class WaveformSummary {
public:
    // At most this many bins per channel (8 MiB a channel), and never fewer frames in a bin than
    // kFewestBinFrames.
    static constexpr std::uint64_t kMostBins = std::uint64_t{1} << 21;
    static constexpr std::uint64_t kFewestBinFrames = 32;
    static std::uint64_t binFramesFor(std::uint64_t frames);

    enum class Loudness { Skip, Measure };
    // Starts reading `source` at once.
    explicit WaveformSummary(std::shared_ptr<const platform::playback::FrameSource> source,
                             Loudness loudness = Loudness::Skip);
    // Stops reading without waiting for a read held up by the disk.
    ~WaveformSummary();
    WaveformSummary(const WaveformSummary&) = delete;
    WaveformSummary& operator=(const WaveformSummary&) = delete;

    std::uint64_t frames() const;
    int channels() const;
    std::uint32_t rate() const;
    std::uint64_t binFrames() const;
    std::size_t memoryBytes() const;

    // Frames [0, summarisedFrames()) are summarised; it only grows. Safe on any thread.
    std::uint64_t summarisedFrames() const;
    bool complete() const { return summarisedFrames() >= frames(); }

    // The least and greatest sample of `channel` (full scale ±1) over the bins that frames [from, to)
    // touch, within what is summarised; nothing when none of them is yet.
    struct Extent {
        float least = 0.0F;
        float greatest = 0.0F;
    };
    std::optional<Extent> extent(int channel, std::uint64_t from, std::uint64_t to) const;

    // The whole take's loudness, once complete() and if it was asked for (and the take has one or
    // two channels); null before. It lives as long as the summary.
    const analysis::LoudnessProfile* loudness() const;

private:
    struct State;
    std::shared_ptr<State> state_;
    std::unique_ptr<platform::playback::Worker> worker_;
};

}  // namespace review
