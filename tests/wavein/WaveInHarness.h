// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// What the wave-input tests share: a receiver for buffer notifications, a pool of capture buffers,
// the take formats, and small measurements of captured audio.

#include "platform/wavein/WaveIn.h"

#include <QObject>

#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

namespace wavein_test {

using namespace platform::wavein;

WAVEFORMATEX takeFormat(std::uint32_t rate, std::uint16_t channels);

// Records every WimDataEvent it receives, in arrival order, with what the header said then.
class Receiver : public QObject {
public:
    struct Note {
        WaveInDevice* device;
        WAVEHDR* header;
        std::uint32_t bytesRecorded;
        std::uint32_t flags;
    };
    std::vector<Note> notes;
    // Called after a note is recorded; a test uses it to re-queue the buffer like the engine does.
    std::function<void(const Note&)> onData;

    // Processes events until `count` notes arrived or `timeoutMs` passed; true when they arrived.
    bool waitFor(std::size_t count, int timeoutMs = 10000);

protected:
    bool event(QEvent* event) override;
};

// Capture buffers of one size, prepared and queued through a device.
class Pool {
public:
    Pool(std::size_t count, std::uint32_t length);
    std::size_t size() const { return headers_.size(); }
    WAVEHDR& header(std::size_t i) { return headers_[i]; }
    std::size_t indexOf(const WAVEHDR* header) const;
    // The recorded bytes of header i.
    const std::byte* data(std::size_t i) const { return memory_[i].data(); }
    // Prepares and queues every buffer; false (and a test failure) when a call fails.
    bool prepareAndQueueAll(WaveInDevice& device);

private:
    std::vector<std::vector<std::byte>> memory_;
    std::deque<WAVEHDR> headers_;  // WAVEHDR holds an atomic: it must not move
};

// Little-endian 16-bit samples of `bytes` bytes, as captured.
std::vector<std::int16_t> samplesOf(const std::byte* data, std::size_t bytes);

// Frequency of a sine in one channel of interleaved samples, from its rising zero crossings.
double zeroCrossingFrequency(const std::vector<std::int16_t>& samples, unsigned channels, unsigned channel,
                             double rate);
// The largest step between consecutive frames of one channel.
int largestStep(const std::vector<std::int16_t>& samples, unsigned channels, unsigned channel);
// The largest absolute sample.
int peak(const std::vector<std::int16_t>& samples);

}  // namespace wavein_test
