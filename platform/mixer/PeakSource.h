// SPDX-FileCopyrightText: 2026 The Tolvane developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Live peak levels of the sound server's default source, for level meters. The server measures
// the peaks itself, about 25 times a second, on a record stream of their own, apart from any take.

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

namespace platform::mixer {

struct Peaks {
    // The largest sample magnitude of each channel since the last call, full scale 1. A mono
    // source gives the same value on both.
    float left = 0.0F;
    float right = 0.0F;
    // How many readings the values cover; 0 when nothing new came.
    std::uint32_t readings = 0;
    // False while no server answers or the stream is not running.
    bool live = false;
};

class PeakSource {
public:
    virtual ~PeakSource() = default;
    // Called on one thread (the GUI thread); never blocks on the server.
    virtual Peaks takePeaks() = 0;
    // `wake` is called on the sound thread when a reading above silence arrives or the source comes
    // or goes, so a reader at rest needs no clock of its own. It must be cheap and thread-safe.
    virtual void setWake(std::function<void()> wake) = 0;
};

// Measures the default source of the PulseAudio server while it exists; follows the default source
// when it changes; reconnects by itself, within a few seconds, after the server comes back. Never
// starts a server.
std::unique_ptr<PeakSource> makePulseAudioPeakSource(const QString& applicationName);

}  // namespace platform::mixer
