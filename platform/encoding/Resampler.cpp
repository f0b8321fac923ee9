// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/encoding/Resampler.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <numeric>
#include <stdexcept>

namespace platform::encoding {
namespace {

// Raising the rate: 32 input frames on each side of the point; with a Kaiser window of beta 8.6
// (about 86 dB of stop band) the transition is about 0.086 of the input rate wide. Centred just below
// the input's Nyquist frequency, everything to 19.7 kHz of a 44100 Hz take passes unchanged and
// nothing of the images above 23.5 kHz comes through: the new rate adds nothing audible.
constexpr int kHalfTaps = 32;
constexpr double kBeta = 8.6;
constexpr double kCutoff = 0.49;  // cycles per input frame
// Lowering it: 48 output frames' time on each side, so a transition 0.057 of the output rate wide,
// centred where it ends at the output's Nyquist frequency: 96000 Hz to 48000 Hz keeps everything to
// 21.3 kHz and lets nothing above 24 kHz fold back into what is kept.
constexpr int kDownHalfTaps = 48;
constexpr double kDownCutoff = 0.4715;  // cycles per output frame

double besselI0(double x) {
    double sum = 1;
    double term = 1;
    for (int k = 1; k < 50; ++k) {
        term *= (x / (2 * k)) * (x / (2 * k));
        sum += term;
        if (term < sum * 1e-17) {
            break;
        }
    }
    return sum;
}

// The filter at `t` input frames from the point, reaching `halfTaps` frames each side.
double windowedSinc(double t, double cutoff, int halfTaps) {
    const double x = 2 * cutoff * t;
    const double sinc = x == 0 ? 1 : std::sin(std::numbers::pi * x) / (std::numbers::pi * x);
    const double r = t / halfTaps;
    const double window = std::abs(r) >= 1 ? 0 : besselI0(kBeta * std::sqrt(1 - r * r)) / besselI0(kBeta);
    return sinc * window;
}

}  // namespace

Resampler::Resampler(int inRate, int outRate, int channels)
    : channels_(channels), history_(static_cast<std::size_t>(std::max(channels, 0))) {
    if (inRate <= 0 || outRate <= 0 || channels <= 0) {
        throw std::invalid_argument("Resampler: rates or channels out of range");
    }
    const bool lowering = outRate < inRate;
    const double scale = lowering ? static_cast<double>(outRate) / inRate : 1.0;
    const double cutoff = lowering ? kDownCutoff * scale : kCutoff;
    // An even half, so the taps come in fours.
    halfTaps_ = lowering ? 2 * static_cast<int>(std::ceil(kDownHalfTaps / scale / 2)) : kHalfTaps;
    taps_ = 2 * halfTaps_;
    first_ = -(halfTaps_ - 1);
    const auto common = std::gcd(inRate, outRate);
    up_ = static_cast<std::uint64_t>(outRate / common);
    down_ = static_cast<std::uint64_t>(inRate / common);
    const auto taps = static_cast<std::size_t>(taps_);
    coefficients_.resize(up_ * taps);
    std::vector<double> phaseTaps(taps);
    for (std::uint64_t phase = 0; phase < up_; ++phase) {
        // Output at input time i + phase / up_ takes input frames i - (halfTaps - 1) ... i + halfTaps.
        const double fraction = static_cast<double>(phase) / static_cast<double>(up_);
        double sum = 0;
        for (std::size_t j = 0; j < taps; ++j) {
            const double t = static_cast<double>(static_cast<int>(j) - (halfTaps_ - 1)) - fraction;
            phaseTaps[j] = windowedSinc(t, cutoff, halfTaps_);
            sum += phaseTaps[j];
        }
        // Every phase passes a constant level unchanged, so silence stays silence and DC stays DC.
        for (std::size_t j = 0; j < taps; ++j) {
            coefficients_[phase * taps + j] = static_cast<float>(phaseTaps[j] / sum);
        }
    }
    for (auto& channel : history_) {
        channel.assign(static_cast<std::size_t>(halfTaps_ - 1), 0.0f);
    }
}

std::uint64_t Resampler::outputFrames(std::uint64_t inputFrames, int inRate, int outRate) {
    const auto common = static_cast<std::uint64_t>(std::gcd(inRate, outRate));
    const auto up = static_cast<std::uint64_t>(outRate) / common;
    const auto down = static_cast<std::uint64_t>(inRate) / common;
    return (inputFrames * up + down - 1) / down;
}

void Resampler::push(const float* in, std::size_t frames, std::vector<float>& out) {
    for (int c = 0; c < channels_; ++c) {
        auto& channel = history_[static_cast<std::size_t>(c)];
        channel.reserve(channel.size() + frames);
        for (std::size_t f = 0; f < frames; ++f) {
            channel.push_back(in[f * static_cast<std::size_t>(channels_) + static_cast<std::size_t>(c)]);
        }
    }
    inputFrames_ += frames;
    produce(out, false);
}

void Resampler::finish(std::vector<float>& out) {
    produce(out, true);
}

void Resampler::produce(std::vector<float>& out, bool ended) {
    const std::uint64_t total = outputFrames(inputFrames_, static_cast<int>(down_), static_cast<int>(up_));
    const auto channels = static_cast<std::size_t>(channels_);
    if (ended) {
        // Past the end is silence, as before the start.
        for (auto& channel : history_) {
            channel.resize(channel.size() + static_cast<std::size_t>(halfTaps_), 0.0f);
        }
    }
    const std::int64_t available = first_ + static_cast<std::int64_t>(history_[0].size());
    for (;;) {
        if (ended && produced_ >= total) {
            break;
        }
        const std::uint64_t position = produced_ * down_;
        const auto frame = static_cast<std::int64_t>(position / up_);
        const std::uint64_t phase = position % up_;
        const std::int64_t start = frame - (halfTaps_ - 1);
        if (start + taps_ > available) {
            break;
        }
        const float* taps = &coefficients_[phase * static_cast<std::uint64_t>(taps_)];
        for (std::size_t c = 0; c < channels; ++c) {
            const float* x = history_[c].data() + (start - first_);
            // Four sums side by side keep the processor's pipelines full.
            float s0 = 0, s1 = 0, s2 = 0, s3 = 0;
            for (int j = 0; j < taps_; j += 4) {
                s0 += x[j] * taps[j];
                s1 += x[j + 1] * taps[j + 1];
                s2 += x[j + 2] * taps[j + 2];
                s3 += x[j + 3] * taps[j + 3];
            }
            out.push_back((s0 + s1) + (s2 + s3));
        }
        ++produced_;
    }
    // Keep only what the next output frames still reach.
    const std::int64_t next = static_cast<std::int64_t>(produced_ * down_ / up_) - (halfTaps_ - 1);
    if (next > first_) {
        const auto drop = static_cast<std::size_t>(
            std::min<std::int64_t>(next - first_, static_cast<std::int64_t>(history_[0].size())));
        for (auto& channel : history_) {
            channel.erase(channel.begin(), channel.begin() + static_cast<std::ptrdiff_t>(drop));
        }
        first_ += static_cast<std::int64_t>(drop);
    }
}

}  // namespace platform::encoding
