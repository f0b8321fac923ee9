// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Changes the sample rate of interleaved float audio by a rational factor (44100 to 48000 is
// 160/147, 96000 to 48000 is 1/2) with a polyphase windowed-sinc filter. Output frame k is the input
// at time k * in / out, so the audio keeps its timing: no delay, and ceil(frames * out / in) frames
// in all. Lowering the rate first takes out what the new rate cannot hold, so nothing folds back.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace platform::encoding {

class Resampler {
public:
    Resampler(int inRate, int outRate, int channels);

    // Takes `frames` more input frames and appends every output frame they complete to `out`.
    void push(const float* in, std::size_t frames, std::vector<float>& out);
    // The input has ended: appends the remaining output frames.
    void finish(std::vector<float>& out);

    static std::uint64_t outputFrames(std::uint64_t inputFrames, int inRate, int outRate);

private:
    void produce(std::vector<float>& out, bool ended);

    std::uint64_t up_;    // L: output frames per `down_` input frames
    std::uint64_t down_;  // M
    int channels_;
    int halfTaps_;  // input frames on each side of an output frame's time
    int taps_;
    // Coefficients: taps_ for each of the up_ phases.
    std::vector<float> coefficients_;
    // Input per channel, from frame `first_` on; frames before the start are silence.
    std::vector<std::vector<float>> history_;
    std::int64_t first_;
    std::uint64_t inputFrames_ = 0;
    std::uint64_t produced_ = 0;
};

}  // namespace platform::encoding
