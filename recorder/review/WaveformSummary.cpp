// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "recorder/review/WaveformSummary.h"

#include "platform/playback/Worker.h"

#include <algorithm>
#include <atomic>
#include <limits>
#include <span>
#include <vector>

namespace review {

namespace {

// A bin keeps the top 16 bits of its extremes: more than a screen can show.
struct Peak {
    std::int16_t least;
    std::int16_t greatest;
};

// Every this many bins are also summed up in one coarse bin, so a pixel column of a long take
// looks at a few dozen entries rather than thousands.
constexpr std::uint64_t kCoarse = 64;
// The worker reads about this many frames at a time (a whole number of bins).
constexpr std::uint64_t kReadFrames = 64 * 1024;

std::int16_t top16(std::int32_t sample) {
    return static_cast<std::int16_t>(sample >> 16);
}

Peak fold(Peak a, Peak b) {
    return {std::min(a.least, b.least), std::max(a.greatest, b.greatest)};
}

constexpr Peak kNothing{std::numeric_limits<std::int16_t>::max(), std::numeric_limits<std::int16_t>::min()};

// The extremes of the first `kChannels` channels over `frames` frames of `stride` interleaved
// samples, into `out` (one Peak a channel). The channel count is fixed at compile time, so the loop
// runs at the speed of memory.
template <int kChannels>
void extremes(const std::int32_t* samples, std::uint64_t frames, int stride, Peak* out) {
    std::int32_t least[kChannels];
    std::int32_t greatest[kChannels];
    std::fill_n(least, kChannels, std::numeric_limits<std::int32_t>::max());
    std::fill_n(greatest, kChannels, std::numeric_limits<std::int32_t>::min());
    for (std::uint64_t i = 0; i < frames; ++i) {
        for (int c = 0; c < kChannels; ++c) {
            const std::int32_t s = samples[i * stride + c];
            least[c] = std::min(least[c], s);
            greatest[c] = std::max(greatest[c], s);
        }
    }
    for (int c = 0; c < kChannels; ++c) {
        out[c] = {top16(least[c]), top16(greatest[c])};
    }
}

}  // namespace

struct WaveformSummary::State {
    State(std::shared_ptr<const platform::playback::FrameSource> from, Loudness loudness)
        : source(std::move(from)),
          frames(source->frames()),
          stride(std::max<int>(source->format().channels, 1)),
          channels(std::min(stride, 2)),
          binFrames(binFramesFor(frames)),
          bins((frames + binFrames - 1) / binFrames),
          coarseBins(bins / kCoarse),
          fine(new Peak[bins * static_cast<std::uint64_t>(channels)]),
          coarse(new Peak[coarseBins * static_cast<std::uint64_t>(channels)]),
          measured(loudness == Loudness::Measure &&
                   analysis::LoudnessMeter::supports(static_cast<int>(source->format().rate), stride)),
          profile(static_cast<int>(source->format().rate)) {}

    const std::shared_ptr<const platform::playback::FrameSource> source;
    const std::uint64_t frames;
    const int stride;    // samples in a frame of the source
    const int channels;  // the first one or two are summarised
    const std::uint64_t binFrames;
    const std::uint64_t bins;
    const std::uint64_t coarseBins;  // whole groups of kCoarse bins only
    // Left unset until written: a long take's bins cost no time to make, and memory only as they
    // fill. Entries below `done` are written, then published with release ordering.
    const std::unique_ptr<Peak[]> fine;
    const std::unique_ptr<Peak[]> coarse;
    std::atomic<std::uint64_t> done{0};  // bins
    // Written by the worker only, and read once `done` reaches `bins`.
    const bool measured;
    analysis::LoudnessProfile profile;

    Peak& at(std::uint64_t bin, int channel) const { return fine[bin * channels + channel]; }
    Peak& coarseAt(std::uint64_t group, int channel) const { return coarse[group * channels + channel]; }

