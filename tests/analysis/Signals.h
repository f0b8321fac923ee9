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

    std::vector<std::int16_t> int16() const {
        std::vector<std::int16_t> out(samples.size());
        for (std::size_t i = 0; i < samples.size(); ++i) {
            out[i] =
                static_cast<std::int16_t>(std::clamp(std::lround(samples[i] * 32768.0), -32768L, 32767L));
        }
        return out;
    }
    // Little-endian 24-bit PCM bytes.
    std::vector<std::byte> int24() const {
        std::vector<std::byte> out(samples.size() * 3);
        for (std::size_t i = 0; i < samples.size(); ++i) {
            const auto v = static_cast<std::uint32_t>(
                std::clamp(std::lround(samples[i] * 8388608.0), -8388608L, 8388607L));
            out[3 * i] = static_cast<std::byte>(v);
            out[3 * i + 1] = static_cast<std::byte>(v >> 8);
            out[3 * i + 2] = static_cast<std::byte>(v >> 16);
        }
        return out;
    }
};
