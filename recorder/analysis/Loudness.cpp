// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "recorder/analysis/Loudness.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cmath>
#include <cstring>

namespace analysis {

// Samples are read by memcpy from bytes in the machine's order, which must be the files' order.
static_assert(std::endian::native == std::endian::little);

namespace {

template <typename T>
T load(const std::byte* at) {
    T value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

// One sample of each encoding, with the type its square is summed in: integers exactly (a 50 ms
// window of 24-bit squares stays far below 2^63), the rest in double.
struct Int16Sample {
    static constexpr std::size_t kBytes = 2;
    using Sum = std::int64_t;
    static Sum at(const std::byte* p) { return load<std::int16_t>(p); }
};
struct Int24Sample {
    static constexpr std::size_t kBytes = 3;
    using Sum = std::int64_t;
    static Sum at(const std::byte* p) {
        const auto u = static_cast<std::uint32_t>(p[0]) << 8 | static_cast<std::uint32_t>(p[1]) << 16 |
                       static_cast<std::uint32_t>(p[2]) << 24;
        return static_cast<std::int32_t>(u) >> 8;
    }
};
struct Int32Sample {
    static constexpr std::size_t kBytes = 4;
    using Sum = double;
    static Sum at(const std::byte* p) { return load<std::int32_t>(p); }
};
struct FloatSample {
    static constexpr std::size_t kBytes = 4;
    using Sum = double;
    static Sum at(const std::byte* p) { return load<float>(p); }
};

// Adds the squares of `frames` frames from `data` to each channel's sum, scaled to full scale 1.
template <typename Sample, int Channels>
void addSquares(const std::byte* data, std::size_t frames, double scale, double* sums) {
    // Two partial sums a channel, so the floating-point chain is not one long dependency.
    typename Sample::Sum even[Channels] = {};
    typename Sample::Sum odd[Channels] = {};
    constexpr std::size_t kFrameBytes = Sample::kBytes * Channels;
    std::size_t f = 0;
    for (; f + 1 < frames; f += 2) {
        const std::byte* p = data + f * kFrameBytes;
        for (int c = 0; c < Channels; ++c) {
            const auto a = Sample::at(p + c * Sample::kBytes);
            const auto b = Sample::at(p + kFrameBytes + c * Sample::kBytes);
            even[c] += a * a;
            odd[c] += b * b;
        }
    }
    if (f < frames) {
        for (int c = 0; c < Channels; ++c) {
            const auto a = Sample::at(data + f * kFrameBytes + c * Sample::kBytes);
            even[c] += a * a;
        }
    }
    for (int c = 0; c < Channels; ++c) {
        sums[c] += (static_cast<double>(even[c]) + static_cast<double>(odd[c])) * scale;
    }
}

template <typename Sample>
void addSquaresOf(const std::byte* data, int channels, std::size_t frames, double scale, double* sums) {
    if (channels == 1) {
        addSquares<Sample, 1>(data, frames, scale, sums);
    } else {
        addSquares<Sample, 2>(data, frames, scale, sums);
    }
}

std::size_t bytesPerSample(Samples::Encoding encoding) {
    switch (encoding) {
        case Samples::Encoding::Int16:
            return Int16Sample::kBytes;
        case Samples::Encoding::Int24:
            return Int24Sample::kBytes;
        case Samples::Encoding::Int32:
            return Int32Sample::kBytes;
        case Samples::Encoding::Float32:
            return FloatSample::kBytes;
    }
    return 0;
}

}  // namespace

std::int32_t windowFrames(int rate) {
    return static_cast<std::int32_t>((static_cast<std::int64_t>(rate) + 10) / 20);
}

std::int64_t framesIn(double seconds, int rate) {
    return std::llround(seconds * rate);
}

float dbfsOfMeanSquare(double meanSquare) {
    if (!(meanSquare > 1e-20)) {
        return kSilentDb;
    }
    return static_cast<float>(10.0 * std::log10(meanSquare));
}

Samples::Samples(std::span<const std::int16_t> samples)
    : Samples(Encoding::Int16, reinterpret_cast<const std::byte*>(samples.data()), samples.size(), 32768.0) {}

Samples::Samples(std::span<const std::int32_t> samples, double fullScale)
    : Samples(Encoding::Int32, reinterpret_cast<const std::byte*>(samples.data()), samples.size(),
              fullScale) {}

Samples::Samples(std::span<const float> samples, double fullScale)
    : Samples(Encoding::Float32, reinterpret_cast<const std::byte*>(samples.data()), samples.size(),
              fullScale) {}

std::optional<Samples> Samples::pcm(std::span<const std::byte> bytes, int bitsPerSample) {
    switch (bitsPerSample) {
        case 16:
            return Samples(Encoding::Int16, bytes.data(), bytes.size() / 2, 32768.0);
        case 24:
            return Samples(Encoding::Int24, bytes.data(), bytes.size() / 3, 8388608.0);
        default:
            return std::nullopt;
    }
}

LoudnessMeter::LoudnessMeter(int rate, int channels)
    : rate_(rate), channels_(channels), window_(analysis::windowFrames(rate)) {
    assert(supports(rate, channels));
    completed_.reserve(8);
}

std::span<const WindowLoudness> LoudnessMeter::feed(const Samples& block) {
    completed_.clear();
    const std::size_t frames = block.count() / static_cast<std::size_t>(channels_);
    const std::size_t frameBytes = bytesPerSample(block.encoding()) * static_cast<std::size_t>(channels_);
    const double scale = 1.0 / (block.fullScale() * block.fullScale());
    std::size_t done = 0;
    while (done < frames) {
        const std::size_t part = std::min(frames - done, static_cast<std::size_t>(window_ - filled_));
        const std::byte* data = block.data() + done * frameBytes;
        switch (block.encoding()) {
            case Samples::Encoding::Int16:
                addSquaresOf<Int16Sample>(data, channels_, part, scale, sumSquares_.data());
                break;
            case Samples::Encoding::Int24:
                addSquaresOf<Int24Sample>(data, channels_, part, scale, sumSquares_.data());
                break;
            case Samples::Encoding::Int32:
                addSquaresOf<Int32Sample>(data, channels_, part, scale, sumSquares_.data());
                break;
            case Samples::Encoding::Float32:
                addSquaresOf<FloatSample>(data, channels_, part, scale, sumSquares_.data());
                break;
        }
        done += part;
        seen_ += static_cast<std::int64_t>(part);
        filled_ += static_cast<std::int32_t>(part);
        if (filled_ == window_) {
            completed_.push_back(closeWindow());
        }
    }
    return completed_;
}

std::optional<WindowLoudness> LoudnessMeter::finish() {
    if (filled_ == 0) {
        return std::nullopt;
    }
    return closeWindow();
}

WindowLoudness LoudnessMeter::closeWindow() {
    WindowLoudness window;
    window.start = seen_ - filled_;
    window.frames = filled_;
    for (int c = 0; c < channels_; ++c) {
        window.channelDb[static_cast<std::size_t>(c)] =
            dbfsOfMeanSquare(sumSquares_[static_cast<std::size_t>(c)] / filled_);
    }
    window.db = *std::max_element(window.channelDb.begin(), window.channelDb.end());
    filled_ = 0;
    sumSquares_.fill(0.0);
    return window;
}

LoudnessProfile::LoudnessProfile(int rate) : rate(rate), windowFrames(analysis::windowFrames(rate)) {}

void LoudnessProfile::add(const WindowLoudness& window) {
    assert(window.start == frames);
    db.push_back(window.db);
    frames = window.end();
}

void LoudnessProfile::add(std::span<const WindowLoudness> windows) {
    for (const WindowLoudness& window : windows) {
        add(window);
    }
}

void LoudnessProfile::add(const std::optional<WindowLoudness>& window) {
    if (window) {
        add(*window);
    }
}

LoudnessProfile LoudnessProfile::of(const Samples& samples, int rate, int channels) {
    LoudnessProfile profile(rate);
    LoudnessMeter meter(rate, channels);
    profile.db.reserve(samples.count() / static_cast<std::size_t>(channels) /
                           static_cast<std::size_t>(profile.windowFrames) +
                       1);
    profile.add(meter.feed(samples));
    profile.add(meter.finish());
    return profile;
}

}  // namespace analysis