    void build(const std::atomic<bool>& stop) {
        const std::uint64_t binsPerRead = std::max<std::uint64_t>(kReadFrames / binFrames, 1);
        std::vector<std::int32_t> samples(binsPerRead * binFrames * stride);
        std::optional<analysis::LoudnessMeter> meter;
        if (measured) {
            meter.emplace(profile.rate, stride);
            profile.db.reserve(frames / static_cast<std::uint64_t>(profile.windowFrames) + 1);
        }
        for (std::uint64_t bin = 0; bin < bins && !stop.load(std::memory_order_acquire);) {
            const std::uint64_t last = std::min(bins, bin + binsPerRead);
            const std::uint64_t from = bin * binFrames;
            const std::uint64_t to = std::min(frames, last * binFrames);
            source->readInt32(from, to, samples.data());
            for (std::uint64_t b = bin; b < last; ++b) {
                const std::int32_t* first = samples.data() + (b - bin) * binFrames * stride;
                const std::uint64_t count = std::min(frames, (b + 1) * binFrames) - b * binFrames;
                Peak* out = &at(b, 0);
                if (channels == 2 && stride == 2) {
                    extremes<2>(first, count, 2, out);
                } else if (channels == 2) {
                    extremes<2>(first, count, stride, out);
                } else {
                    extremes<1>(first, count, stride, out);
                }
                if ((b + 1) % kCoarse == 0) {
                    const std::uint64_t group = b / kCoarse;
                    for (int c = 0; c < channels; ++c) {
                        Peak all = kNothing;
                        for (std::uint64_t k = group * kCoarse; k <= b; ++k) {
                            all = fold(all, at(k, c));
                        }
                        coarseAt(group, c) = all;
                    }
                }
            }
            if (meter) {
                // The source's samples are left-justified to 32 bits.
                constexpr double kFullScale = 2147483648.0;
                profile.add(meter->feed(analysis::Samples(
                    std::span<const std::int32_t>(samples.data(), (to - from) * stride), kFullScale)));
                if (last == bins) {
                    profile.add(meter->finish());
                }
            }
            bin = last;
            done.store(bin, std::memory_order_release);
        }
    }
};

std::uint64_t WaveformSummary::binFramesFor(std::uint64_t frames) {
    return std::max(kFewestBinFrames, (frames + kMostBins - 1) / kMostBins);
}

WaveformSummary::WaveformSummary(std::shared_ptr<const platform::playback::FrameSource> source,
                                 Loudness loudness)
    : state_(std::make_shared<State>(std::move(source), loudness)),
      worker_(std::make_unique<platform::playback::Worker>(
          [state = state_](const std::atomic<bool>& stop) { state->build(stop); })) {}

WaveformSummary::~WaveformSummary() = default;

std::uint64_t WaveformSummary::frames() const {
    return state_->frames;
}

int WaveformSummary::channels() const {
    return state_->channels;
}

std::uint32_t WaveformSummary::rate() const {
    return state_->source->format().rate;
}

std::uint64_t WaveformSummary::binFrames() const {
    return state_->binFrames;
}

std::size_t WaveformSummary::memoryBytes() const {
    return static_cast<std::size_t>((state_->bins + state_->coarseBins) * state_->channels * sizeof(Peak));
}

std::uint64_t WaveformSummary::summarisedFrames() const {
    return std::min(state_->frames, state_->done.load(std::memory_order_acquire) * state_->binFrames);
}

const analysis::LoudnessProfile* WaveformSummary::loudness() const {
    return state_->measured && complete() ? &state_->profile : nullptr;
}

std::optional<WaveformSummary::Extent> WaveformSummary::extent(int channel, std::uint64_t from,
                                                               std::uint64_t to) const {
    const State& s = *state_;
    if (channel < 0 || channel >= s.channels) {
        return std::nullopt;
    }
    const std::uint64_t done = s.done.load(std::memory_order_acquire);
    to = std::min(to, std::min(s.frames, done * s.binFrames));
    if (from >= to) {
        return std::nullopt;
    }
    std::uint64_t bin = from / s.binFrames;
    const std::uint64_t end = (to + s.binFrames - 1) / s.binFrames;
    Peak all = kNothing;
    while (bin < end && bin % kCoarse != 0) {
        all = fold(all, s.at(bin++, channel));
    }
    // A whole group lies within the bins done, so its coarse bin was written before them.
    while (bin + kCoarse <= end) {
        all = fold(all, s.coarseAt(bin / kCoarse, channel));
        bin += kCoarse;
    }
    while (bin < end) {
        all = fold(all, s.at(bin++, channel));
    }
    constexpr float kScale = 1.0F / 32768.0F;
    return Extent{all.least * kScale, all.greatest * kScale};
}

}  // namespace review
