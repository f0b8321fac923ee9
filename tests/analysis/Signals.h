// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Generated test signals (full scale 1, interleaved) and their forms as a take holds them.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

struct Signal {
    Signal(int rate, int channels) : rate(rate), channels(channels) {}

    int rate;
    int channels;
    std::vector<float> samples;
    std::mt19937 random{20260};

    std::int64_t frames() const { return static_cast<std::int64_t>(samples.size()) / channels; }
    double seconds() const { return static_cast<double>(frames()) / rate; }
    std::int64_t frameAt(double seconds) const { return std::llround(seconds * rate); }

    // A sine whose RMS is `rmsDb` dBFS.
    Signal& tone(double seconds, double hz, double rmsDb) {
        const double amplitude = std::min(1.0, std::sqrt(2.0) * std::pow(10.0, rmsDb / 20.0));
        return append(seconds, [&](std::int64_t i) {
            return amplitude * std::sin(2 * std::numbers::pi * hz * i / rate);
        });
    }
    // White noise whose RMS is `rmsDb` dBFS.
    Signal& noise(double seconds, double rmsDb) {
        const double amplitude = std::sqrt(3.0) * std::pow(10.0, rmsDb / 20.0);
        return append(seconds,
                      [&](std::int64_t) { return amplitude * (2.0 * random() / std::mt19937::max() - 1.0); });
    }
    Signal& silence(double seconds) {
        return append(seconds, [](std::int64_t) { return 0.0; });
    }
    // A one-sample click of -6 dBFS peak on every channel at `seconds`.
    Signal& click(double seconds) {
        for (int c = 0; c < channels; ++c) {
            samples.at(static_cast<std::size_t>(frameAt(seconds) * channels + c)) += 0.5F;
        }
        return *this;
    }

    template <typename F>
    Signal& append(double seconds, F value) {
        const std::int64_t count = frameAt(seconds);
        std::size_t at = samples.size();
        samples.resize(at + static_cast<std::size_t>(count * channels));
        for (std::int64_t i = 0; i < count; ++i) {
            const auto v = static_cast<float>(value(i));
            for (int c = 0; c < channels; ++c) {
                samples[at++] = v;
            }
        }
        return *this;
    }

    // Little-endian PCM bytes, `bits` (16 or 24) a sample.
    std::vector<std::byte> pcm(int bits) const {
        const std::size_t width = static_cast<std::size_t>(bits / 8);
        const long top = 1L << (bits - 1);
        std::vector<std::byte> out(samples.size() * width);
        for (std::size_t i = 0; i < samples.size(); ++i) {
            const long v = std::clamp(std::lround(samples[i] * static_cast<double>(top)), -top, top - 1);
            for (std::size_t b = 0; b < width; ++b) {
                out[i * width + b] = static_cast<std::byte>(static_cast<unsigned long>(v) >> (8 * b));
            }
        }
        return out;
    }
};
