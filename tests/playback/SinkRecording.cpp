// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "SinkRecording.h"

#include <algorithm>

namespace playbacktest {

std::int32_t takeSample(const TakeSpec& spec, std::uint64_t frame, int channel) {
    return reviewtest::noiseAt(frame, std::min(channel, spec.channels - 1), spec.bits);
}

bool silent(const std::vector<std::int32_t>& recorded, std::size_t frame) {
    return recorded[2 * frame] == 0 && recorded[2 * frame + 1] == 0;
}

std::optional<std::size_t> align(const std::vector<std::int32_t>& recorded, std::size_t after,
                                 const TakeSpec& spec, std::uint64_t takeFrame) {
    const std::size_t frames = recorded.size() / 2;
    std::size_t first = after;
    while (first < frames && silent(recorded, first)) {
        ++first;
    }
    if (first == frames) {
        return std::nullopt;
    }
    constexpr std::size_t kTemplate = 2048;
    constexpr std::size_t kSearch = 4096;
    std::vector<double> wanted(kTemplate);
    for (std::size_t i = 0; i < kTemplate; ++i) {
        wanted[i] = takeSample(spec, takeFrame + i, 0) / 2147483648.0;
    }
    double best = -1;
    std::size_t bestLag = first;
    const std::size_t from = first > kSearch ? first - kSearch : after;
    for (std::size_t lag = std::max(from, after); lag <= first + kSearch && lag + kTemplate <= frames;
         ++lag) {
        double sum = 0;
        for (std::size_t i = 0; i < kTemplate; ++i) {
            sum += wanted[i] * (recorded[2 * (lag + i)] / 2147483648.0);
        }
        if (sum > best) {
            best = sum;
            bestLag = lag;
        }
    }
    return bestLag;
}

std::size_t differences(const std::vector<std::int32_t>& recorded, std::size_t at, const TakeSpec& spec,
                        std::uint64_t takeFrame, std::uint64_t count) {
    std::size_t wrong = 0;
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::size_t f = at + i;
        if (2 * f + 1 >= recorded.size()) {
            return wrong + (count - i);
        }
        for (int c = 0; c < 2; ++c) {
            if (recorded[2 * f + static_cast<std::size_t>(c)] != takeSample(spec, takeFrame + i, c)) {
                ++wrong;
                break;
            }
        }
    }
    return wrong;
}

std::uint64_t rewoundAtMost(std::uint32_t rate) {
    return rate / 20;
}

std::size_t silentHead(const std::vector<std::int32_t>& recorded, std::size_t at) {
    std::size_t f = at;
    while (2 * f + 1 < recorded.size() && silent(recorded, f)) {
        ++f;
    }
    return f - at;
}

std::size_t silenceFrom(const std::vector<std::int32_t>& recorded, std::size_t from, std::size_t run) {
    const std::size_t frames = recorded.size() / 2;
    for (std::size_t f = from; f < frames; ++f) {
        std::size_t quiet = 0;
        while (f + quiet < frames && quiet < run && silent(recorded, f + quiet)) {
            ++quiet;
        }
        if (quiet == run || f + quiet == frames) {
            return f;
        }
        f += quiet;
    }
    return frames;
}

}  // namespace playbacktest
