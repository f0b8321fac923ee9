// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "WaveInHarness.h"

#include "PcmFormat.h"

#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace wavein_test {

WAVEFORMATEX takeFormat(std::uint32_t rate, std::uint16_t channels) {
    return testsupport::pcm16(rate, channels);
}

bool Receiver::waitFor(std::size_t count, int timeoutMs) {
    return QTest::qWaitFor([&] { return notes.size() >= count; }, timeoutMs);
}

bool Receiver::event(QEvent* event) {
    if (event->type() != WimDataEvent::eventType()) {
        return QObject::event(event);
    }
    const auto* data = static_cast<WimDataEvent*>(event);
    const std::uint32_t flags = data->header()->dwFlags.load(std::memory_order_acquire);
    notes.push_back({data->device(), data->header(), data->header()->dwBytesRecorded, flags});
    if (onData) {
        onData(notes.back());
    }
    return true;
}

Pool::Pool(std::size_t count, std::uint32_t length)
    : memory_(count, std::vector<std::byte>(length)), headers_(count) {
    for (std::size_t i = 0; i < count; ++i) {
        headers_[i].lpData = memory_[i].data();
        headers_[i].dwBufferLength = length;
    }
}

std::size_t Pool::indexOf(const WAVEHDR* header) const {
    for (std::size_t i = 0; i < headers_.size(); ++i) {
        if (&headers_[i] == header) {
            return i;
        }
    }
    ADD_FAILURE() << "a notification named a header outside the pool";
    return headers_.size();
}

bool Pool::prepareAndQueueAll(WaveInDevice& device) {
    for (auto& header : headers_) {
        EXPECT_EQ(device.prepareHeader(header), MMSYSERR_NOERROR);
        const MMRESULT added = device.addBuffer(header);
        EXPECT_EQ(added, MMSYSERR_NOERROR);
        if (added != MMSYSERR_NOERROR) {
            return false;
        }
    }
    return true;
}

std::vector<std::int16_t> samplesOf(const std::byte* data, std::size_t bytes) {
    std::vector<std::int16_t> samples(bytes / 2);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const auto lo = std::to_integer<std::uint16_t>(data[2 * i]);
        const auto hi = std::to_integer<std::uint16_t>(data[2 * i + 1]);
        samples[i] = static_cast<std::int16_t>(static_cast<std::uint16_t>(lo | hi << 8));
    }
    return samples;
}

double zeroCrossingFrequency(const std::vector<std::int16_t>& samples, unsigned channels, unsigned channel,
                             double rate) {
    // Interpolated crossing times, first to last, so the estimate does not depend on where the
    // capture started in the cycle.
    double first = -1;
    double last = -1;
    int crossings = 0;
    const std::size_t frames = samples.size() / channels;
    for (std::size_t f = 1; f < frames; ++f) {
        const double a = samples[(f - 1) * channels + channel];
        const double b = samples[f * channels + channel];
        if (a < 0 && b >= 0) {
            const double t = static_cast<double>(f - 1) + (-a) / (b - a);
            if (first < 0) {
                first = t;
            } else {
                ++crossings;
            }
            last = t;
        }
    }
    if (crossings == 0) {
        return 0;
    }
    return crossings * rate / (last - first);
}

int largestStep(const std::vector<std::int16_t>& samples, unsigned channels, unsigned channel) {
    int largest = 0;
    const std::size_t frames = samples.size() / channels;
    for (std::size_t f = 1; f < frames; ++f) {
        largest = std::max(largest,
                           std::abs(samples[f * channels + channel] - samples[(f - 1) * channels + channel]));
    }
    return largest;
}

int peak(const std::vector<std::int16_t>& samples) {
    int top = 0;
    for (const auto s : samples) {
        top = std::max(top, std::abs(static_cast<int>(s)));
    }
    return top;
}

}  // namespace wavein_test
